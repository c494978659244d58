#include "apk/zip_archive.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "apk/entry_name.h"
#include "apk/zip_raw_names.h"

namespace velmora::apk {
namespace {

std::string LibzipMessage(zip_error_t* error) {
  return zip_error_strerror(error);
}

FormatError Unreadable(const std::string& displayName, const std::string& why) {
  return FormatError{displayName + " 不是可读的 ZIP 文件（" + why + "）"};
}

// The source libzip reads the archive through: the stream of `fd`, which it
// closes when it is freed.
zip_source_t* SourceOf(int fd, zip_error_t* error) {
  std::FILE* file = ::fdopen(fd, "rb");
  if (file == nullptr) {
    zip_error_set(error, ZIP_ER_OPEN, errno);
    ::close(fd);
    return nullptr;
  }
  // A length of -1: to the end of the file.
  zip_source_t* source = zip_source_filep_create(file, 0, -1, error);
  if (source == nullptr) std::fclose(file);
  return source;
}

// Whether libzip's `name` is how it reads `raw`: the same bytes but for each
// NUL, which it turns into a blank.
bool IsLibzipReadingOf(std::string_view name, std::string_view raw) {
  return name.size() == raw.size() &&
         std::equal(name.begin(), name.end(), raw.begin(), [](char seen, char real) {
           return seen == real || (real == '\0' && seen == ' ');
         });
}

}  // namespace

Parsed<ZipReader> ZipReader::OpenFile(const std::string& path, std::string displayName) {
  // Without O_NONBLOCK, opening a named pipe waits for a writer that may
  // never come; only a regular file can be an archive.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return Unreadable(displayName, std::strerror(errno));
  struct stat status {};
  if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    ::close(fd);
    return Unreadable(displayName, "不是普通文件");
  }
  return OpenDescriptor(fd, std::move(displayName));
}

Parsed<ZipReader> ZipReader::OpenDescriptor(int fd, std::string displayName) {
  zip_error_t error;
  zip_error_init(&error);
  // libzip reads from the stream's own offset on; a spooled file's is its end.
  ::lseek(fd, 0, SEEK_SET);
  ZipReader reader;
  reader.displayName_ = std::move(displayName);
  // The names are read first: the descriptor is libzip's once it has a source.
  std::optional<std::vector<std::string>> rawNames = ReadRawEntryNames(fd);
  reader.bytes_.Reset(::fcntl(fd, F_DUPFD_CLOEXEC, 0));
  if (!reader.bytes_.IsOpen()) {
    const int why = errno;
    ::close(fd);
    return Unreadable(reader.displayName_, std::strerror(why));
  }
  if (zip_source_t* source = SourceOf(fd, &error)) {
    reader.archive_ = zip_open_from_source(source, ZIP_RDONLY, &error);
    if (reader.archive_ == nullptr) zip_source_free(source);
  }
  if (reader.archive_ == nullptr) {
    FormatError failure = Unreadable(reader.displayName_, LibzipMessage(&error));
    zip_error_fini(&error);
    return failure;
  }
  zip_error_fini(&error);
  return ListEntries(std::move(reader), rawNames);
}

Parsed<ZipReader> ZipReader::ListEntries(ZipReader reader,
                                         const std::optional<std::vector<std::string>>& rawNames) {
  const zip_int64_t count = zip_get_num_entries(reader.archive_, 0);
  // Where the two readings disagree, libzip's names stand: they are still
  // checked as names, and they are what a copy of the entry would be called.
  const bool haveRawNames = rawNames && rawNames->size() == static_cast<std::uint64_t>(count);
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
    std::string name = stat.name;
    if (haveRawNames && IsLibzipReadingOf(name, (*rawNames)[index])) name = (*rawNames)[index];
    reader.entries_.push_back(ZipEntry{std::move(name), index, stat.comp_method, stat.size,
                                       stat.encryption_method != ZIP_EM_NONE, stat.mtime});
  }
  return reader;
}

ZipReader::ZipReader(ZipReader&& other) noexcept
    : archive_(std::exchange(other.archive_, nullptr)),
      bytes_(std::move(other.bytes_)),
      displayName_(std::move(other.displayName_)),
      entries_(std::move(other.entries_)) {}

ZipReader& ZipReader::operator=(ZipReader&& other) noexcept {
  if (this != &other) {
    if (archive_ != nullptr) zip_discard(archive_);
    archive_ = std::exchange(other.archive_, nullptr);
    bytes_ = std::move(other.bytes_);
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

Parsed<std::monostate> ZipReader::Stream(const ZipEntry& entry, const ByteSink& sink) const {
  const std::string where = displayName_ + " 中的 " + ShownEntryName(entry.name);
  if (entry.encrypted) return FormatError{where + " 已加密，无法读取"};
  zip_file_t* file = zip_fopen_index(archive_, entry.index, 0);
  if (file == nullptr) {
    return FormatError{where + " 无法读取：" + LibzipMessage(zip_get_error(archive_))};
  }
  // libzip inflates as long as the compressed data goes on, whatever size the
  // archive records, so no read asks for more than one byte past that size:
  // a lie is caught at its first extra byte. The end of the data, reached
  // only at the recorded size, is where libzip checks the CRC.
  char buffer[1 << 16];
  std::uint64_t total = 0;
  zip_int64_t count = 0;
  std::optional<FormatError> failure;
  while (!failure) {
    const std::uint64_t left = entry.size - total;
    count = zip_fread(file, buffer, left < sizeof buffer ? left + 1 : sizeof buffer);
    if (count <= 0) break;
    total += static_cast<std::uint64_t>(count);
    if (total > entry.size) {
      failure = FormatError{where + " 已损坏：解压后比记录的 " + std::to_string(entry.size) +
                            " 字节更长"};
    } else {
      failure = sink(std::string_view(buffer, static_cast<std::size_t>(count)));
    }
  }
  if (!failure && count < 0) {
    failure = FormatError{where + " 已损坏（" + LibzipMessage(zip_file_get_error(file)) + "）"};
  }
  zip_fclose(file);
  if (failure) return *failure;
  if (total != entry.size) {
    return FormatError{where + " 已损坏：解压后只有 " + std::to_string(total) + " 字节，记录为 " +
                       std::to_string(entry.size) + " 字节"};
  }
  return std::monostate{};
}

Parsed<std::string> ZipReader::Read(const ZipEntry& entry, std::uint64_t limit) const {
  if (entry.size > limit) {
    return FormatError{displayName_ + " 中的 " + ShownEntryName(entry.name) + " 太大（" +
                       std::to_string(entry.size) + " 字节）"};
  }
  std::string bytes;
  bytes.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(entry.size, 1u << 24)));
  Parsed<std::monostate> read = Stream(entry, [&bytes](std::string_view piece) {
    bytes.append(piece);
    return std::optional<FormatError>();
  });
  if (auto* failure = std::get_if<FormatError>(&read)) return *failure;
  return bytes;
}

bool LooksLikeZip(std::string_view bytes) {
  return bytes.starts_with(std::string_view("PK\x03\x04", 4)) ||
         bytes.starts_with(std::string_view("PK\x05\x06", 4));
}

}  // namespace velmora::apk
