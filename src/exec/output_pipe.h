#pragma once

#include <cstddef>
#include <span>

#include "config/unique_fd.h"

namespace velmora {

// The pipe a child writes its output into. Both ends are close-on-exec and
// above the standard descriptors, so neither leaks into any child nor is
// overwritten when a child's standard descriptors are set up; the read end
// never blocks.
struct OutputPipe {
  UniqueFd readEnd;
  UniqueFd writeEnd;
  int error = 0;  // errno of the failed step; 0 when the pipe is open
};

OutputPipe OpenOutputPipe();

// Keeps `fd` off the standard descriptors: a process started with one of them
// closed gets that number back for its next descriptor, which a child's own
// 0-2 would then overwrite. Moves it (close-on-exec) when needed; returns the
// errno of a failure, 0 otherwise.
int MoveAboveStandardDescriptors(UniqueFd& fd);

// Reads what is waiting, at most `buffer.size()` bytes, without blocking.
// Returns how many bytes were read: 0 when nothing is waiting or the read
// failed.
std::size_t ReadWaiting(int fd, std::span<char> buffer);

// How many bytes are waiting in the pipe now; 0 when that cannot be learned.
std::size_t BytesWaiting(int fd);

}  // namespace velmora
