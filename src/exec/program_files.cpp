#include "exec/program_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string_view>

#include "config/unique_fd.h"

namespace velmora {
namespace {

std::string SearchPath() {
  if (const char* path = std::getenv("PATH")) {
    return path;
  }
  std::string fallback(::confstr(_CS_PATH, nullptr, 0), '\0');
  ::confstr(_CS_PATH, fallback.data(), fallback.size());
  fallback.pop_back();
  return fallback;
}

// An empty directory in PATH stands for the current directory.
std::string JoinSearchDirectory(std::string_view directory, const std::string& name) {
  if (directory.empty()) {
    return name;
  }
  std::string joined(directory);
  joined += '/';
  joined += name;
  return joined;
}

}  // namespace

bool IsRegularFile(const std::string& path) {
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

bool IsExistingDirectory(const std::string& path) {
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

bool NameTheSameFile(const std::string& a, const std::string& b) {
  std::error_code missing;
  return std::filesystem::equivalent(a, b, missing);
}

bool IsExecutableFile(const std::string& path) {
  return IsRegularFile(path) && ::access(path.c_str(), X_OK) == 0;
}

bool IsProgramFile(const std::string& path) {
  if (!IsExecutableFile(path)) {
    return false;
  }
  // Not waiting on a FIFO put there in the meantime.
  const UniqueFd file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  char start[4] = {};
  ssize_t size = -1;
  while (file.IsOpen() && (size = ::read(file.Get(), start, sizeof start)) < 0 && errno == EINTR) {
  }
  const std::string_view magic(start, size > 0 ? static_cast<std::size_t>(size) : 0);
  return magic ==
             "\x7f"
             "ELF" ||
         magic.starts_with("#!");
}

std::vector<std::string> SearchPathCandidates(const std::string& name) {
  const std::string directories = SearchPath();
  std::vector<std::string> candidates;
  std::string_view rest = directories;
  while (true) {
    const std::size_t colon = rest.find(':');
    candidates.push_back(JoinSearchDirectory(rest.substr(0, colon), name));
    if (colon == std::string_view::npos) {
      return candidates;
    }
    rest.remove_prefix(colon + 1);
  }
}

std::string FindOnPath(const std::string& name) {
  for (std::string& candidate : SearchPathCandidates(name)) {
    if (IsExecutableFile(candidate)) {
      return candidate;
    }
  }
  return {};
}

}  // namespace velmora
