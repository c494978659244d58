#pragma once

#include <signal.h>
#include <sys/types.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace velmora::test {

// The pids the stubborn tool (tests/exec/helpers/stubborn.cpp) wrote into
// `pidFile`: its own and its grandchild's.
inline std::vector<pid_t> StubbornPids(const std::string& pidFile) {
  std::ifstream in(pidFile);
  std::vector<pid_t> pids;
  for (pid_t pid; in >> pid;) pids.push_back(pid);
  return pids;
}

// Whether the process `pid` has ended: it is gone, or a zombie waiting for
// its parent.
inline bool HasEnded(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(stat, line)) return true;
  const std::size_t commandEnd = line.rfind(')');
  return commandEnd + 2 < line.size() && line[commandEnd + 2] == 'Z';
}

// The pids the stubborn tool writes once it has started its grandchild;
// nothing when that has not happened within `limit` (a broken run).
inline std::vector<pid_t> StubbornPidsOnceStarted(const std::string& pidFile,
                                                  std::chrono::seconds limit) {
  const auto giveUp = std::chrono::steady_clock::now() + limit;
  while (StubbornPids(pidFile).size() < 2 && std::chrono::steady_clock::now() < giveUp) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return StubbornPids(pidFile);
}

// Whether every one of `pids` ends within `limit`, which only keeps a broken
// run from holding the suite. Those still running then are killed, so that
// nothing outlives the test.
inline bool AllEndWithin(const std::vector<pid_t>& pids, std::chrono::seconds limit) {
  const auto giveUp = std::chrono::steady_clock::now() + limit;
  auto allEnded = [&pids] {
    for (const pid_t pid : pids) {
      if (!HasEnded(pid)) return false;
    }
    return true;
  };
  while (!allEnded() && std::chrono::steady_clock::now() < giveUp) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  if (allEnded()) return true;
  for (const pid_t pid : pids) {
    if (!HasEnded(pid)) ::kill(pid, SIGKILL);
  }
  return false;
}

}  // namespace velmora::test
