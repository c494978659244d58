#pragma once

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

extern char** environ;

namespace velmora::test {

// Variables to set (or, with an empty value, to remove) in a child's environment.
using EnvironmentChanges = std::map<std::string, std::string>;

// The environment of this process with `changes` applied.
inline std::vector<std::string> ChangedEnvironment(const EnvironmentChanges& changes) {
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

// A program started by a test with its standard output and error on pipes.
class ChildProgram {
 public:
  explicit ChildProgram(const std::vector<std::string>& argv,
                        const EnvironmentChanges& environmentChanges = {}) {
    int out[2], err[2];
    if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) {
      throw std::runtime_error("pipe2 failed");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    std::vector<std::string> environment = ChangedEnvironment(environmentChanges);
    std::vector<char*> variables;
    for (std::string& variable : environment) variables.push_back(variable.data());
    variables.push_back(nullptr);
    int error = ::posix_spawnp(&pid_, args[0], &actions, nullptr, args.data(), variables.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    ::close(err[1]);
    out_ = out[0];
    err_ = err[0];
    if (error != 0) throw std::runtime_error("cannot start " + argv[0]);
  }
  ChildProgram(const ChildProgram&) = delete;
  ChildProgram& operator=(const ChildProgram&) = delete;
  ~ChildProgram() {
    if (pid_ > 0) Wait();
    ::close(out_);
    ::close(err_);
  }

  // Reads standard output up to and including the next line feed (blocking).
  std::string ReadOutputLine() {
    std::string line;
    char c;
    while (::read(out_, &c, 1) == 1) {
      if (c == '\n') return line;
      line.push_back(c);
    }
    return line;
  }

  pid_t Pid() const { return pid_; }

  // Closes the reading end of standard output, as a reader that goes away does.
  void CloseOutput() {
    ::close(out_);
    out_ = -1;
  }

  // Reads both pipes to their end and reaps the program.
  void Wait() {
    pollfd fds[2] = {{out_, POLLIN, 0}, {err_, POLLIN, 0}};
    std::string* sinks[2] = {&out, &err};
    int open = (out_ >= 0 ? 1 : 0) + 1;
    while (open > 0) {
      if (::poll(fds, 2, -1) < 0) continue;
      for (int i = 0; i < 2; ++i) {
        if (fds[i].fd < 0 || fds[i].revents == 0) continue;
        char buffer[4096];
        ssize_t count = ::read(fds[i].fd, buffer, sizeof buffer);
        if (count > 0) {
          sinks[i]->append(buffer, static_cast<std::size_t>(count));
        } else {
          fds[i].fd = -1;
          --open;
        }
      }
    }
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    waitStatus = status;
    exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    pid_ = -1;
  }

  std::string out;  // what was read by Wait (after any ReadOutputLine)
  std::string err;
  int exitStatus = -1;
  int waitStatus = 0;  // as waitpid gave it

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  int err_ = -1;
};

// What a program left when it had ended.
struct FinishedProgram {
  int exitStatus = -1;
  std::string out;
  std::string err;
};

// Starts `argv` (argv[0] searched on PATH), reads both its outputs to the end
// and reaps it.
inline FinishedProgram RunToEnd(const std::vector<std::string>& argv,
                                const EnvironmentChanges& environmentChanges = {}) {
  ChildProgram child(argv, environmentChanges);
  child.Wait();
  return {child.exitStatus, std::move(child.out), std::move(child.err)};
}

}  // namespace velmora::test
