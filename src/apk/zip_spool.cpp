#include "apk/zip_spool.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "apk/entry_name.h"

namespace velmora::apk {
namespace {

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

}  // namespace

Parsed<ZipReader> OpenSpooled(const ZipReader& archive, const ZipEntry& entry,
                              const std::string& folder) {
  std::string pattern = folder + "/.velmora-XXXXXX";
  const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
  if (fd < 0) return FormatError{"无法在 " + folder + " 中建立临时文件：" + std::strerror(errno)};
  ::unlink(pattern.c_str());
  const std::string name = ShownEntryName(entry.name);
  Parsed<std::monostate> spooled =
      archive.Stream(entry, [&](std::string_view piece) -> std::optional<FormatError> {
        if (WriteAll(fd, piece)) return std::nullopt;
        return FormatError{"无法把 " + archive.DisplayName() + " 中的 " + name + " 写入 " + folder +
                           " 中的临时文件：" + std::strerror(errno)};
      });
  if (auto* failure = std::get_if<FormatError>(&spooled)) {
    ::close(fd);
    return *failure;
  }
  return ZipReader::OpenDescriptor(fd, name);
}

}  // namespace velmora::apk
