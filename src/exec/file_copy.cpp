#include "exec/file_copy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "config/file_replace.h"
#include "config/unique_fd.h"

namespace velmora {
namespace {

bool IsSameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool CopyAllBytes(int from, int to) {
  for (;;) {
    ssize_t copied = ::copy_file_range(from, nullptr, to, nullptr, 1 << 30, 0);
    if (copied == 0) return true;
    if (copied > 0) continue;
    if (errno == EINTR) continue;
    if (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP) break;
    return false;
  }
  // A file system that cannot copy in the kernel: copy through a buffer.
  char buffer[1 << 16];
  for (;;) {
    ssize_t count = ::read(from, buffer, sizeof buffer);
    if (count == 0) return true;
    if (count < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    for (ssize_t done = 0; done < count;) {
      ssize_t written = ::write(to, buffer + done, static_cast<std::size_t>(count - done));
      if (written < 0 && errno != EINTR) return false;
      if (written > 0) done += written;
    }
  }
}

}  // namespace

CopyResult CopyFileReplacing(const std::string& source, const std::string& destination) {
  UniqueFd from(::open(source.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  struct stat sourceInfo;
  if (!from.IsOpen() || ::fstat(from.Get(), &sourceInfo) != 0 || !S_ISREG(sourceInfo.st_mode)) {
    return CopyResult::kFailed;
  }
  struct stat destinationInfo;
  const bool destinationExisted = ::lstat(destination.c_str(), &destinationInfo) == 0;
  if (::stat(destination.c_str(), &destinationInfo) == 0) {
    if (IsSameFile(sourceInfo, destinationInfo) || S_ISDIR(destinationInfo.st_mode)) {
      return CopyResult::kFailed;
    }
  }

  std::string temporary = TemporaryPathBeside(destination);
  UniqueFd to(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                     sourceInfo.st_mode & 0777));
  if (!to.IsOpen()) return CopyResult::kFailed;
  bool copied = CopyAllBytes(from.Get(), to.Get());
  copied = to.Close() && copied;
  if (!copied || ::rename(temporary.c_str(), destination.c_str()) != 0) {
    ::unlink(temporary.c_str());
    return CopyResult::kFailed;
  }
  return destinationExisted ? CopyResult::kReplacedDestination : CopyResult::kCreatedDestination;
}

}  // namespace velmora
