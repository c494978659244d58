#include "e2e/shipped_program.h"

#include <filesystem>

namespace velmora::test {
namespace {

namespace fs = std::filesystem;

const fs::path kBuildProgram = VELMORA_TEST_PROGRAM_DIR;

// Copies tool/ without apktool's framework folder, which the build's own
// program may have filled when someone used it.
void CopyToolFolder(const fs::path& from, const fs::path& to) {
  fs::create_directory(to);
  for (const fs::directory_entry& entry : fs::directory_iterator(from)) {
    if (entry.path().filename() == "framework") continue;
    fs::copy(entry.path(), to / entry.path().filename(), fs::copy_options::recursive);
  }
}

}  // namespace

ShippedProgram::ShippedProgram() : directory_(root_ / "程序 目录") {
  fs::create_directory(directory_);
  fs::copy_file(kBuildProgram / "Velmora.ini", directory_ + "/Velmora.ini");
  CopyToolFolder(kBuildProgram / "tool", directory_ + "/tool");
  fs::copy_file(VELMORA_RUN_PATH, VelmoraRun());
  fs::copy_file(VELMORA_MERGE_PATH, directory_ + "/velmora-merge");
  fs::copy_file(VELMORA_INFO_PATH, directory_ + "/velmora-info");
}

std::string ShippedProgram::FolderBeside(std::string_view name) const {
  const std::string folder = root_ / name;
  fs::create_directories(folder);
  return folder;
}

Settings ShippedProgram::ChangedSettings(const std::string& iniPath, std::string_view section,
                                         std::string_view key, std::string_view value) const {
  fs::copy_file(directory_ + "/Velmora.ini", iniPath, fs::copy_options::overwrite_existing);
  Settings settings(directory_, iniPath);
  settings.WriteSetting(section, key, value);
  return settings;
}

}  // namespace velmora::test
