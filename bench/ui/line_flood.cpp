// line_flood BYTES: writes BYTES bytes of 80-character lines to standard
// output in writes of 4 KB, as fast as the reader takes them.
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "line_pattern.h"

int main(int argc, char* argv[]) {
  if (argc != 2) {
    return 2;
  }
  const std::string stream = velmora::bench::LineStream(std::strtoull(argv[1], nullptr, 10));
  for (std::size_t at = 0; at < stream.size(); at += velmora::bench::kWriteBytes) {
    const std::size_t size = std::min(velmora::bench::kWriteBytes, stream.size() - at);
    if (::write(STDOUT_FILENO, stream.data() + at, size) != static_cast<ssize_t>(size)) {
      return 1;
    }
  }
  return 0;
}
