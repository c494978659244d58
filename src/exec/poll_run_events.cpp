#include "exec/poll_run_events.h"

#include <poll.h>

namespace velmora {

bool PollForActivity(int outputFd, int childFd, std::chrono::milliseconds timeout) {
  pollfd watched[] = {{outputFd, POLLIN, 0}, {childFd, POLLIN, 0}};
  return ::poll(watched, 2, static_cast<int>(timeout.count())) > 0;
}

void PollRunEvents::WaitForActivity(int outputFd, int childFd, std::chrono::milliseconds timeout) {
  PollForActivity(outputFd, childFd, timeout);
}

}  // namespace velmora
