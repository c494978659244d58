#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "support/temp_dir.h"

extern char** environ;

namespace velmora::testing {

// What a finished child left behind.
struct ChildResult {
  int exitStatus = -1;  // the exit status, or -1 when a signal ended the child
  std::string output;   // its standard output
  std::string errors;   // its standard error
};

// The environment of this process with `changes` applied; an empty value
// removes the variable.
inline std::vector<std::string> ChangedEnvironment(
    const std::map<std::string, std::string>& changes) {
  std::vector<std::string> environment;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    std::string_view variable(*entry);
    if (!changes.contains(std::string(variable.substr(0, variable.find('='))))) {
      environment.emplace_back(variable);
    }
  }
  for (const auto& [name, value] : changes) {
    if (!value.empty()) environment.push_back(name + "=" + value);
  }
  return environment;
}

// Runs `argv` (argv[0] searched on PATH) with standard input from /dev/null and
// waits for it. Standard output and error go to files, so a chatty child never
// blocks on a full pipe.
inline ChildResult RunChild(const std::vector<std::string>& argv,
                            const std::map<std::string, std::string>& environmentChanges = {}) {
  TempDir capture;
  const std::string outputFile = capture / "output";
  const std::string errorFile = capture / "errors";

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  posix_spawn_file_actions_addopen(&actions, 2, errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);

  std::vector<std::string> argumentTexts = argv;
  std::vector<char*> arguments;
  for (std::string& argument : argumentTexts) arguments.push_back(argument.data());
  arguments.push_back(nullptr);
  std::vector<std::string> environment = ChangedEnvironment(environmentChanges);
  std::vector<char*> variables;
  for (std::string& variable : environment) variables.push_back(variable.data());
  variables.push_back(nullptr);

  pid_t child = 0;
  const int spawnError =
      posix_spawnp(&child, arguments[0], &actions, nullptr, arguments.data(), variables.data());
  posix_spawn_file_actions_destroy(&actions);
  if (spawnError != 0) throw std::runtime_error("cannot start " + argv[0]);

  int status = 0;
  while (waitpid(child, &status, 0) == -1) {
    if (errno != EINTR) throw std::runtime_error("waitpid failed for " + argv[0]);
  }
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, TempDir::ReadFile(outputFile),
          TempDir::ReadFile(errorFile)};
}

}  // namespace velmora::testing
