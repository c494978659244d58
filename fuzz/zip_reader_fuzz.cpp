// Archives from anywhere: opening one and reading every entry never crashes,
// never reads past an entry's recorded size, and the names read byte for byte
// are libzip's entries, one for one.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string_view>

#include "apk/zip_archive.h"
#include "apk/zip_raw_names.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace velmora::apk;
  const int fd = ::memfd_create("archive", MFD_CLOEXEC);
  if (fd < 0 || ::write(fd, data, size) != static_cast<ssize_t>(size)) std::abort();
  (void)ReadRawEntryNames(fd);
  const Parsed<ZipReader> opened = ZipReader::OpenDescriptor(fd, "fuzz.zip");
  if (const auto* archive = std::get_if<ZipReader>(&opened)) {
    for (const ZipEntry& entry : archive->Entries()) {
      std::uint64_t read = 0;
      (void)archive->Stream(entry, [&](std::string_view piece) {
        read += piece.size();
        if (read > entry.size) std::abort();
        return std::optional<FormatError>();
      });
    }
  }
  return 0;
}
