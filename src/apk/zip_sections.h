#pragma once

#include <cstdint>
#include <string>

#include "apk/archive_bytes.h"
#include "apk/format_error.h"

namespace velmora::apk {

// Where the parts of a ZIP archive lie that an APK signature covers: the
// entries before the central directory, the central directory and the End of
// Central Directory record.
struct ZipSections {
  std::uint64_t centralDirectoryOffset = 0;
  std::uint64_t centralDirectorySize = 0;
  std::uint64_t endOfCentralDirectoryOffset = 0;
  std::string endOfCentralDirectory;  // the record and its comment
};

// The offset of the central directory's offset within the End of Central
// Directory record.
inline constexpr std::size_t kCentralDirectoryOffsetField = 16;

// Finds the End of Central Directory record (the last one whose comment runs
// to the end of the archive) and the central directory it names. Fails, in a
// message without the file's name, when there is none, when the archive is
// ZIP64 (which APK signatures do not support), and when the central directory
// does not end where the record starts.
Parsed<ZipSections> FindZipSections(const ArchiveBytes& archive);

}  // namespace velmora::apk
