#include "exec/stop_signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <initializer_list>

namespace velmora {
namespace {

volatile std::sig_atomic_t caughtSignal = 0;
int wakeUpWriteEnd = -1;

// Runs as a signal handler: only async-signal-safe calls, errno kept.
void NoteStopSignal(int signal) {
  if (caughtSignal == 0) caughtSignal = signal;
  const int savedErrno = errno;
  if (wakeUpWriteEnd >= 0) {
    [[maybe_unused]] const ssize_t ignored = ::write(wakeUpWriteEnd, "!", 1);
  }
  errno = savedErrno;
}

}  // namespace

int CatchStopSignals() {
  int ends[2];
  int readEnd = -1;
  if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) == 0) {
    readEnd = ends[0];
    wakeUpWriteEnd = ends[1];
  }
  struct sigaction noting {};
  noting.sa_handler = NoteStopSignal;
  ::sigemptyset(&noting.sa_mask);
  // Restarted, a write to a slow terminal is not cut short; a wait in poll()
  // is interrupted all the same, so a run notices the signal at once.
  noting.sa_flags = SA_RESTART;
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    ::sigaction(signal, &noting, nullptr);
  }
  return readEnd;
}

int CaughtStopSignal() {
  return caughtSignal;
}

}  // namespace velmora
