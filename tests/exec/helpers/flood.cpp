// flood SIZE WRITE_SIZE [same]: writes SIZE bytes of the flood pattern in
// writes of WRITE_SIZE bytes. With "same", every write repeats the first
// block, so the writer costs nothing next to the reader.
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <string_view>

#include "flood_pattern.h"

int main(int argc, char* argv[]) {
  if (argc < 3) {
    return 2;
  }
  const std::size_t total = std::strtoull(argv[1], nullptr, 10);
  const std::size_t writeSize = std::strtoull(argv[2], nullptr, 10);
  const bool same = argc > 3 && std::string_view(argv[3]) == "same";
  if (writeSize == 0 || writeSize % velmora::test::kFloodRecordSize != 0) {
    return 2;
  }
  std::string block = velmora::test::FloodBytes(writeSize);
  for (std::size_t written = 0; written < total; written += block.size()) {
    if (!same) {
      block = velmora::test::FloodBytes(writeSize, written / velmora::test::kFloodRecordSize);
    }
    const std::size_t size = std::min(block.size(), total - written);
    if (::write(STDOUT_FILENO, block.data(), size) != static_cast<ssize_t>(size)) {
      return 1;
    }
  }
  return 0;
}
