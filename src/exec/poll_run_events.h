#pragma once

#include <chrono>

#include "exec/run_events.h"

namespace velmora {

// Waits until `outputFd` or `childFd` is readable, or `timeout` has passed.
// Returns whether one of them became readable (false on timeout or when a
// signal interrupted the wait). A negative descriptor is not watched.
bool PollForActivity(int outputFd, int childFd, std::chrono::milliseconds timeout);

// RunEvents for callers without a window (tests, a terminal front end): there
// are no events to process, and waiting is a poll on the two descriptors, so a
// run notices output or the child's end at once.
class PollRunEvents : public RunEvents {
 public:
  void ProcessPendingEvents() override {}
  void WaitForActivity(int outputFd, int childFd, std::chrono::milliseconds timeout) override;
};

}  // namespace velmora
