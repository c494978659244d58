#pragma once

#include <sys/types.h>
#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "exec/output_sink.h"
#include "exec/poll_run_events.h"
#include "exec/run_events.h"
#include "support/scoped_environment.h"
#include "support/temp_dir.h"

namespace velmora::test {

// The small programs built beside the tests (print_args, write_bytes, flood...).
inline std::string Helper(std::string_view name) {
  return std::string(VELMORA_TEST_HELPERS) + "/" + std::string(name);
}

// Records the lines, the tool's among them once each is complete, and the
// tool's text as it came.
class RecordingSink : public OutputSink {
 public:
  void AppendLine(std::string_view line) override { lines.emplace_back(line); }
  void AppendToolText(std::string_view piece) override {
    text += piece;
    OutputSink::AppendToolText(piece);
  }

  std::string Joined() const {
    std::string all;
    for (const std::string& line : lines) {
      all += line;
    }
    return all;
  }

  std::vector<std::string> lines;
  std::string text;
};

// Waits as long as it takes for output or the child's end and counts the waits
// that ran out instead: a run that notices its child's end by the timeout shows
// up here, not as a slow test.
class WatchfulEvents : public RunEvents {
 public:
  void ProcessPendingEvents() override { ++processed; }
  void WaitForActivity(int outputFd, int childFd, std::chrono::milliseconds) override {
    if (!PollForActivity(outputFd, childFd, std::chrono::minutes(1))) {
      ++waitsThatRanOut;
    }
  }

  int processed = 0;
  int waitsThatRanOut = 0;
};

// Returns from every wait at once, as an implementation woken by anything at all
// might.
class ImpatientEvents : public RunEvents {
 public:
  void ProcessPendingEvents() override {}
  void WaitForActivity(int, int, std::chrono::milliseconds) override {}
};

// True when this process has no child at all, running or ended and unreaped.
inline bool HasNoChildren() {
  siginfo_t info{};
  return ::waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) != 0 && errno == ECHILD;
}

// Writes `text` into a new file with the given permissions.
inline void WriteFile(const std::string& path, std::string_view text,
                      std::filesystem::perms permissions) {
  std::ofstream(path, std::ios::binary) << text;
  std::filesystem::permissions(path, permissions);
}

}  // namespace velmora::test
