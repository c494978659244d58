#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "config/unique_fd.h"

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
HiddenChild StartHidden(const HiddenChildPlan& plan);

// Whether the child has ended, without reaping it or waiting. A child that is
// no longer ours to wait for (reaped elsewhere) counts as ended.
bool HasEnded(pid_t pid);

// Whether a process of the process group `group` is still alive. A zombie
// does not count: it is dead, and only waits for its parent (init, for a
// tool's orphans, which may take its time) to reap it.
bool ProcessGroupAlive(pid_t group);

// Reaps the child, waiting for it to end; returns its wait status (0 when it
// was reaped elsewhere).
int Reap(pid_t pid);

// Starts `program` (a path) with `arguments` (argv[0] included) fully detached:
// in a session of its own, standard descriptors on /dev/null, and not our child,
// so it never becomes our zombie. Returns once it is on its way; nothing is
// reported.
void StartDetached(const std::string& program, const std::vector<std::string>& arguments);

}  // namespace velmora
