// write_stream SEED: writes the tool stream of SEED (tool_stream.h) in writes
// of random sizes, many of them a few bytes (so characters are cut between
// writes), some followed by a pause.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "tool_stream.h"

int main(int argc, char* argv[]) {
  if (argc != 2) return 2;
  const unsigned seed = static_cast<unsigned>(std::strtoul(argv[1], nullptr, 10));
  const std::string bytes = velmora::test::MakeToolStream(seed).bytes;
  std::mt19937 random(seed);
  const auto pick = [&random](int from, int to) {
    return std::uniform_int_distribution<int>(from, to)(random);
  };
  for (std::size_t at = 0; at < bytes.size();) {
    const std::size_t size =
        std::min<std::size_t>(pick(0, 1) == 0 ? pick(1, 7) : pick(1, 9000), bytes.size() - at);
    if (::write(STDOUT_FILENO, bytes.data() + at, size) != static_cast<ssize_t>(size)) return 1;
    at += size;
    if (pick(0, 7) == 0) std::this_thread::sleep_for(std::chrono::milliseconds(pick(1, 15)));
  }
  return 0;
}
