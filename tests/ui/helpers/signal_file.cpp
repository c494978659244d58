// A tool that a test steers through a file, so that a run lasts exactly until
// the test has done what it wanted to do meanwhile.
//   signal_file wait FILE    writes "waiting", then "done" once FILE exists
//                            ("gave up" after 30 s, so a broken test ends)
//   signal_file create FILE  creates FILE and writes "created"
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <thread>

namespace {

bool WriteLine(std::string_view text) {
  const std::string line = std::string(text) + "\n";
  return ::write(STDOUT_FILENO, line.data(), line.size()) == static_cast<ssize_t>(line.size());
}

int WaitFor(const std::filesystem::path& file) {
  using namespace std::chrono_literals;
  WriteLine("waiting");
  const auto giveUp = std::chrono::steady_clock::now() + 30s;
  while (!std::filesystem::exists(file)) {
    if (std::chrono::steady_clock::now() > giveUp) {
      WriteLine("gave up");
      return 1;
    }
    std::this_thread::sleep_for(5ms);
  }
  return WriteLine("done") ? 0 : 1;
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc != 3) {
    return 2;
  }
  const std::string_view mode = argv[1];
  if (mode == "wait") {
    return WaitFor(argv[2]);
  }
  if (mode == "create") {
    std::ofstream(argv[2]).put('x');
    return WriteLine("created") ? 0 : 1;
  }
  return 2;
}
