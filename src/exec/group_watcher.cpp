#include "exec/group_watcher.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include "exec/child_process.h"
#include "exec/running_tools.h"

namespace velmora {
namespace {

// The descriptor the socket is moved to; everything above it is closed.
constexpr int kSocketFd = 3;

// No notice comes when the last member of a process group ends, so the
// stopped groups are looked at this often until all are gone or the grace
// period has passed.
constexpr int kCheckIntervalMs = 50;

// Text in the stat line after the command's closing parenthesis, field by
// field: the start time is the 20th field after it ("... ) S PPID PGRP ...").
constexpr int kStartTimeField = 20;

class WatchTable {
 public:
  void Apply(const WatchRecord& record) {
    if (record.kind == WatchRecord::kUnwatch) {
      for (std::size_t i = 0; i < size_; ++i) {
        if (entries_[i].group == record.group) entries_[i] = entries_[--size_];
      }
    } else if (size_ < kMaxWatchedGroups) {
      entries_[size_++] = record;
    }
  }

  std::size_t Size() const { return size_; }
  WatchRecord& operator[](std::size_t i) { return entries_[i]; }

 private:
  WatchRecord entries_[kMaxWatchedGroups];
  std::size_t size_ = 0;
};

// A process that now holds the group's number under another start time means
// the tool's group is long gone and the number is someone else's.
bool StillTheToolsGroup(const WatchRecord& record) {
  const unsigned long long now = ProcessStartTime(record.group);
  return record.startTime == 0 || now == 0 || now == record.startTime;
}

bool GroupAlive(pid_t group) {
  return ::kill(-group, 0) == 0 || errno == EPERM;
}

long long NowMs() {
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

void SignalGroups(WatchTable& table, int signal) {
  for (std::size_t i = 0; i < table.Size(); ++i) {
    if (GroupAlive(table[i].group) && StillTheToolsGroup(table[i])) ::kill(-table[i].group, signal);
  }
}

bool AnyGroupAlive(WatchTable& table) {
  for (std::size_t i = 0; i < table.Size(); ++i) {
    if (GroupAlive(table[i].group)) return true;
  }
  return false;
}

void StopGroups(WatchTable& table) {
  if (table.Size() == 0) return;
  SignalGroups(table, SIGTERM);
  const long long deadline =
      NowMs() + std::chrono::duration_cast<std::chrono::milliseconds>(kStopGracePeriod).count();
  while (AnyGroupAlive(table) && NowMs() < deadline) ::poll(nullptr, 0, kCheckIntervalMs);
  SignalGroups(table, SIGKILL);
}

// Leaves nothing of the process it was forked from in use: not its session
// (a terminal's hang-up or Ctrl-C must not end the watch), not its working
// folder (a disk stays unmountable), not its descriptors (a pipe's reader
// would wait for our end of it), not its signal handling.
void LeaveTheParentsWorld(int socketFd) {
  ::setsid();
  ::prctl(PR_SET_NAME, "velmora-watch");
  [[maybe_unused]] const int ignored = ::chdir("/");
  ::dup2(socketFd, kSocketFd);
  const int devNull = ::open("/dev/null", O_RDWR);
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) ::dup2(devNull, fd);
  ::close_range(kSocketFd + 1, ~0U, 0);
  ResetSignalHandling();
}

// Appends the decimal digits of `value` at `out`; returns the end.
char* AppendDecimal(char* out, unsigned long value) {
  char digits[24];
  int count = 0;
  do {
    digits[count++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  while (count > 0) *out++ = digits[--count];
  return out;
}

char* AppendText(char* out, const char* text) {
  while (*text != '\0') *out++ = *text++;
  return out;
}

}  // namespace

unsigned long long ProcessStartTime(pid_t pid) {
  char path[48];
  char* end = AppendText(AppendDecimal(AppendText(path, "/proc/"), static_cast<unsigned long>(pid)),
                         "/stat");
  *end = '\0';
  const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  char stat[1024];
  ssize_t size;
  while ((size = ::read(fd, stat, sizeof stat)) < 0 && errno == EINTR) {
  }
  ::close(fd);
  // The command may hold blanks and parentheses; the fields start after its last ")".
  ssize_t at = size - 1;
  while (at >= 0 && stat[at] != ')') --at;
  if (at < 0) return 0;
  for (int field = 0; field < kStartTimeField && ++at < size;) {
    if (stat[at] == ' ') ++field;
  }
  unsigned long long value = 0;
  for (++at; at < size && stat[at] >= '0' && stat[at] <= '9'; ++at) {
    value = value * 10 + static_cast<unsigned long long>(stat[at] - '0');
  }
  return value;
}

void WatchUntilStreamEnds(int socketFd) {
  LeaveTheParentsWorld(socketFd);
  WatchTable table;
  for (;;) {
    WatchRecord record;
    const ssize_t size = ::recv(kSocketFd, &record, sizeof record, 0);
    if (size < 0 && errno == EINTR) continue;
    if (size <= 0) break;
    if (static_cast<std::size_t>(size) == sizeof record) table.Apply(record);
  }
  StopGroups(table);
  ::_exit(0);
}

}  // namespace velmora
