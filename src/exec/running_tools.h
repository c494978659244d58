#pragma once

#include <sys/types.h>

#include <chrono>
#include <vector>

namespace velmora {

// How long a stopped tool has to end by itself after SIGTERM before what is
// left of its process group is killed.
inline constexpr std::chrono::seconds kStopGracePeriod{3};

// The tools of the captured runs going on now, outermost first, and the
// requests to stop them. Stopping a run sends SIGTERM to its tool's whole
// process group (the tool and whatever it started), then SIGKILL to what is
// left of the group once the grace period has passed.
class RunningTools {
 public:
  // Stops the innermost run not stopped yet, the one whose output is
  // arriving; false when there is none.
  bool StopInnermost();
  // Stops every run, and every run that starts from now on: the program is
  // being ended.
  void StopAll();
  bool Empty() const { return tools_.empty(); }

  // What the runner tells and asks. `group` is the process group the tool
  // leads; a tool is added once started and removed once its run is over.
  void Add(pid_t group);
  void Remove(pid_t group);
  bool StopRequested(pid_t group) const;
  // Sends SIGKILL to the stopped groups whose grace period has passed.
  void KillOverdue();

 private:
  struct Tool {
    pid_t group;
    bool stopped = false;
    bool killed = false;
    std::chrono::steady_clock::time_point killAt{};
  };

  static void Stop(Tool& tool);

  std::vector<Tool> tools_;
  bool stoppingAll_ = false;
};

}  // namespace velmora
