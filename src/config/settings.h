#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "config/file_replace.h"
#include "config/ini_text.h"

namespace velmora {

// Settings files larger than this are refused without being read. The shipped
// file is 12 KB, and 50,000 sections of buttons take about 3 MiB; a file of
// gigabytes is a mistake, a device or a hostile download, and reading it
// whole would take the machine's memory.
inline constexpr std::size_t kMaxSettingsFileBytes = 16 * 1024 * 1024;

// The output line that refuses a settings file over kMaxSettingsFileBytes,
// naming the file and the limit.
std::string SettingsFileTooLargeMessage(std::string_view iniPath);

// The output line that refuses a value longer than kMaxValueBytes: what is
// read of it would be another path, password or command.
std::string CutSettingMessage(std::string_view section, std::string_view key);

// One reading of the settings file, for a caller that looks at many values at
// one moment (a listing, the start-up, the check of every value a run uses):
// the file is read and split once, and each value costs only the length of
// its section. Values follow the rules of Settings::ReadSetting.
class SettingsReading {
 public:
  explicit SettingsReading(const std::string& iniPath);
  SettingsReading(const SettingsReading&) = delete;
  SettingsReading& operator=(const SettingsReading&) = delete;

  // Settings::ReadSetting's value, from this reading.
  std::string ReadSetting(std::string_view section, std::string_view key,
                          std::string_view defaultValue) const;
  // Whether ReadSetting cuts the value: it is longer than kMaxValueBytes.
  bool IsCut(std::string_view section, std::string_view key) const;
  // Whether the file is larger than kMaxSettingsFileBytes, and so was not
  // read: every value reads as missing.
  bool TooLarge() const { return file_.state == FileState::kTooLarge; }
  // The names of the sections (IniText::SectionNames).
  const std::vector<std::string>& SectionNames() const { return text_.SectionNames(); }

 private:
  FileContents file_;
  IniText text_;
};

// Raised by WriteSetting when the settings file cannot be written. The window
// shows what() in a message box: "Unable to write to " + the settings path.
class SettingsWriteError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The program's settings file, Velmora.ini, in the program directory.
//
// Every read opens, reads and closes the file: nothing is cached, so an edit
// made while the program runs is seen by the next read. Values are UTF-8 text.
class Settings {
 public:
  // `programDirectory` is where the settings file lies (and the value of
  // %CurrentDir%); trailing "/" are removed.
  explicit Settings(std::string programDirectory);
  // As above, but the settings file is `iniPath` instead of the one in the
  // program directory.
  Settings(std::string programDirectory, std::string iniPath);
  virtual ~Settings() = default;

  // The directory of the running executable (read from /proc/self/exe) with
  // every trailing "/" removed, so an executable in "/" gives the empty text.
  static std::string DirectoryOfRunningExecutable();

  // The program directory, never ending with "/".
  const std::string& ResolveCurrentDir() const { return programDirectory_; }
  // The program directory followed by "/Velmora.ini" (or the path given).
  const std::string& IniPath() const { return iniPath_; }
  // Whether a regular file (not a directory) exists at IniPath(). Anything but
  // a regular file there (a folder, a FIFO, a device) reads as no file at all.
  bool SettingsFileExists() const;
  // The file read once, for many values at one moment. A file larger than
  // kMaxSettingsFileBytes is never read: every read gives its default, and
  // writes fail.
  SettingsReading ReadAll() const { return SettingsReading(iniPath_); }

  // The value of `key` in `section`, or `defaultValue` when the file, the
  // section or the key is missing (a key present with an empty value gives
  // the empty text). Names match without regard to ASCII case; one pair of
  // enclosing quotes is dropped; at most 2047 bytes are kept; the result is
  // trimmed of bytes 0-32 at both ends. A file too large to be read reads as
  // missing. Never fails.
  virtual std::string ReadSetting(std::string_view section, std::string_view key,
                                  std::string_view defaultValue) const;

  // ReadSetting(section, key, ""), or nothing when that would cut the value
  // because it is longer than 2047 bytes: one read of the file tells both.
  virtual std::optional<std::string> ReadUncutSetting(std::string_view section,
                                                      std::string_view key) const;

  // Stores one value, leaving every other byte of the file as it was, and
  // creating the key, the section or the file as needed. The file is replaced
  // atomically. Throws SettingsWriteError when the file cannot be written; the
  // file is then left untouched.
  virtual void WriteSetting(std::string_view section, std::string_view key,
                            std::string_view value) const;

 private:
  std::string programDirectory_;
  std::string iniPath_;
};

}  // namespace velmora
