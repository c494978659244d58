#include "exec/output_pipe.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>

namespace velmora {

int MoveAboveStandardDescriptors(UniqueFd& fd) {
  if (fd.Get() > STDERR_FILENO) {
    return 0;
  }
  const int moved = ::fcntl(fd.Get(), F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
  if (moved < 0) {
    return errno;
  }
  fd.Reset(moved);
  return 0;
}

OutputPipe OpenOutputPipe() {
  OutputPipe pipe;
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) {
    pipe.error = errno;
    return pipe;
  }
  pipe.readEnd.Reset(ends[0]);
  pipe.writeEnd.Reset(ends[1]);
  pipe.error = MoveAboveStandardDescriptors(pipe.readEnd);
  if (pipe.error == 0) {
    pipe.error = MoveAboveStandardDescriptors(pipe.writeEnd);
  }
  if (pipe.error == 0 && ::fcntl(pipe.readEnd.Get(), F_SETFL, O_NONBLOCK) != 0) {
    pipe.error = errno;
  }
  return pipe;
}

std::size_t ReadWaiting(int fd, std::span<char> buffer) {
  ssize_t count;
  do {
    count = ::read(fd, buffer.data(), buffer.size());
  } while (count < 0 && errno == EINTR);
  return count > 0 ? static_cast<std::size_t>(count) : 0;
}

std::size_t BytesWaiting(int fd) {
  int count = 0;
  if (::ioctl(fd, FIONREAD, &count) != 0 || count < 0) {
    return 0;
  }
  return static_cast<std::size_t>(count);
}

}  // namespace velmora
