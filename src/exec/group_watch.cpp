#include "exec/group_watch.h"

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <mutex>
#include <vector>

#include "config/unique_fd.h"
#include "exec/child_process.h"
#include "exec/group_watcher.h"

namespace velmora {
namespace {

struct WatchState {
  std::mutex mutex;
  UniqueFd socket;
  std::vector<WatchRecord> watched;
};

WatchState& State() {
  static WatchState state;
  return state;
}

// A sequenced-packet socket keeps each record whole, and a send to a watcher
// that has gone fails instead of raising SIGPIPE.
bool Send(const UniqueFd& socket, const WatchRecord& record) {
  ssize_t sent;
  do {
    sent = ::send(socket.Get(), &record, sizeof record, MSG_NOSIGNAL);
  } while (sent < 0 && errno == EINTR);
  return sent == static_cast<ssize_t>(sizeof record);
}

bool StartWatcher(WatchState& state) {
  state.socket.Reset();
  int ends[2];
  if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) != 0) return false;
  UniqueFd ours(ends[0]);
  UniqueFd theirs(ends[1]);
  const int watcherEnd = theirs.Get();
  if (!RunOrphaned([watcherEnd] { WatchUntilStreamEnds(watcherEnd); })) return false;
  state.socket = std::move(ours);
  return std::all_of(state.watched.begin(), state.watched.end(),
                     [&state](const WatchRecord& record) { return Send(state.socket, record); });
}

}  // namespace

bool WatchProcessGroup(pid_t group) {
  WatchState& state = State();
  const std::lock_guard lock(state.mutex);
  if (state.watched.size() >= kMaxWatchedGroups) return false;
  const WatchRecord record{WatchRecord::kWatch, group, ProcessStartTime(group)};
  const bool sent = (state.socket.IsOpen() && Send(state.socket, record)) ||
                    (StartWatcher(state) && Send(state.socket, record));
  if (sent) state.watched.push_back(record);
  return sent;
}

void UnwatchProcessGroup(pid_t group) {
  WatchState& state = State();
  const std::lock_guard lock(state.mutex);
  const auto before = state.watched.size();
  std::erase_if(state.watched,
                [group](const WatchRecord& record) { return record.group == group; });
  // A watcher that has gone watches nothing; the next start tells a new one
  // what is left.
  if (state.watched.size() != before && state.socket.IsOpen()) {
    Send(state.socket, WatchRecord{WatchRecord::kUnwatch, group, 0});
  }
}

}  // namespace velmora
