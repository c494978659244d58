#pragma once

#include <chrono>

namespace velmora {

// How a captured run lets its caller live while it waits for the tool: the
// window processes its events here, a terminal program does nothing.
class RunEvents {
 public:
  virtual ~RunEvents() = default;
  // Lets the caller handle what is pending (input, repaints) and returns.
  virtual void ProcessPendingEvents() = 0;
  // Waits until `outputFd` is readable, `childFd` (a pidfd of the child) is
  // readable, or `timeout` has passed, whichever comes first. May return early.
  // `childFd` is -1 when the system could not give a pidfd; the timeout alone
  // then paces the run's checks for the child's end.
  virtual void WaitForActivity(int outputFd, int childFd, std::chrono::milliseconds timeout) = 0;
};

}  // namespace velmora
