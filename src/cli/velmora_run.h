#pragma once

#include <string>
#include <vector>

namespace velmora {

// Exit statuses of velmora-run.
inline constexpr int kAllToolsSucceeded = 0;
inline constexpr int kToolFailed = 1;  // a tool exited non-zero, died, or could not start
inline constexpr int kRunRefused = 2;  // usage, settings, source, destination or copy problem

// The whole of velmora-run: `arguments` are those after the program name.
// Output lines go to standard output, messages to standard error.
int RunVelmoraCommandLine(const std::vector<std::string>& arguments);

}  // namespace velmora
