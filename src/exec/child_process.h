#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

#include "config/unique_fd.h"
#include "exec/child_environment.h"

namespace velmora {

// How to start a hidden child whose output is captured.
struct HiddenChildPlan {
  // The file to run, or, with `searchPath`, a name looked up on PATH.
  std::string program;
  bool searchPath = false;
  // argv, argv[0] included; must not be empty.
  std::vector<std::string> arguments;
  // The child's standard output; also its standard error when `errorToOutput`,
  // otherwise standard error goes to /dev/null.
  int outputFd = -1;
  bool errorToOutput = false;
  // Set in the child's environment (see ChildEnvironment).
  std::vector<EnvironmentVariable> environment;
};

struct HiddenChild {
  pid_t pid = -1;
  // A pidfd of the child, readable once it has ended; -1 when the system could
  // not give one (the caller's timeout then paces the checks).
  UniqueFd endFd;
  int error = 0;  // errno of the failed step; 0 when the child runs
};

// Starts the child in a session of its own (so a terminal's Ctrl-C never
// reaches it), with standard input from /dev/null, default signal handling and
// no descriptor of ours but the ones named. A program that cannot be executed
// is an error here, never a child that silently prints nothing.
//
// The child's process group is watched (WatchProcessGroup) before the program
// starts: the child waits for our word before it executes the program, and
// never executes it when we have gone meanwhile, so there is no moment at
// which our death would leave the tool running unwatched.
HiddenChild StartHidden(const HiddenChildPlan& plan);

// Whether the child has ended, without reaping it or waiting. A child that is
// no longer ours to wait for (reaped elsewhere) counts as ended.
bool HasEnded(pid_t pid);

// Whether a process of the process group `group` is still alive. A zombie
// does not count: it is dead, and only waits for its parent (init, for a
// tool's orphans, which may take its time) to reap it.
bool ProcessGroupAlive(pid_t group);

// Ends the watch over the child's process group, if any, then reaps the
// child, waiting for it to end; returns its wait status (0 when it was reaped
// elsewhere). The watch ends first: until the child is reaped, its pid, and so
// the number of its group, cannot become another process's.
int Reap(pid_t pid);

// Default handling for every signal and an empty signal mask, as a program
// expects to be started with. Async-signal-safe.
void ResetSignalHandling();

// Runs `body` in a grandchild of ours that init adopts at once, so it never
// becomes our zombie, and returns once it is on its way; false when it could
// not be started. `body` runs after a fork from a process that may have other
// threads: it may make async-signal-safe calls only, and should not return
// (the process then exits).
bool RunOrphaned(const std::function<void()>& body);

// Starts `program` (a path) with `arguments` (argv[0] included) fully detached:
// in a session of its own, standard descriptors on /dev/null, and not our child,
// so it never becomes our zombie. Returns once it is on its way; nothing is
// reported.
void StartDetached(const std::string& program, const std::vector<std::string>& arguments);

}  // namespace velmora
