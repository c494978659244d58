#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace velmora {

// Exit statuses of velmora-info.
inline constexpr int kInfoRead = 0;        // every PATH was read (or the usage shown on request)
inline constexpr int kInfoUnreadable = 1;  // some PATH could not be read; a line on err says why
inline constexpr int kInfoUsage = 2;       // the arguments make no sense

// The whole of velmora-info: `arguments` are those after the program name.
// The report goes to `out`, a PATH at a time; each PATH that cannot be read
// gives a line on `err` naming it, and the others are still reported.
int RunVelmoraInfo(const std::vector<std::string>& arguments, std::FILE* out, std::FILE* err);

}  // namespace velmora
