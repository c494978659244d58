#pragma once

#include <string>

#include "apk/format_error.h"
#include "apk/zip_archive.h"

namespace velmora::apk {

// Opens `entry` of `archive`, an archive itself (an APK of a set archive),
// without holding it in memory: its bytes are spooled to a new file in
// `folder`, which is removed as soon as it is made, so that only the open
// descriptor keeps it and nothing is left in the folder however the process
// ends. The entry is read as ZipReader::Stream reads it, never past its
// recorded size. Fails, in a line for the user, when the entry cannot be read,
// is damaged or is no ZIP archive, and when the folder takes no new file or
// runs out of room.
Parsed<ZipReader> OpenSpooled(const ZipReader& archive, const ZipEntry& entry,
                              const std::string& folder);

}  // namespace velmora::apk
