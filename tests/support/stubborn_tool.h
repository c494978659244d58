#pragma once

#include <sys/types.h>

#include <fstream>
#include <string>
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

}  // namespace velmora::test
