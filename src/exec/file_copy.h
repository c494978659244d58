#pragma once

#include <string>

namespace velmora {

enum class CopyResult {
  kFailed,               // nothing was copied
  kCreatedDestination,   // there was nothing at the destination before
  kReplacedDestination,  // the copy took the place of an existing file
};

// Copies the regular file `source` to `destination`, replacing what is there,
// without ever destroying data: the copy is written beside the destination and
// renamed over it, so a failure (a full disk, no permission) leaves the
// destination as it was. Fails, copying nothing, when the source is not a
// regular file (a FIFO is never waited on), when the destination is a folder,
// or when source and destination are the same file.
CopyResult CopyFileReplacing(const std::string& source, const std::string& destination);

}  // namespace velmora
