#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <thread>

namespace velmora::test {

// Reads the command line of every process (/proc/PID/cmdline, which every user
// may read) over and over until Stop, as another user watching with ps would,
// and keeps each one seen, its arguments joined by blanks.
class CommandLineWatch {
 public:
  CommandLineWatch() : thread_([this] { Watch(); }) {}
  ~CommandLineWatch() { Stop(); }

  void Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }

  // The command lines seen that hold `part`.
  std::set<std::string> Holding(std::string_view part) {
    std::lock_guard lock(mutex_);
    std::set<std::string> found;
    for (const std::string& line : seen_) {
      if (line.find(part) != line.npos) found.insert(line);
    }
    return found;
  }

 private:
  void Watch() {
    for (; !stop_; std::this_thread::sleep_for(std::chrono::milliseconds(2))) {
      DIR* proc = ::opendir("/proc");
      while (const dirent* entry = ::readdir(proc)) {
        std::string line = CommandLineOf(std::string("/proc/") + entry->d_name + "/cmdline");
        std::lock_guard lock(mutex_);
        seen_.insert(std::move(line));
      }
      ::closedir(proc);
    }
  }

  // With read(2), not a stream: the read fails when the process ends meanwhile.
  static std::string CommandLineOf(const std::string& path) {
    std::string line;
    char buffer[4096];
    const int file = ::open(path.c_str(), O_RDONLY);
    for (ssize_t count; file >= 0 && (count = ::read(file, buffer, sizeof buffer)) > 0;) {
      line.append(buffer, static_cast<std::size_t>(count));
    }
    if (file >= 0) ::close(file);
    std::replace(line.begin(), line.end(), '\0', ' ');
    return line;
  }

  std::atomic<bool> stop_ = false;
  std::mutex mutex_;
  std::set<std::string> seen_;
  std::thread thread_;  // last: it starts on the members above
};

}  // namespace velmora::test
