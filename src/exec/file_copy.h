#pragma once

#include <string>

namespace velmora {

// Copies the regular file `source` to `destination`, replacing what is there,
// without ever destroying data: the copy is written beside the destination and
// renamed over it, so a failure (a full disk, no permission) leaves the
// destination as it was. Returns false, copying nothing, when the source is not
// a regular file or when source and destination are the same file.
bool CopyFileReplacing(const std::string& source, const std::string& destination);

}  // namespace velmora
