#pragma once

#include <cstdio>
#include <string>

namespace velmora::bench {

inline constexpr std::size_t kLineBytes = 80;
inline constexpr std::size_t kWriteBytes = 4096;

// `bytes` bytes of numbered 80-character lines (79 characters and a line
// feed), as a chatty tool writes them; the numbers make a lost or misplaced
// piece show.
inline std::string LineStream(std::size_t bytes) {
  std::string stream;
  stream.reserve(bytes + kLineBytes);
  char line[kLineBytes + 1];
  for (std::size_t number = 0; stream.size() < bytes; ++number) {
    std::snprintf(line, sizeof line, "%-79.79s\n",
                  ("line " + std::to_string(number) +
                   " of tool output, padded to eighty "
                   "characters with text")
                      .c_str());
    stream.append(line, kLineBytes);
  }
  stream.resize(bytes);
  return stream;
}

}  // namespace velmora::bench
