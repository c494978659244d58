#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <initializer_list>
#include <string>
#include <string_view>

#include "support/cached_package.h"

namespace velmora::test {

// Whether `name` is an executable file in one of the PATH directories.
inline bool IsOnPath(std::string_view name) {
  const char* path = std::getenv("PATH");
  std::string_view directories = path != nullptr ? path : "";
  while (!directories.empty()) {
    const std::size_t colon = directories.find(':');
    const std::string candidate =
        std::string(directories.substr(0, colon)) + "/" + std::string(name);
    if (::access(candidate.c_str(), X_OK) == 0) return true;
    directories.remove_prefix(colon == std::string_view::npos ? directories.size() : colon + 1);
  }
  return false;
}

// The names among `tools` that are not on PATH, separated by blanks.
inline std::string MissingTools(std::initializer_list<std::string_view> tools) {
  std::string missing;
  for (std::string_view tool : tools) {
    if (!IsOnPath(tool)) missing += (missing.empty() ? "" : " ") + std::string(tool);
  }
  return missing;
}

// CI installs every tool (scripts/setup), so there a missing one is a failure.
inline bool RunningUnderCi() {
  const char* ci = std::getenv("CI");
  return ci != nullptr && std::string_view(ci) == "true";
}

// Skips the current test when one of `tools` is missing, saying which, or fails
// it under CI. Call it from SetUp and return when the test is over:
//   RequireTools({"apktool"}); if (IsSkipped() || HasFailure()) return;
inline void RequireTools(std::initializer_list<std::string_view> tools) {
  const std::string missing = MissingTools(tools);
  if (missing.empty()) return;
  if (RunningUnderCi()) FAIL() << "CI installs every tool, but these are missing: " << missing;
  GTEST_SKIP() << "Skipped: these tools are missing (scripts/setup installs them): " << missing;
}

// Sets `path` to the real package `name`; when it is not in the cache, skips
// the current test (or fails it under CI, which fetches every package).
// Call it from the test and return when the test is over:
//   RequireCachedPackage(list, "server", apk); if (IsSkipped() || HasFailure()) return;
inline void RequireCachedPackage(const std::string& listFile, std::string_view name,
                                 std::string& path) {
  if (std::optional<std::string> cached = CachedPackage(listFile, name)) {
    path = *cached;
    return;
  }
  const std::string why = "the real package " + std::string(name) +
                          " is not in the cache (scripts/fetch-test-packages fetches it)";
  if (RunningUnderCi()) FAIL() << why;
  GTEST_SKIP() << "Skipped: " << why;
}

}  // namespace velmora::test
