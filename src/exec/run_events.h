#pragma once

#include <chrono>

#include "exec/running_tools.h"

namespace velmora {

// How a captured run lets its caller live while it waits for the tool: the
// window processes its events here, a terminal program looks at the signals
// it caught. A stop the caller asks for meanwhile goes through Tools().
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

  // The tools of the runs going on with these events, nested runs included.
  RunningTools& Tools() { return tools_; }

 private:
  RunningTools tools_;
};

}  // namespace velmora
