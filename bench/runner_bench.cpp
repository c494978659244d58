// Measures the process runner against what the system does without it:
// - exit to return: from a tool's exit to RunCaptured returning, against
//   posix_spawn + waitpid of the same tool;
// - capture throughput: 256 MiB of output into a sink that discards it,
//   against cat copying the same bytes into /dev/null.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "exec/output_sink.h"
#include "exec/poll_run_events.h"
#include "exec/process_runner.h"

extern char** environ;

namespace {

constexpr int kExitSamples = 301;
constexpr int kThroughputRounds = 5;
constexpr long long kCaptureBytes = 256LL << 20;

long long NowNanoseconds() {
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return now.tv_sec * 1'000'000'000LL + now.tv_nsec;
}

double Median(std::vector<double> samples) {
  std::nth_element(samples.begin(), samples.begin() + samples.size() / 2, samples.end());
  return samples[samples.size() / 2];
}

class LastLineSink : public velmora::OutputSink {
 public:
  void AppendLine(std::string_view line) override { last = line; }
  std::string last;
};

class DiscardingSink : public velmora::OutputSink {
 public:
  void AppendLine(std::string_view line) override { bytes += line.size(); }
  void AppendToolText(std::string_view text) override { bytes += text.size(); }
  long long bytes = 0;
};

pid_t Spawn(const std::vector<std::string>& arguments, int input, int output) {
  posix_spawn_file_actions_t actions;
  ::posix_spawn_file_actions_init(&actions);
  if (input >= 0) {
    ::posix_spawn_file_actions_adddup2(&actions, input, STDIN_FILENO);
  }
  ::posix_spawn_file_actions_adddup2(&actions, output, STDOUT_FILENO);
  std::vector<char*> argv;
  for (const std::string& argument : arguments) {
    argv.push_back(const_cast<char*>(argument.c_str()));
  }
  argv.push_back(nullptr);
  pid_t pid = -1;
  ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  ::posix_spawn_file_actions_destroy(&actions);
  return pid;
}

void Reap(pid_t pid) {
  int status;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
}

double RunnerExitToReturnMicroseconds() {
  LastLineSink sink;
  velmora::PollRunEvents events;
  velmora::RunCaptured(VELMORA_BENCH_STAMP_EXIT, "", sink, events);
  const long long returned = NowNanoseconds();
  return static_cast<double>(returned - std::stoll(sink.last)) / 1000.0;
}

double SpawnExitToReturnMicroseconds() {
  int ends[2];
  ::pipe2(ends, O_CLOEXEC);
  const pid_t pid = Spawn({VELMORA_BENCH_STAMP_EXIT}, -1, ends[1]);
  Reap(pid);
  const long long returned = NowNanoseconds();
  ::close(ends[1]);
  char stamp[32] = {};
  ::read(ends[0], stamp, sizeof stamp - 1);
  ::close(ends[0]);
  return static_cast<double>(returned - std::stoll(stamp)) / 1000.0;
}

double MebibytesPerSecond(long long bytes, long long nanoseconds) {
  return static_cast<double>(bytes) / (1 << 20) / (static_cast<double>(nanoseconds) / 1e9);
}

double RunnerCaptureRate() {
  DiscardingSink sink;
  velmora::PollRunEvents events;
  const long long start = NowNanoseconds();
  velmora::RunCaptured(VELMORA_BENCH_FLOOD, std::to_string(kCaptureBytes) + " 65536 same", sink,
                       events);
  const long long elapsed = NowNanoseconds() - start;
  // The flood has no line break; the runner ends its one line with the run.
  if (sink.bytes != kCaptureBytes + 1) {
    std::fprintf(stderr, "captured %lld bytes instead of %lld\n", sink.bytes, kCaptureBytes + 1);
  }
  return MebibytesPerSecond(kCaptureBytes, elapsed);
}

double CatCaptureRate() {
  const int devNull = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  int ends[2];
  ::pipe2(ends, O_CLOEXEC);
  const long long start = NowNanoseconds();
  const pid_t flood =
      Spawn({VELMORA_BENCH_FLOOD, std::to_string(kCaptureBytes), "65536", "same"}, -1, ends[1]);
  const pid_t cat = Spawn({"cat"}, ends[0], devNull);
  ::close(ends[0]);
  ::close(ends[1]);
  Reap(flood);
  Reap(cat);
  const long long elapsed = NowNanoseconds() - start;
  ::close(devNull);
  return MebibytesPerSecond(kCaptureBytes, elapsed);
}

// Measures `ours` and `baseline` in turns, so both see the same machine load,
// and prints their medians and the ratio.
template <typename Measure, typename Baseline>
void Compare(const char* title, int rounds, Measure ours, const char* baselineName,
             Baseline baseline, const char* target) {
  std::vector<double> ourSamples;
  std::vector<double> baselineSamples;
  for (int round = 0; round < rounds; ++round) {
    ourSamples.push_back(ours());
    baselineSamples.push_back(baseline());
  }
  const double ourMedian = Median(ourSamples);
  const double baselineMedian = Median(baselineSamples);
  std::printf("%s, median of %d\n", title, rounds);
  std::printf("  %-24s %10.1f\n", "RunCaptured", ourMedian);
  std::printf("  %-24s %10.1f\n", baselineName, baselineMedian);
  std::printf("  %-24s %10.2f\n", "ratio", ourMedian / baselineMedian);
  std::printf("  target: %s\n", target);
}

}  // namespace

int main() {
  Compare("exit to return (microseconds)", kExitSamples, RunnerExitToReturnMicroseconds,
          "posix_spawn + waitpid", SpawnExitToReturnMicroseconds,
          "RunCaptured under 5000 microseconds");
  Compare("capture of 256 MiB (MiB/s)", kThroughputRounds, RunnerCaptureRate, "cat > /dev/null",
          CatCaptureRate, "ratio at least 0.50");
  return 0;
}
