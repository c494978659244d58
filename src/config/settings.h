#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace velmora {

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

  // The value of `key` in `section`, or `defaultValue` when the file, the
  // section or the key is missing (a key present with an empty value gives
  // the empty text). Names match without regard to ASCII case; one pair of
  // enclosing quotes is dropped; at most 2047 bytes are kept; the result is
  // trimmed of bytes 0-32 at both ends. Never fails.
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
