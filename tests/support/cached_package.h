#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>

namespace velmora::test {

// Where scripts/fetch-test-packages keeps the real package `name` of the list
// `listFile` (real-packages.txt, as <SHA-256>.apk), or nothing when it is not
// there.
inline std::optional<std::string> CachedPackage(const std::string& listFile,
                                                std::string_view name) {
  const char* xdgCache = std::getenv("XDG_CACHE_HOME");
  const char* home = std::getenv("HOME");
  const std::string cache = xdgCache != nullptr && *xdgCache != '\0'
                                ? std::string(xdgCache)
                                : std::string(home != nullptr ? home : "") + "/.cache";
  std::ifstream list(listFile);
  for (std::string line; std::getline(list, line);) {
    std::istringstream fields(line);
    std::string entry, npmPackage, version, file, sha256;
    fields >> entry >> npmPackage >> version >> file >> sha256;
    if (entry != name) continue;
    const std::string path = cache + "/velmora/packages/" + sha256 + ".apk";
    if (std::filesystem::is_regular_file(path)) return path;
  }
  return std::nullopt;
}

}  // namespace velmora::test
