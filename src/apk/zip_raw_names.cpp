#include "apk/zip_raw_names.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <string_view>

namespace velmora::apk {
namespace {

constexpr std::string_view kEndSignature("PK\x05\x06", 4);
constexpr std::string_view kZip64LocatorSignature("PK\x06\x07", 4);
constexpr std::string_view kZip64EndSignature("PK\x06\x06", 4);
constexpr std::string_view kCentralSignature("PK\x01\x02", 4);
constexpr std::size_t kEndSize = 22;
constexpr std::size_t kZip64LocatorSize = 20;
constexpr std::size_t kZip64EndSize = 56;
constexpr std::size_t kCentralHeaderSize = 46;
constexpr std::size_t kLongestComment = 0xffff;

// Up to `count` bytes at `offset`; fewer at the end of the file or on an error.
std::string ReadAt(int fd, std::uint64_t offset, std::size_t count) {
  std::string bytes(count, '\0');
  std::size_t done = 0;
  while (done < count) {
    const ssize_t got =
        ::pread(fd, bytes.data() + done, count - done, static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += static_cast<std::size_t>(got);
  }
  bytes.resize(done);
  return bytes;
}

std::uint64_t Little(std::string_view bytes, std::size_t at, std::size_t width) {
  std::uint64_t value = 0;
  for (std::size_t i = width; i-- > 0;) {
    value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
  }
  return value;
}

struct Directory {
  std::uint64_t offset = 0;
  std::uint64_t entries = 0;
};

// The end record of ZIP64, which holds the figures the classic one has no
// room for.
std::optional<Directory> Zip64Directory(int fd, std::uint64_t endOffset) {
  if (endOffset < kZip64LocatorSize) return std::nullopt;
  const std::string locator = ReadAt(fd, endOffset - kZip64LocatorSize, kZip64LocatorSize);
  if (locator.size() != kZip64LocatorSize || !locator.starts_with(kZip64LocatorSignature)) {
    return std::nullopt;
  }
  const std::string end = ReadAt(fd, Little(locator, 8, 8), kZip64EndSize);
  if (end.size() != kZip64EndSize || !end.starts_with(kZip64EndSignature)) return std::nullopt;
  return Directory{Little(end, 48, 8), Little(end, 32, 8)};
}

// Where the central directory starts and how many entries it holds, from the
// last end record of the file.
std::optional<Directory> FindDirectory(int fd, std::uint64_t fileSize) {
  if (fileSize < kEndSize) return std::nullopt;
  const std::uint64_t tailSize = std::min<std::uint64_t>(fileSize, kEndSize + kLongestComment);
  const std::uint64_t tailOffset = fileSize - tailSize;
  const std::string tail = ReadAt(fd, tailOffset, static_cast<std::size_t>(tailSize));
  const std::size_t end = tail.rfind(kEndSignature);
  if (end == std::string::npos || tail.size() - end < kEndSize) return std::nullopt;
  Directory directory{Little(tail, end + 16, 4), Little(tail, end + 10, 2)};
  if (directory.offset == 0xffffffff || directory.entries == 0xffff) {
    return Zip64Directory(fd, tailOffset + end);
  }
  return directory;
}

}  // namespace

std::optional<std::vector<std::string>> ReadRawEntryNames(int fd) {
  struct stat file;
  if (::fstat(fd, &file) != 0) return std::nullopt;
  const auto fileSize = static_cast<std::uint64_t>(file.st_size);
  const std::optional<Directory> directory = FindDirectory(fd, fileSize);
  if (!directory) return std::nullopt;
  // Each header takes at least its fixed part: a count beyond what the file
  // can hold is a lie, and no vector is sized by it.
  if (directory->entries > fileSize / kCentralHeaderSize) return std::nullopt;
  std::vector<std::string> names;
  std::uint64_t at = directory->offset;
  for (std::uint64_t i = 0; i < directory->entries; ++i) {
    const std::string header = ReadAt(fd, at, kCentralHeaderSize);
    if (header.size() != kCentralHeaderSize || !header.starts_with(kCentralSignature)) {
      return std::nullopt;
    }
    const std::uint64_t nameLength = Little(header, 28, 2);
    std::string name = ReadAt(fd, at + kCentralHeaderSize, static_cast<std::size_t>(nameLength));
    if (name.size() != nameLength) return std::nullopt;
    names.push_back(std::move(name));
    at += kCentralHeaderSize + nameLength + Little(header, 30, 2) + Little(header, 32, 2);
  }
  return names;
}

}  // namespace velmora::apk
