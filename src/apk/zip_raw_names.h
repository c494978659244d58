#pragma once

#include <optional>
#include <string>
#include <vector>

namespace velmora::apk {

// The entry names of the ZIP archive open on `fd`, byte for byte as its
// central directory records them, in the directory's order; nothing when the
// directory cannot be found or walked.
//
// libzip hands names out as C strings and turns each NUL byte of a name into a
// blank on the way, so a name with a NUL in it, which no real archive holds,
// would pass for another. No ZIP library gives the names as they are, so this
// small reader of the end record and the directory's fixed-size headers does;
// it reads through pread and leaves the descriptor's offset alone.
std::optional<std::vector<std::string>> ReadRawEntryNames(int fd);

}  // namespace velmora::apk
