#pragma once

#include <cstdint>
#include <deque>
#include <string>

#include "apk/format_error.h"
#include "apk/zip_archive.h"

struct zip;

namespace velmora::apk {

// A ZIP archive being written with libzip. Nothing appears at the path until
// Commit, which writes beside it and renames over it; an archive destroyed
// before that leaves the path as it was.
class ZipWriter {
 public:
  static Parsed<ZipWriter> Create(const std::string& path);

  ZipWriter(ZipWriter&&) noexcept;
  ZipWriter& operator=(ZipWriter&&) = delete;
  ~ZipWriter();

  // Adds `entry` of `from` with the compression method it has there. Its
  // compressed bytes are copied as they are, never inflated and deflated
  // again. `from` must outlive the writer's Commit.
  Parsed<std::monostate> Copy(const ZipReader& from, const ZipEntry& entry);

  // Adds `bytes` as `name`, compressed with `method` (0 stored, 8 deflated).
  Parsed<std::monostate> Add(const std::string& name, std::string bytes, std::int32_t method,
                             std::int64_t modified);

  Parsed<std::monostate> Commit();

 private:
  ZipWriter() = default;
  Parsed<std::monostate> Finish(std::int64_t index, std::int32_t method, std::int64_t modified);
  FormatError Failure(const std::string& what) const;

  zip* archive_ = nullptr;
  std::string path_;
  std::deque<std::string> buffers_;  // what Add was given, read at Commit
};

}  // namespace velmora::apk
