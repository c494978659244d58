#include "exec/running_tools.h"

#include <signal.h>

#include <algorithm>

namespace velmora {

void RunningTools::Stop(Tool& tool) {
  tool.stopped = true;
  tool.killAt = std::chrono::steady_clock::now() + kStopGracePeriod;
  ::kill(-tool.group, SIGTERM);
}

bool RunningTools::StopInnermost() {
  const auto innermost =
      std::find_if(tools_.rbegin(), tools_.rend(), [](const Tool& tool) { return !tool.stopped; });
  if (innermost == tools_.rend()) return false;
  Stop(*innermost);
  return true;
}

void RunningTools::StopAll() {
  stoppingAll_ = true;
  for (Tool& tool : tools_) {
    if (!tool.stopped) Stop(tool);
  }
}

void RunningTools::Add(pid_t group) {
  tools_.push_back({group});
  if (stoppingAll_) Stop(tools_.back());
}

void RunningTools::Remove(pid_t group) {
  std::erase_if(tools_, [group](const Tool& tool) { return tool.group == group; });
}

bool RunningTools::StopRequested(pid_t group) const {
  return std::any_of(tools_.begin(), tools_.end(),
                     [group](const Tool& tool) { return tool.group == group && tool.stopped; });
}

void RunningTools::KillOverdue() {
  const auto now = std::chrono::steady_clock::now();
  for (Tool& tool : tools_) {
    if (tool.stopped && !tool.killed && now >= tool.killAt) {
      tool.killed = true;
      ::kill(-tool.group, SIGKILL);
    }
  }
}

}  // namespace velmora
