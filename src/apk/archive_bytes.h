#pragma once

#include <cstdint>
#include <string>

#include "apk/format_error.h"
#include "apk/zip_archive.h"
#include "config/unique_fd.h"

namespace velmora::apk {

// The bytes of an archive as stored, read a range at a time from its file
// (with pread, so a file cut short while it is read gives a failure, not a
// signal). Ranges are read on demand, so hashing a large APK needs no more
// memory than the range asked for.
class ArchiveBytes {
 public:
  // The bytes `archive` was opened from. Fails when its file cannot be read.
  static Parsed<ArchiveBytes> Of(const ZipReader& archive);

  std::uint64_t Size() const { return size_; }

  // Replaces `out` with the `length` bytes at `offset`. False when the range
  // passes the end or the file cannot be read.
  bool Read(std::uint64_t offset, std::uint64_t length, std::string& out) const;

 private:
  UniqueFd file_;
  std::uint64_t size_ = 0;
};

}  // namespace velmora::apk
