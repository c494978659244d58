// leave_grandchild quiet|flood: starts a grandchild that keeps the inherited
// output pipe, writes "child done" and ends. The quiet grandchild writes
// nothing; the flooding one writes without pause, and has filled the pipe
// before the child ends. Either ends only when the pipe's reader has gone, so
// nothing outlives the test.
#include <poll.h>
#include <unistd.h>

#include <string_view>

namespace {

void WaitForReaderToGo() {
  pollfd output{STDOUT_FILENO, 0, 0};
  while (::poll(&output, 1, -1) >= 0 && (output.revents & POLLERR) == 0) {
  }
}

bool WriteBlock() {
  static char block[1 << 16];
  for (char& c : block) {
    c = 'g';
  }
  return ::write(STDOUT_FILENO, block, sizeof block) > 0;
}

}  // namespace

int main(int argc, char* argv[]) {
  const bool flood = argc > 1 && std::string_view(argv[1]) == "flood";
  int started[2];
  if (::pipe(started) != 0) {
    return 1;
  }
  if (::fork() == 0) {
    ::close(started[0]);
    if (flood) {
      WriteBlock();
    }
    ::close(started[1]);
    if (flood) {
      while (WriteBlock()) {
      }
    } else {
      WaitForReaderToGo();
    }
    return 0;
  }
  ::close(started[1]);
  char ignored;
  ::read(started[0], &ignored, 1);
  const std::string_view done = "child done";
  return ::write(STDOUT_FILENO, done.data(), done.size()) > 0 ? 0 : 1;
}
