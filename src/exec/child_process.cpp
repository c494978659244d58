#include "exec/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "exec/group_watch.h"
#include "exec/output_pipe.h"
#include "exec/program_files.h"

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

// The files to execute in turn: the program itself, or, for a bare name to be
// searched, the name in each directory of PATH.
std::vector<std::string> ProgramCandidates(const HiddenChildPlan& plan) {
  if (plan.searchPath && plan.program.find('/') == std::string::npos) {
    return SearchPathCandidates(plan.program);
  }
  return {plan.program};
}

// The errors after which a search of PATH tries the next directory, as
// execvp does; any other error ends the search.
bool SearchGoesOnAfter(int error) {
  return error == EACCES || error == ENOENT || error == ENOTDIR || error == ESTALE ||
         error == ENODEV || error == ETIMEDOUT;
}

// Everything the child needs, made before the fork: it may not allocate.
struct ToolStart {
  std::vector<const char*> candidates;
  char* const* argv;
  char* const* envp;
  int outputFd;
  bool errorToOutput;
  int channelFd;  // the child's end of the socket it waits on and reports through
};

[[noreturn]] void ReportAndExit(int channelFd, int error) {
  [[maybe_unused]] const ssize_t ignored = ::write(channelFd, &error, sizeof error);
  ::_exit(127);
}

// Every descriptor from 3 up goes but `kept`.
void CloseAllBut(int kept) {
  if (kept > STDERR_FILENO + 1) ::close_range(STDERR_FILENO + 1, kept - 1, 0);
  ::close_range(kept + 1, ~0U, 0);
}

// Runs in the child of a fork from a process that may have other threads, so
// only async-signal-safe calls. Its session comes first, and the child says
// so, since the group we then watch must be the one the program runs in.
// Its standard descriptors and signals are set up next; then it waits for our
// word, which comes once its group is watched, and ends without running the
// program when instead the channel ends (we have gone). The channel is closed
// on exec, which tells us the program runs; a failure is written into it.
[[noreturn]] void BecomeTool(const ToolStart& start) {
  const int channel = start.channelFd;
  const int sessionError = ::setsid() < 0 ? errno : 0;
  if (::write(channel, "s", 1) != 1) ::_exit(127);
  if (sessionError != 0) ReportAndExit(channel, sessionError);
  // /dev/null is put on 0 first; 0 then serves for standard error as well,
  // whatever number it was opened on.
  const int devNull = ::open("/dev/null", O_RDWR);
  if (devNull < 0 || ::dup2(devNull, STDIN_FILENO) < 0 ||
      ::dup2(start.outputFd, STDOUT_FILENO) < 0 ||
      ::dup2(start.errorToOutput ? STDOUT_FILENO : STDIN_FILENO, STDERR_FILENO) < 0) {
    ReportAndExit(channel, errno);
  }
  // A library may have opened something without close-on-exec; the child
  // still gets nothing but 0-2.
  CloseAllBut(channel);
  ResetSignalHandling();

  char word = 0;
  ssize_t got;
  while ((got = ::read(channel, &word, 1)) < 0 && errno == EINTR) {
  }
  if (got != 1) ::_exit(127);

  int error = ENOENT;
  bool denied = false;
  for (const char* candidate : start.candidates) {
    ::execve(candidate, start.argv, start.envp);
    error = errno;
    denied = denied || error == EACCES;
    if (!SearchGoesOnAfter(error)) break;
  }
  ReportAndExit(channel, denied && SearchGoesOnAfter(error) ? EACCES : error);
}

// The error the child reported, or 0 once the channel ended without one
// (the program runs).
int ErrorReportedBy(int channelFd) {
  int error = 0;
  std::size_t got = 0;
  while (got < sizeof error) {
    const ssize_t count =
        ::read(channelFd, reinterpret_cast<char*>(&error) + got, sizeof error - got);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return 0;
    got += static_cast<std::size_t>(count);
  }
  return error;
}

// Whether the child has its session (and so its group) yet; false when it
// ended first.
bool AwaitSession(int channelFd) {
  char word = 0;
  ssize_t got;
  while ((got = ::read(channelFd, &word, 1)) < 0 && errno == EINTR) {
  }
  return got == 1;
}

