#include "apk/archive_bytes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace velmora::apk {

Parsed<ArchiveBytes> ArchiveBytes::Of(const ZipReader& archive) {
  ArchiveBytes bytes;
  bytes.file_.Reset(::fcntl(archive.BytesDescriptor(), F_DUPFD_CLOEXEC, 0));
  struct stat status {};
  if (!bytes.file_.IsOpen() || ::fstat(bytes.file_.Get(), &status) != 0) {
    return FormatError{archive.DisplayName() + " 无法读取：" + std::strerror(errno)};
  }
  bytes.size_ = static_cast<std::uint64_t>(status.st_size);
  return bytes;
}

bool ArchiveBytes::Read(std::uint64_t offset, std::uint64_t length, std::string& out) const {
  if (offset > size_ || length > size_ - offset) return false;
  out.resize(length);
  std::uint64_t done = 0;
  while (done < length) {
    const ssize_t count =
        ::pread(file_.Get(), out.data() + done, length - done, static_cast<off_t>(offset + done));
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return false;
    done += static_cast<std::uint64_t>(count);
  }
  return true;
}

}  // namespace velmora::apk
