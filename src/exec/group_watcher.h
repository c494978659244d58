#pragma once

#include <sys/types.h>

#include <cstddef>

// The watching process's side of the watch over the tools' process groups
// (see group_watch.h).

namespace velmora {

// At most this many groups are watched at once: each is a run going on, and
// runs nest only as deep as a user presses buttons during a run.
inline constexpr std::size_t kMaxWatchedGroups = 256;

// One message to the watching process.
struct WatchRecord {
  enum Kind : char { kWatch = '+', kUnwatch = '-' };
  Kind kind;
  pid_t group;
  // Of the group's leader when it was registered (ProcessStartTime); 0 when
  // it could not be learned.
  unsigned long long startTime;
};

// When the process `pid` started, in clock ticks since boot, as /proc tells
// it; 0 when that cannot be read (no such process). Async-signal-safe.
unsigned long long ProcessStartTime(pid_t pid);

// The whole life of the watching process: keeps the groups it is told about
// from `socketFd` until the stream ends, which is when the last holder of the
// other end has gone; then stops every group still watched as a stop does
// (SIGTERM, then SIGKILL to what is left once the grace period has passed)
// and exits. It runs in the child of a fork from a process that may have
// other threads, so it makes async-signal-safe calls only and allocates
// nothing.
[[noreturn]] void WatchUntilStreamEnds(int socketFd);

}  // namespace velmora
