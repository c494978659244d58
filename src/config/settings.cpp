#include "config/settings.h"

#include <sys/stat.h>
#include <unistd.h>

#include <stdexcept>
#include <vector>

#include "config/text.h"

namespace velmora {
namespace {

constexpr std::string_view kSettingsFileName = "Velmora.ini";

bool HoldsLineBreak(std::string_view text) {
  return text.find_first_of("\r\n") != text.npos;
}

// What a read gives for the value as written: at most kMaxValueBytes of it,
// or the default, trimmed.
std::string SettingOf(std::optional<std::string_view> whole, std::string_view defaultValue) {
  return std::string(TrimBlanks(whole ? whole->substr(0, kMaxValueBytes) : defaultValue));
}

bool IsCutValue(std::optional<std::string_view> whole) {
  return whole && whole->size() > kMaxValueBytes;
}

}  // namespace

std::string SettingsFileTooLargeMessage(std::string_view iniPath) {
  return "配置文件" + std::string(iniPath) + "超过" + std::to_string(kMaxSettingsFileBytes >> 20) +
         " MiB（" + std::to_string(kMaxSettingsFileBytes) + "字节）的大小上限，未读取，请检查";
}

std::string CutSettingMessage(std::string_view section, std::string_view key) {
  return "配置项 [" + std::string(section) + "] " + std::string(key) + " 超过" +
         std::to_string(kMaxValueBytes) + "字节被截断，请检查";
}

SettingsReading::SettingsReading(const std::string& iniPath)
    : file_(ReadWholeFile(iniPath, kMaxSettingsFileBytes)), text_(file_.bytes) {}

std::string SettingsReading::ReadSetting(std::string_view section, std::string_view key,
                                         std::string_view defaultValue) const {
  return SettingOf(text_.WholeValue(section, key), defaultValue);
}

bool SettingsReading::IsCut(std::string_view section, std::string_view key) const {
  return IsCutValue(text_.WholeValue(section, key));
}

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
  FileContents file = ReadWholeFile(iniPath_, kMaxSettingsFileBytes);
  return SettingOf(FindWholeIniValue(file.bytes, section, key), defaultValue);
}

std::optional<std::string> Settings::ReadUncutSetting(std::string_view section,
                                                      std::string_view key) const {
  FileContents file = ReadWholeFile(iniPath_, kMaxSettingsFileBytes);
  std::optional<std::string_view> value = FindWholeIniValue(file.bytes, section, key);
  if (IsCutValue(value)) return std::nullopt;
  return SettingOf(value, "");
}

void Settings::WriteSetting(std::string_view section, std::string_view key,
                            std::string_view value) const {
  if (HoldsLineBreak(section) || HoldsLineBreak(key) || HoldsLineBreak(value)) {
    throw std::invalid_argument("a setting cannot hold a line break");
  }
  // A file too large to read is not replaced by the one value either.
  FileContents file = ReadWholeFile(iniPath_, kMaxSettingsFileBytes);
  if (file.state == FileState::kUnreadable || file.state == FileState::kTooLarge ||
      !ReplaceFileContents(iniPath_, SetIniValue(file.bytes, section, key, value))) {
    throw SettingsWriteError("Unable to write to " + iniPath_);
  }
}

}  // namespace velmora
