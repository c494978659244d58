#include "apk/zip_archive.h"

#include <zip.h>

#include <algorithm>
#include <utility>

namespace velmora::apk {
namespace {

std::string LibzipMessage(zip_error_t* error) {
  return zip_error_strerror(error);
}

std::string OpenFailure(int code) {
  zip_error_t error;
  zip_error_init_with_code(&error, code);
  std::string message = LibzipMessage(&error);
  zip_error_fini(&error);
  return message;
}

}  // namespace

Parsed<ZipReader> ZipReader::OpenFile(const std::string& path, std::string displayName) {
  int code = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_RDONLY, &code);
  if (archive == nullptr) {
    return FormatError{displayName + " 不是可读的 ZIP 文件（" + OpenFailure(code) + "）"};
  }
  ZipReader reader;
  reader.archive_ = archive;
  reader.sourcePath_ = path;
  reader.displayName_ = std::move(displayName);
  return ListEntries(std::move(reader));
}

Parsed<ZipReader> ZipReader::OpenBytes(std::string bytes, std::string displayName) {
  ZipReader reader;
  reader.bytes_ = std::make_unique<std::string>(std::move(bytes));
  reader.displayName_ = std::move(displayName);
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* source =
      zip_source_buffer_create(reader.bytes_->data(), reader.bytes_->size(), 0, &error);
  if (source != nullptr) {
    reader.archive_ = zip_open_from_source(source, ZIP_RDONLY, &error);
    if (reader.archive_ == nullptr) zip_source_free(source);
  }
  if (reader.archive_ == nullptr) {
    std::string message =
        reader.displayName_ + " 不是可读的 ZIP 文件（" + LibzipMessage(&error) + "）";
    zip_error_fini(&error);
    return FormatError{std::move(message)};
  }
  zip_error_fini(&error);
  return ListEntries(std::move(reader));
}

Parsed<ZipReader> ZipReader::ListEntries(ZipReader reader) {
  const zip_int64_t count = zip_get_num_entries(reader.archive_, 0);
  for (zip_int64_t i = 0; i < count; ++i) {
    zip_stat_t stat;
    zip_stat_init(&stat);
    const auto index = static_cast<zip_uint64_t>(i);
    // Names are kept byte for byte: the guessing conversion would turn a
    // name's high bytes into other ones.
    if (zip_stat_index(reader.archive_, index, ZIP_FL_ENC_RAW, &stat) != 0 ||
        stat.name == nullptr) {
      return FormatError{reader.displayName_ + " 的中央目录第 " + std::to_string(i) +
                         " 项已损坏（" + LibzipMessage(zip_get_error(reader.archive_)) + "）"};
    }
    reader.entries_.push_back(ZipEntry{stat.name, index, stat.comp_method, stat.size,
                                       stat.encryption_method != ZIP_EM_NONE, stat.mtime});
  }
  return reader;
}

ZipReader::ZipReader(ZipReader&& other) noexcept
    : archive_(std::exchange(other.archive_, nullptr)),
      bytes_(std::move(other.bytes_)),
      sourcePath_(std::move(other.sourcePath_)),
      displayName_(std::move(other.displayName_)),
      entries_(std::move(other.entries_)) {}

ZipReader& ZipReader::operator=(ZipReader&& other) noexcept {
  if (this != &other) {
    if (archive_ != nullptr) zip_discard(archive_);
    archive_ = std::exchange(other.archive_, nullptr);
    bytes_ = std::move(other.bytes_);
    sourcePath_ = std::move(other.sourcePath_);
    displayName_ = std::move(other.displayName_);
    entries_ = std::move(other.entries_);
  }
  return *this;
}

ZipReader::~ZipReader() {
  if (archive_ != nullptr) zip_discard(archive_);
}

const ZipEntry* ZipReader::Find(std::string_view name) const {
  auto entry = std::find_if(entries_.begin(), entries_.end(),
                            [name](const ZipEntry& candidate) { return candidate.name == name; });
  return entry == entries_.end() ? nullptr : &*entry;
}

Parsed<std::string> ZipReader::Read(const ZipEntry& entry, std::uint64_t limit) const {
  const std::string where = displayName_ + " 中的 " + entry.name;
  if (entry.encrypted) return FormatError{where + " 已加密，无法读取"};
  if (entry.size > limit) {
    return FormatError{where + " 太大（" + std::to_string(entry.size) + " 字节）"};
  }
  zip_file_t* file = zip_fopen_index(archive_, entry.index, 0);
  if (file == nullptr) {
    return FormatError{where + " 无法读取：" + LibzipMessage(zip_get_error(archive_))};
  }
  // The declared size may lie; the buffer grows with what really comes, and
  // libzip checks the size and CRC at the end.
  std::string bytes;
  bytes.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(entry.size, 1u << 24)));
  char buffer[1 << 16];
  zip_int64_t count = 0;
  while ((count = zip_fread(file, buffer, sizeof buffer)) > 0) {
    if (bytes.size() + static_cast<std::uint64_t>(count) > limit) break;
    bytes.append(buffer, static_cast<std::size_t>(count));
  }
  std::string failure;
  if (count < 0) failure = LibzipMessage(zip_file_get_error(file));
  zip_fclose(file);
  if (count > 0) return FormatError{where + " 已损坏：数据比记录的大小更长"};
  if (!failure.empty()) return FormatError{where + " 已损坏（" + failure + "）"};
  if (bytes.size() != entry.size) return FormatError{where + " 已损坏：大小不对"};
  return bytes;
}

bool LooksLikeZip(std::string_view bytes) {
  return bytes.starts_with(std::string_view("PK\x03\x04", 4)) ||
         bytes.starts_with(std::string_view("PK\x05\x06", 4));
}

}  // namespace velmora::apk
