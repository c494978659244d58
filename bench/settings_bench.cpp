// How reading the settings file grows with its number of sections, on
// generated files of 500, 5,000 and 50,000 sections:
// - velmora-run --list, which looks at every section's keys;
// - velmora-run on the file's last section (a tool that does nothing), which
//   checks the section exists and reads the run's values;
// against reading the file's bytes and counting its lines, measured in the
// same run. Reading stays linear when each figure per section stays flat
// from one size to the next.
//   settings_bench [VELMORA_RUN]   (default: this build's velmora-run)
// A run that takes longer than two minutes is given up and shown as such.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "support/temp_dir.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kRounds = 3;
constexpr std::chrono::minutes kGiveUpAfter{2};

// A section as the shipped file has them, a little shorter.
std::string SettingsWithSections(int count) {
  std::string text = "[General]\nSignerType=0\n";
  for (int number = 1; number <= count; ++number) {
    const std::string n = std::to_string(number);
    text += "[UserDefine" + n + "]\nEnabled=true\nCaption=命令" + n + "\nComments=命令" + n +
            "\nSourceFileType=none\nDestFileType=none\nCommand=/bin/true\n";
  }
  return text;
}

double Seconds(Clock::duration elapsed) {
  return std::chrono::duration<double>(elapsed).count();
}

// Reading the bytes and counting the lines: the least any reader does.
double BaselineSeconds(const std::string& path) {
  double best = 1e9;
  for (int round = 0; round < kRounds; ++round) {
    const auto start = Clock::now();
    std::ifstream in(path, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), {}};
    volatile auto lines = std::count(bytes.begin(), bytes.end(), '\n');
    (void)lines;
    best = std::min(best, Seconds(Clock::now() - start));
  }
  return best;
}

// The wall time of one run of `arguments`, output discarded; nothing when it
// had to be given up.
std::optional<double> RunSeconds(const std::vector<std::string>& arguments) {
  posix_spawn_file_actions_t actions;
  ::posix_spawn_file_actions_init(&actions);
  ::posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  const auto start = Clock::now();
  pid_t pid = -1;
  const int error = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  ::posix_spawn_file_actions_destroy(&actions);
  if (error != 0) return std::nullopt;
  const int ended = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
  pollfd end{ended, POLLIN, 0};
  const bool inTime =
      ::poll(&end, 1, static_cast<int>(std::chrono::milliseconds(kGiveUpAfter).count())) == 1;
  const double seconds = Seconds(Clock::now() - start);
  if (!inTime) ::kill(pid, SIGKILL);
  ::waitpid(pid, nullptr, 0);
  ::close(ended);
  if (!inTime) return std::nullopt;
  return seconds;
}

std::optional<double> BestRunSeconds(const std::vector<std::string>& arguments) {
  std::optional<double> best;
  for (int round = 0; round < kRounds; ++round) {
    const std::optional<double> seconds = RunSeconds(arguments);
    if (!seconds) return std::nullopt;
    best = std::min(best.value_or(*seconds), *seconds);
  }
  return best;
}

std::string Figure(std::optional<double> seconds, int sections) {
  if (!seconds) return "gave up after 120 s";
  char text[64];
  std::snprintf(text, sizeof text, "%9.1f ms (%6.2f µs/section)", *seconds * 1e3,
                *seconds * 1e6 / sections);
  return text;
}

}  // namespace

int main(int argc, char* argv[]) {
  const std::string velmoraRun = argc > 1 ? argv[1] : VELMORA_BENCH_VELMORA_RUN;
  std::printf("%-9s %-9s %-34s %-34s %s\n", "sections", "file", "read bytes + count lines",
              "velmora-run --list", "velmora-run on the last section");
  for (const int sections : {500, 5000, 50000}) {
    velmora::test::TempDir dir;
    const std::string ini = dir.Write("Velmora.ini", SettingsWithSections(sections));
    const std::string last = "UserDefine" + std::to_string(sections);
    char size[32];
    std::snprintf(size, sizeof size, "%.1f MB",
                  static_cast<double>(std::filesystem::file_size(ini)) / 1e6);
    std::printf("%-9d %-9s %-34s %-34s %s\n", sections, size,
                Figure(BaselineSeconds(ini), sections).c_str(),
                Figure(BestRunSeconds({velmoraRun, "--ini", ini, "--list"}), sections).c_str(),
                Figure(BestRunSeconds({velmoraRun, "--ini", ini, last}), sections).c_str());
    std::fflush(stdout);
  }
  return 0;
}
