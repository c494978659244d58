#pragma once

#include <QSocketNotifier>
#include <chrono>
#include <functional>
#include <memory>

#include "exec/run_events.h"

namespace velmora {

// Calls `action` (in the thread and lifetime of `context`) once `fd` has
// turned readable, and then no more: the descriptor is left for the caller
// to read or watch again.
std::unique_ptr<QSocketNotifier> CallOnceReadable(int fd, QObject& context,
                                                  const std::function<void()>& action);

// How a captured run lives inside the window's event loop: pending events are
// handled between reads, and the wait sleeps in a nested event loop, so the
// window repaints and answers clicks (a click may start a nested run) while a
// tool runs.
class QtRunEvents : public RunEvents {
 public:
  void ProcessPendingEvents() override;
  // Sleeps in a nested event loop until `outputFd` or `childFd` is readable
  // or `timeout` has passed. A negative descriptor is not watched. Once the
  // application has been told to quit, event loops no longer run; the wait
  // then sleeps in poll() on the two descriptors instead.
  void WaitForActivity(int outputFd, int childFd, std::chrono::milliseconds timeout) override;
};

}  // namespace velmora
