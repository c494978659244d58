#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace velmora {

// Exit statuses of velmora-merge.
inline constexpr int kMerged = 0;        // merged, or the usage shown on request
inline constexpr int kMergeRefused = 1;  // the set cannot be merged; a line says why
inline constexpr int kMergeUsage = 2;    // the arguments make no sense

// The whole of velmora-merge: `arguments` are those after the program name.
// The steps and a refusal go to `out` a line at a time, usage errors to `err`.
int RunVelmoraMerge(const std::vector<std::string>& arguments, std::FILE* out, std::FILE* err);

}  // namespace velmora