bool SendGoAhead(int channelFd) {
  ssize_t sent;
  while ((sent = ::send(channelFd, "g", 1, MSG_NOSIGNAL)) < 0 && errno == EINTR) {
  }
  return sent == 1;
}

// Runs in the child of a fork, as BecomeTool does: the detached program's
// session, descriptors and signal handling, then the program itself.
[[noreturn]] void ExecDetached(const char* program, char* const argv[], char* const envp[]) {
  ::setsid();
  const int devNull = ::open("/dev/null", O_RDWR);
  ::dup2(devNull, STDIN_FILENO);
  ::dup2(devNull, STDOUT_FILENO);
  ::dup2(devNull, STDERR_FILENO);
  ::closefrom(STDERR_FILENO + 1);
  ResetSignalHandling();
  ::execve(program, argv, envp);
  ::_exit(127);
}

int WaitFor(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) {
      return 0;
    }
  }
  return status;
}

}  // namespace

void ResetSignalHandling() {
  sigset_t none;
  ::sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);
  struct sigaction byDefault {};
  byDefault.sa_handler = SIG_DFL;
  for (int signal = 1; signal < NSIG; ++signal) {
    ::sigaction(signal, &byDefault, nullptr);
  }
}

// Not posix_spawn: its child cannot wait for our word before it executes the
// program, and that wait is what leaves no moment at which the tool runs and
// its group is not watched yet.
HiddenChild StartHidden(const HiddenChildPlan& plan) {
  HiddenChild child;
  if (plan.program.empty()) {
    child.error = ENOENT;
    return child;
  }
  int ends[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
    child.error = errno;
    return child;
  }
  UniqueFd ours(ends[0]);
  UniqueFd theirs(ends[1]);
  child.error = MoveAboveStandardDescriptors(theirs);
  if (child.error != 0) {
    return child;
  }

  const std::vector<std::string> candidates = ProgramCandidates(plan);
  const std::vector<char*> argv = ArgvOf(plan.arguments);
  const ChildEnvironment environment(environ, plan.environment);
  ToolStart start{{},          argv.data(), environment.Get(), plan.outputFd, plan.errorToOutput,
                  theirs.Get()};
  for (const std::string& candidate : candidates) {
    start.candidates.push_back(candidate.c_str());
  }

  const pid_t pid = ::fork();
  if (pid == 0) {
    BecomeTool(start);
  }
  if (pid < 0) {
    child.error = errno;
    return child;
  }
  theirs.Reset();
  if (!AwaitSession(ours.Get())) {
    child.error = ECHILD;
    Reap(pid);
    return child;
  }
  WatchProcessGroup(pid);
  const bool told = SendGoAhead(ours.Get());
  const int reported = ErrorReportedBy(ours.Get());
  if (!told || reported != 0) {
    child.error = reported != 0 ? reported : ECHILD;
    Reap(pid);
    return child;
  }
  child.pid = pid;
  // Without a pidfd (an old kernel, no descriptor left) the run still ends:
  // its wait is then paced by the timeout alone.
  // Called directly: this glibc's <sys/pidfd.h> lacks C linkage for C++.
  child.endFd.Reset(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)));
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
  UnwatchProcessGroup(pid);
  return WaitFor(pid);
}

bool RunOrphaned(const std::function<void()>& body) {
  const pid_t middle = ::fork();
  if (middle == 0) {
    // The middle process leaves at once; its child, orphaned, is adopted by
    // init and never waited for by us. _Fork runs no fork handlers, whose
    // locks another thread of ours may have held when we forked.
    if (::_Fork() == 0) {
      body();
    }
    ::_exit(0);
  }
  if (middle < 0) {
    return false;
  }
  // Never watched: the watch itself starts its process through here.
  WaitFor(middle);
  return true;
}

void StartDetached(const std::string& program, const std::vector<std::string>& arguments) {
  const std::vector<char*> argv = ArgvOf(arguments);
  const ChildEnvironment environment(environ);
  RunOrphaned([&] { ExecDetached(program.c_str(), argv.data(), environment.Get()); });
}

}  // namespace velmora
