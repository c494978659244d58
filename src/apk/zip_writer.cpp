#include "apk/zip_writer.h"

#include <zip.h>

#include <utility>

namespace velmora::apk {

Parsed<ZipWriter> ZipWriter::Create(const std::string& path) {
  int code = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code);
  if (archive == nullptr) {
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    FormatError failure{"无法写入 " + path + "：" + zip_error_strerror(&error)};
    zip_error_fini(&error);
    return failure;
  }
  ZipWriter writer;
  writer.archive_ = archive;
  writer.path_ = path;
  return writer;
}

ZipWriter::ZipWriter(ZipWriter&& other) noexcept
    : archive_(std::exchange(other.archive_, nullptr)),
      path_(std::move(other.path_)),
      buffers_(std::move(other.buffers_)) {}

ZipWriter::~ZipWriter() {
  if (archive_ != nullptr) zip_discard(archive_);
}

FormatError ZipWriter::Failure(const std::string& what) const {
  return FormatError{"无法写入 " + path_ + "（" + what + "）：" +
                     zip_error_strerror(zip_get_error(archive_))};
}

Parsed<std::monostate> ZipWriter::Finish(std::int64_t index, std::int32_t method,
                                         std::int64_t modified) {
  if (index < 0) return Failure("添加条目");
  const auto at = static_cast<zip_uint64_t>(index);
  if (zip_set_file_compression(archive_, at, method, 0) != 0 ||
      zip_file_set_mtime(archive_, at, static_cast<time_t>(modified), 0) != 0) {
    return Failure("条目 " + std::string(zip_get_name(archive_, at, ZIP_FL_ENC_RAW)));
  }
  return std::monostate{};
}

Parsed<std::monostate> ZipWriter::Copy(const ZipReader& from, const ZipEntry& entry) {
  // A whole entry taken from another archive keeps its compressed form:
  // libzip copies it raw as long as the method set here is the one it has.
  zip_source_t* source = zip_source_zip(archive_, from.Handle(), entry.index, 0, 0, -1);
  if (source == nullptr) return Failure(from.DisplayName() + ": " + entry.name);
  const zip_int64_t index = zip_file_add(archive_, entry.name.c_str(), source, 0);
  if (index < 0) zip_source_free(source);
  return Finish(index, entry.method, entry.modified);
}

Parsed<std::monostate> ZipWriter::Add(const std::string& name, std::string bytes,
                                      std::int32_t method, std::int64_t modified) {
  const std::string& kept = buffers_.emplace_back(std::move(bytes));
  zip_source_t* source = zip_source_buffer(archive_, kept.data(), kept.size(), 0);
  if (source == nullptr) return Failure(name);
  const zip_int64_t index = zip_file_add(archive_, name.c_str(), source, 0);
  if (index < 0) zip_source_free(source);
  return Finish(index, method, modified);
}

Parsed<std::monostate> ZipWriter::Commit() {
  if (zip_close(archive_) != 0) return Failure("保存");
  archive_ = nullptr;
  return std::monostate{};
}

}  // namespace velmora::apk
