#include "config/settings.h"

#include <sys/stat.h>
#include <unistd.h>

#include <stdexcept>
#include <vector>

#include "config/file_replace.h"
#include "config/ini_text.h"
#include "config/text.h"

namespace velmora {
namespace {

constexpr std::string_view kSettingsFileName = "Velmora.ini";

bool HoldsLineBreak(std::string_view text) {
  return text.find_first_of("\r\n") != text.npos;
}

}  // namespace

Settings::Settings(std::string programDirectory)
    : programDirectory_(WithoutTrailingSlashes(programDirectory)),
      iniPath_(programDirectory_ + "/" + std::string(kSettingsFileName)) {}

Settings::Settings(std::string programDirectory, std::string iniPath)
    : programDirectory_(WithoutTrailingSlashes(programDirectory)), iniPath_(std::move(iniPath)) {}

std::string Settings::DirectoryOfRunningExecutable() {
  std::vector<char> buffer(256);
  for (;;) {
    ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length < 0) return ".";
    if (static_cast<std::size_t>(length) < buffer.size()) {
      std::string executable(buffer.data(), static_cast<std::size_t>(length));
      return std::string(WithoutTrailingSlashes(executable.substr(0, executable.rfind('/') + 1)));
    }
    buffer.resize(buffer.size() * 2);
  }
}

bool Settings::SettingsFileExists() const {
  struct stat info;
  return ::stat(iniPath_.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::string Settings::ReadSetting(std::string_view section, std::string_view key,
                                  std::string_view defaultValue) const {
  FileContents file = ReadWholeFile(iniPath_);
  std::optional<std::string> value;
  if (file.state == FileState::kRead) value = FindIniValue(file.bytes, section, key);
  return std::string(TrimBlanks(value ? std::string_view(*value) : defaultValue));
}

std::optional<std::string> Settings::ReadUncutSetting(std::string_view section,
                                                      std::string_view key) const {
  FileContents file = ReadWholeFile(iniPath_);
  std::optional<std::string_view> value;
  if (file.state == FileState::kRead) value = FindWholeIniValue(file.bytes, section, key);
  if (value && value->size() > kMaxValueBytes) return std::nullopt;
  return std::string(TrimBlanks(value.value_or("")));
}

void Settings::WriteSetting(std::string_view section, std::string_view key,
                            std::string_view value) const {
  if (HoldsLineBreak(section) || HoldsLineBreak(key) || HoldsLineBreak(value)) {
    throw std::invalid_argument("a setting cannot hold a line break");
  }
  FileContents file = ReadWholeFile(iniPath_);
  if (file.state == FileState::kUnreadable ||
      !ReplaceFileContents(iniPath_, SetIniValue(file.bytes, section, key, value))) {
    throw SettingsWriteError("Unable to write to " + iniPath_);
  }
}

}  // namespace velmora
