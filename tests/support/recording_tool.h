#pragma once

#include <sys/stat.h>

#include <sstream>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace velmora::test {

// A small real tool for tests: a shell script that writes each argument it
// receives on a line of its own into `<name>.args` beside it, then runs `body`
// (shell commands; by default it prints one line).
inline std::string WriteRecordingTool(const TempDir& dir, const std::string& name,
                                      const std::string& body = "echo \"tool output\"") {
  std::string path = dir.Write(name,
                               "#!/bin/sh\nfor argument in \"$@\"; do\n"
                               "  printf '%s\\n' \"$argument\"\ndone > \"$0.args\"\n" +
                                   body + "\n");
  ::chmod(path.c_str(), 0755);
  return path;
}

// The arguments the tool at `toolPath` received in its last run; nothing when
// it has not run.
inline std::vector<std::string> RecordedArguments(const std::string& toolPath) {
  std::istringstream lines(TempDir::ReadFile(toolPath + ".args"));
  std::vector<std::string> arguments;
  for (std::string line; std::getline(lines, line);) arguments.push_back(line);
  return arguments;
}

}  // namespace velmora::test
