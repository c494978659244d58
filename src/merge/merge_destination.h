#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace velmora {

// Why the merged APK may not be written at `output` while the set at `set` is
// read, in a line that names both, or nothing when it may: `output` is the set
// itself (an archive, or a folder) or one of the set folder's files, or lies
// in the set folder. Files are compared, not spellings: another path to the
// same file, a symbolic link to it and a hard link are all the same file (the
// same device and inode). A file that does not exist yet is none of them.
std::optional<std::string> WhyOutputWouldHitSet(const std::string& set, const std::string& output);

// The folder that holds `output`: where the merged APK and the spooled APKs
// are written.
std::string FolderOf(const std::string& output);

// Why `needed` bytes will not fit where `output` goes, in a line with both
// figures, or nothing when the free space of its file system takes them.
std::optional<std::string> WhyNoRoomFor(std::uint64_t needed, const std::string& output);

}  // namespace velmora
