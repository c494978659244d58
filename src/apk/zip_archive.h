#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "apk/format_error.h"

struct zip;

namespace velmora::apk {

// One entry of an archive as its central directory lists it.
struct ZipEntry {
  std::string name;
  std::uint64_t index = 0;
  std::int32_t method = 0;  // the compression method (0 stored, 8 deflated)
  std::uint64_t size = 0;   // uncompressed
  bool encrypted = false;
  std::int64_t modified = 0;  // time_t of the entry's date and time
};

// A ZIP archive (an APK or a set archive) opened for reading with libzip, from
// a file or from bytes it holds itself (an APK inside a set archive). Every
// failure names the archive by its display name.
class ZipReader {
 public:
  static Parsed<ZipReader> OpenFile(const std::string& path, std::string displayName);
  static Parsed<ZipReader> OpenBytes(std::string bytes, std::string displayName);

  ZipReader(ZipReader&&) noexcept;
  ZipReader& operator=(ZipReader&&) noexcept;
  ~ZipReader();

  const std::string& DisplayName() const { return displayName_; }
  const std::vector<ZipEntry>& Entries() const { return entries_; }
  // The entry called `name`, or nullptr.
  const ZipEntry* Find(std::string_view name) const;

  // The entry's uncompressed bytes. Fails on an encrypted entry, damaged data
  // (a CRC or size that does not match) and on more than `limit` bytes.
  Parsed<std::string> Read(const ZipEntry& entry, std::uint64_t limit) const;

  // The libzip archive, for copying entries into another archive unchanged.
  zip* Handle() const { return archive_; }

  // Where the archive's own bytes are, for readers of what lies between and
  // around its entries (the signing block): the file it was opened from, or
  // the bytes it holds. One of the two is empty.
  const std::string& SourcePath() const { return sourcePath_; }
  std::string_view HeldBytes() const {
    return bytes_ ? std::string_view(*bytes_) : std::string_view();
  }

 private:
  ZipReader() = default;
  static Parsed<ZipReader> ListEntries(ZipReader reader);

  zip* archive_ = nullptr;
  std::unique_ptr<std::string> bytes_;  // what an archive opened from bytes reads
  std::string sourcePath_;
  std::string displayName_;
  std::vector<ZipEntry> entries_;
};

// Whether `bytes` start as a ZIP archive does (a local file header, or the end
// record of an empty archive).
bool LooksLikeZip(std::string_view bytes);

}  // namespace velmora::apk
