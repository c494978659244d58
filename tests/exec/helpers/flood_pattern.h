#pragma once

#include <cstdio>
#include <string>

namespace velmora::test {

// The bytes flood writes: numbered records "000000000000042," so that a lost,
// doubled or misplaced chunk shows; no NUL, CR or LF, so a chunk's line is all
// of its bytes.
inline constexpr std::size_t kFloodRecordSize = 16;

inline std::string FloodRecord(std::size_t index) {
  char record[kFloodRecordSize + 1];
  std::snprintf(record, sizeof record, "%015zu,", index);
  return std::string(record, kFloodRecordSize);
}

// The first `size` bytes of the pattern, which starts at record `first`.
inline std::string FloodBytes(std::size_t size, std::size_t first = 0) {
  std::string bytes;
  bytes.reserve(size + kFloodRecordSize);
  for (std::size_t index = first; bytes.size() < size; ++index) {
    bytes += FloodRecord(index);
  }
  bytes.resize(size);
  return bytes;
}

}  // namespace velmora::test
