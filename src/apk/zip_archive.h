#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "apk/format_error.h"
#include "config/unique_fd.h"

struct zip;

namespace velmora::apk {

// One entry of an archive as its central directory lists it.
struct ZipEntry {
  std::string name;  // byte for byte, a NUL in it kept
  std::uint64_t index = 0;
  std::int32_t method = 0;  // the compression method (0 stored, 8 deflated)
  std::uint64_t size = 0;   // uncompressed, as recorded
  bool encrypted = false;
  std::int64_t modified = 0;  // time_t of the entry's date and time
};

// Receives the bytes of an entry a piece at a time; a failure it returns ends
// the reading.
using ByteSink = std::function<std::optional<FormatError>(std::string_view piece)>;

// A ZIP archive (an APK or a set archive) opened for reading with libzip, from
// a file or from a descriptor (an APK of a set archive spooled to a file with
// no name). Every failure names the archive by its display name.
class ZipReader {
 public:
  // Fails on anything but a regular file (a pipe, a device), without waiting.
  static Parsed<ZipReader> OpenFile(const std::string& path, std::string displayName);
  // Takes `fd` over (it is closed with the reader, or at once on a failure).
  static Parsed<ZipReader> OpenDescriptor(int fd, std::string displayName);

  ZipReader(ZipReader&&) noexcept;
  ZipReader& operator=(ZipReader&&) noexcept;
  ~ZipReader();

  const std::string& DisplayName() const { return displayName_; }
  const std::vector<ZipEntry>& Entries() const { return entries_; }
  // The entry called `name`, or nullptr.
  const ZipEntry* Find(std::string_view name) const;

  // Hands the entry's uncompressed bytes to `sink`, never inflating past the
  // size the archive records for it. Fails on an encrypted entry and on data
  // that does not match the record: longer (at the first byte beyond it),
  // shorter, or of another CRC; and with what `sink` returns.
  Parsed<std::monostate> Stream(const ZipEntry& entry, const ByteSink& sink) const;

  // The entry's uncompressed bytes, as Stream reads them. Fails as Stream
  // does, and on a recorded size above `limit`.
  Parsed<std::string> Read(const ZipEntry& entry, std::uint64_t limit) const;

  // The libzip archive, for copying entries into another archive unchanged.
  zip* Handle() const { return archive_; }

  // The archive's own bytes, for readers of what lies between and around its
  // entries (the signing block): a descriptor of its file, to be read with
  // pread only, since libzip moves the file's offset as it pleases.
  int BytesDescriptor() const { return bytes_.Get(); }

 private:
  ZipReader() = default;
  static Parsed<ZipReader> ListEntries(ZipReader reader,
                                       const std::optional<std::vector<std::string>>& rawNames);

  zip* archive_ = nullptr;
  UniqueFd bytes_;
  std::string displayName_;
  std::vector<ZipEntry> entries_;
};

// Whether `bytes` start as a ZIP archive does (a local file header, or the end
// record of an empty archive).
bool LooksLikeZip(std::string_view bytes);

}  // namespace velmora::apk
