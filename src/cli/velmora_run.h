#pragma once

#include <string>
#include <vector>

namespace velmora {

// Exit statuses of velmora-run.
inline constexpr int kAllToolsSucceeded = 0;
// A tool exited non-zero, died, or could not start; or the destination was the source itself.
inline constexpr int kToolFailed = 1;
inline constexpr int kRunRefused = 2;  // usage, settings, source, destination or copy problem
// Plus the number of the signal (SIGINT, SIGTERM, SIGHUP, or SIGPIPE for a
// closed output pipe) that stopped the tool and skipped the remaining sources.
inline constexpr int kStoppedBySignal = 128;

// The whole of velmora-run: `arguments` are those after the program name.
// Output lines go to standard output, messages to standard error.
int RunVelmoraCommandLine(const std::vector<std::string>& arguments);

}  // namespace velmora
