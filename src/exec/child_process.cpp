#include "exec/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "exec/child_environment.h"

extern char** environ;

namespace velmora {
namespace {

// exec wants mutable strings it never changes; the vector ends with the null
// pointer exec expects.
std::vector<char*> ArgvOf(const std::vector<std::string>& arguments) {
  std::vector<char*> argv;
  argv.reserve(arguments.size() + 1);
  for (const std::string& argument : arguments) {
    argv.push_back(const_cast<char*>(argument.c_str()));
  }
  argv.push_back(nullptr);
  return argv;
}

// Keeps the first failure of a series of set-up calls that report errno values.
class FirstError {
 public:
  void Keep(int error) {
    if (value_ == 0) {
      value_ = error;
    }
  }
  int Value() const { return value_; }

 private:
  int value_ = 0;
};

class SpawnFileActions {
 public:
  SpawnFileActions() { error_.Keep(::posix_spawn_file_actions_init(&actions_)); }
  ~SpawnFileActions() { ::posix_spawn_file_actions_destroy(&actions_); }
  SpawnFileActions(const SpawnFileActions&) = delete;
  SpawnFileActions& operator=(const SpawnFileActions&) = delete;

  void Open(int fd, const char* path, int flags) {
    error_.Keep(::posix_spawn_file_actions_addopen(&actions_, fd, path, flags, 0));
  }
  void Duplicate(int fd, int to) {
    error_.Keep(::posix_spawn_file_actions_adddup2(&actions_, fd, to));
  }
  void CloseFrom(int fd) { error_.Keep(::posix_spawn_file_actions_addclosefrom_np(&actions_, fd)); }

  const posix_spawn_file_actions_t* Get() const { return &actions_; }
  int Error() const { return error_.Value(); }

 private:
  posix_spawn_file_actions_t actions_;
  FirstError error_;
};

class SpawnAttributes {
 public:
  SpawnAttributes() { error_.Keep(::posix_spawnattr_init(&attributes_)); }
  ~SpawnAttributes() { ::posix_spawnattr_destroy(&attributes_); }
  SpawnAttributes(const SpawnAttributes&) = delete;
  SpawnAttributes& operator=(const SpawnAttributes&) = delete;

  // A new session is what a hidden console was: the terminal that started us
  // cannot signal the child. The child also must not inherit a signal mask or
  // an ignored SIGPIPE of ours: tools expect the defaults.
  void StartFresh() {
    sigset_t none;
    sigset_t all;
    ::sigemptyset(&none);
    ::sigfillset(&all);
    error_.Keep(::posix_spawnattr_setsigmask(&attributes_, &none));
    error_.Keep(::posix_spawnattr_setsigdefault(&attributes_, &all));
    error_.Keep(::posix_spawnattr_setflags(
        &attributes_, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF));
  }

  const posix_spawnattr_t* Get() const { return &attributes_; }
  int Error() const { return error_.Value(); }

 private:
  posix_spawnattr_t attributes_;
  FirstError error_;
};

void DescribeStandardDescriptors(SpawnFileActions& actions, const HiddenChildPlan& plan) {
  actions.Open(STDIN_FILENO, "/dev/null", O_RDONLY);
  actions.Duplicate(plan.outputFd, STDOUT_FILENO);
  if (plan.errorToOutput) {
    actions.Duplicate(plan.outputFd, STDERR_FILENO);
  } else {
    actions.Open(STDERR_FILENO, "/dev/null", O_WRONLY);
  }
  // A library may have opened something without close-on-exec; the child
  // still gets nothing but 0-2.
  actions.CloseFrom(STDERR_FILENO + 1);
}

// Runs in the child of a fork from a process that may have other threads, so
// only async-signal-safe calls: the detached program's session, descriptors
// and signal handling, then the program itself.
[[noreturn]] void ExecDetached(const char* program, char* const argv[], char* const envp[]) {
  ::setsid();
  const int devNull = ::open("/dev/null", O_RDWR);
  ::dup2(devNull, STDIN_FILENO);
  ::dup2(devNull, STDOUT_FILENO);
  ::dup2(devNull, STDERR_FILENO);
  ::closefrom(STDERR_FILENO + 1);
  sigset_t none;
  ::sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);
  struct sigaction byDefault {};
  byDefault.sa_handler = SIG_DFL;
  for (int signal = 1; signal < NSIG; ++signal) {
    ::sigaction(signal, &byDefault, nullptr);
  }
  ::execve(program, argv, envp);
  ::_exit(127);
}

}  // namespace

HiddenChild StartHidden(const HiddenChildPlan& plan) {
  HiddenChild child;
  SpawnFileActions actions;
  DescribeStandardDescriptors(actions, plan);
  SpawnAttributes attributes;
  attributes.StartFresh();
  child.error = actions.Error() != 0 ? actions.Error() : attributes.Error();
  if (child.error != 0) {
    return child;
  }
  const std::vector<char*> argv = ArgvOf(plan.arguments);
  const auto spawn = plan.searchPath ? ::posix_spawnp : ::posix_spawn;
  const ChildEnvironment environment(environ);
  child.error = spawn(&child.pid, plan.program.c_str(), actions.Get(), attributes.Get(),
                      argv.data(), environment.Get());
  if (child.error == 0) {
    // Without a pidfd (an old kernel, no descriptor left) the run still ends:
    // its wait is then paced by the timeout alone.
    // Called directly: this glibc's <sys/pidfd.h> lacks C linkage for C++.
    child.endFd.Reset(static_cast<int>(::syscall(SYS_pidfd_open, child.pid, 0)));
  }
  return child;
}

bool HasEnded(pid_t pid) {
  siginfo_t info{};
  if (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0) {
    return errno == ECHILD;
  }
  return info.si_pid == pid;
}

bool ProcessGroupAlive(pid_t group) {
  if (::kill(-group, 0) != 0 && errno != EPERM) {
    return false;
  }
  // The group has members; kill() cannot tell the living from zombies, but
  // each one's stat line can: "PID (COMMAND) STATE PPID PGRP ...".
  std::error_code error;
  std::filesystem::directory_iterator processes("/proc", error);
  if (error) {
    return true;
  }
  for (const std::filesystem::directory_entry& process : processes) {
    std::ifstream statFile(process.path() / "stat");
    std::string stat;
    if (!std::getline(statFile, stat)) {
      continue;
    }
    const std::size_t commandEnd = stat.rfind(')');
    if (commandEnd == std::string::npos) {
      continue;
    }
    std::istringstream fields(stat.substr(commandEnd + 1));
    char state = 0;
    pid_t parent = 0;
    pid_t processGroup = 0;
    if (fields >> state >> parent >> processGroup && processGroup == group && state != 'Z' &&
        state != 'X') {
      return true;
    }
  }
  return false;
}

int Reap(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) {
      return 0;
    }
  }
  return status;
}

void StartDetached(const std::string& program, const std::vector<std::string>& arguments) {
  const std::vector<char*> argv = ArgvOf(arguments);
  const ChildEnvironment environment(environ);
  const pid_t middle = ::fork();
  if (middle == 0) {
    // The middle process leaves at once; its child, orphaned, is adopted by
    // init and never waited for by us. _Fork runs no fork handlers, whose
    // locks another thread of ours may have held when we forked.
    if (::_Fork() == 0) {
      ExecDetached(program.c_str(), argv.data(), environment.Get());
    }
    ::_exit(0);
  }
  if (middle > 0) {
    Reap(middle);
  }
}

}  // namespace velmora
