#pragma once

#include <string>
#include <string_view>

#include "config/settings.h"
#include "support/temp_dir.h"

namespace velmora::test {

// The build's program folder, copied into a temporary folder whose path holds
// a blank and Chinese characters, as a user's might: Velmora.ini, tool/ with
// its scripts and debug keystore, velmora-run, velmora-merge and velmora-info. apktool's framework
// folder is left behind, so apktool fills tool/framework on first use as it does for a new user.
class ShippedProgram {
 public:
  ShippedProgram();

  // The program folder: %CurrentDir% of its settings file.
  const std::string& Directory() const { return directory_; }
  std::string VelmoraRun() const { return directory_ + "/velmora-run"; }
  std::string Keystore() const { return directory_ + "/tool/debug.keystore"; }

  // A folder beside the program folder, made on the way, for what a suite
  // shares.
  std::string FolderBeside(std::string_view name) const;

  // The shipped settings file in the program folder.
  Settings ShippedSettings() const { return Settings(directory_); }

  // A copy of the shipped settings file at `iniPath`, with the value of `key`
  // in `section` changed to `value`. %CurrentDir% stays the program folder, so
  // the copy still starts this folder's scripts.
  Settings ChangedSettings(const std::string& iniPath, std::string_view section,
                           std::string_view key, std::string_view value) const;

 private:
  TempDir root_;
  std::string directory_;
};

}  // namespace velmora::test
