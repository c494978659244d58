#pragma once

#include <string>
#include <string_view>

namespace velmora {

enum class FileState { kRead, kMissing, kUnreadable, kTooLarge };

struct FileContents {
  FileState state = FileState::kMissing;
  std::string bytes;  // when kRead
};

// Reads the whole file at `path` (following symbolic links). Anything but a
// regular file (a directory, a FIFO, a device) is kUnreadable, and is never
// waited on; so is a file that cannot be opened or read. No file at all is
// kMissing. A file larger than `maxBytes` is kTooLarge: one whose size says
// so is not read at all, and reading stops at the first byte past the limit
// of one that grows meanwhile (or tells no size, as /proc files do).
FileContents ReadWholeFile(const std::string& path, std::size_t maxBytes);

// Makes `contents` the file's contents without ever leaving a truncated or
// half-written file behind: writes a new file beside it and renames it over
// the old one, keeping the old file's permissions. A symbolic link is followed
// to the real file rather than replaced. Where the folder refuses new files but
// the file itself may be written, the file is rewritten in place instead.
//
// Returns false, leaving the file as it was, when the file may not be written:
// it is not a regular file, it may not be written by us, or it carries no write
// permission for anyone (honoured even for root, as a read-only mark is meant),
// or neither a new file nor the old one can be written. A missing file is
// created, unless its folder refuses new files or is missing.
bool ReplaceFileContents(const std::string& path, std::string_view contents);

// A name for a new file in the same folder as `path`, hidden and unique to this
// process, so that renaming it over `path` later is atomic. The name is short
// whatever the length of `path`'s own name.
std::string TemporaryPathBeside(const std::string& path);

}  // namespace velmora
