#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "config/settings.h"
#include "support/temp_dir.h"

namespace velmora {
namespace {

using test::TempDir;

struct WriteCase {
  const char* name;
  std::string before;
  const char* section;
  const char* key;
  const char* value;
  std::string after;
};

class WriteSettingRule : public ::testing::TestWithParam<WriteCase> {};

TEST_P(WriteSettingRule, ChangesOnlyTheOneValue) {
  const WriteCase& c = GetParam();
  TempDir dir;
  dir.Write("Velmora.ini", c.before);
  Settings settings(dir.path());
  settings.WriteSetting(c.section, c.key, c.value);
  EXPECT_EQ(dir.Read("Velmora.ini"), c.after);
  EXPECT_EQ(settings.ReadSetting(c.section, c.key, "default"), c.value);
}

INSTANTIATE_TEST_SUITE_P(
    PreservesEveryOtherByte, WriteSettingRule,
    ::testing::Values(
        WriteCase{"replaces_a_value", "[General]\nSignerType=0\n", "General", "SignerType", "2",
                  "[General]\nSignerType=2\n"},
        WriteCase{
            "keeps_crlf_comments_and_other_sections",
            "; settings\r\n[Decompile]\r\nComments=反编译\r\n\r\n[General]\r\nJAVA_HOME=/j\r\n"
            "SignerType=0\r\n; trailing comment\r\n",
            "General", "SignerType", "1",
            "; settings\r\n[Decompile]\r\nComments=反编译\r\n\r\n[General]\r\nJAVA_HOME=/j\r\n"
            "SignerType=1\r\n; trailing comment\r\n"},
        WriteCase{"keeps_byte_order_mark_and_key_spelling",
                  "\xEF\xBB\xBF[general]\nsignertype = \"0\"\n", "General", "SignerType", "2",
                  "\xEF\xBB\xBF[general]\nsignertype = 2\n"},
        WriteCase{"keeps_odd_spacing_before_the_value", "  [ General ]\n\t SignerType\t=\t 0  \n",
                  "General", "SignerType", "1", "  [ General ]\n\t SignerType\t=\t 1\n"},
        WriteCase{"changes_only_the_first_key_of_a_name", "[G]\nK=1\nK=2\n", "G", "K", "3",
                  "[G]\nK=3\nK=2\n"},
        WriteCase{"keeps_bytes_of_another_encoding", "[A]\nX=\xB7\xB4\xB1\xE0\xD2\xEB\n[G]\nK=1\n",
                  "G", "K", "2", "[A]\nX=\xB7\xB4\xB1\xE0\xD2\xEB\n[G]\nK=2\n"},
        WriteCase{"adds_a_missing_key_after_the_last_line_of_its_section",
                  "[General]\nJAVA_HOME=/j\n\n[Other]\nA=1\n", "General", "SignerType", "1",
                  "[General]\nJAVA_HOME=/j\nSignerType=1\n\n[Other]\nA=1\n"},
        WriteCase{"adds_a_missing_key_with_the_files_line_ending", "[General]\r\nA=1\r\n",
                  "General", "SignerType", "1", "[General]\r\nA=1\r\nSignerType=1\r\n"},
        WriteCase{"adds_a_key_to_a_last_line_without_line_break", "[General]\nA=1", "General",
                  "SignerType", "1", "[General]\nA=1\nSignerType=1\n"},
        WriteCase{"adds_a_missing_section_at_the_end", "[Other]\nA=1\n", "General", "SignerType",
                  "2", "[Other]\nA=1\n\n[General]\nSignerType=2\n"},
        WriteCase{"adds_a_section_after_a_file_without_final_line_break", "[Other]\r\nA=1",
                  "General", "SignerType", "2",
                  "[Other]\r\nA=1\r\n\r\n[General]\r\nSignerType=2\r\n"},
        WriteCase{"fills_an_empty_file", "", "General", "SignerType", "0",
                  "[General]\nSignerType=0\n"}),
    [](const ::testing::TestParamInfo<WriteCase>& info) { return std::string(info.param.name); });

std::string ListDirectory(const std::string& path) {
  std::string names;
  for (const auto& entry : std::filesystem::directory_iterator(path)) {
    names += entry.path().filename().string() + ";";
  }
  return names;
}

TEST(WriteSetting, CreatesAMissingFileWithJustThatSectionAndKey) {
  TempDir dir;
  Settings settings(dir.path());
  settings.WriteSetting("General", "SignerType", "1");
  EXPECT_EQ(dir.Read("Velmora.ini"), "[General]\nSignerType=1\n");
  EXPECT_EQ(ListDirectory(dir.path()), "Velmora.ini;");
}

TEST(WriteSetting, ReplacesTheFileWholeKeepingItsPermissionsAndLeavingNoTemporary) {
  TempDir dir;
  std::string ini = dir.Write("Velmora.ini", "[General]\nSignerType=0\n");
  ::chmod(ini.c_str(), 0640);
  struct stat before;
  ::stat(ini.c_str(), &before);

  Settings(dir.path()).WriteSetting("General", "SignerType", "2");

  struct stat after;
  ::stat(ini.c_str(), &after);
  EXPECT_NE(before.st_ino, after.st_ino) << "a new file was renamed over the old one";
  EXPECT_EQ(after.st_mode & 07777, 0640u);
  EXPECT_EQ(ListDirectory(dir.path()), "Velmora.ini;");
}

TEST(WriteSetting, FollowsASymbolicLinkToTheRealFile) {
  TempDir dir;
  std::string real = dir.Write("real/settings.ini", "[General]\nSignerType=0\n");
  std::filesystem::create_directory(dir / "program");
  std::filesystem::create_symlink("../real/settings.ini", dir / "program/Velmora.ini");

  Settings(dir / "program").WriteSetting("General", "SignerType", "1");

  EXPECT_TRUE(std::filesystem::is_symlink(dir / "program/Velmora.ini"));
  EXPECT_EQ(TempDir::ReadFile(real), "[General]\nSignerType=1\n");
}

TEST(WriteSetting, RefusesAReadOnlyFileAndLeavesItUntouched) {
  TempDir dir;
  std::string ini = dir.Write("Velmora.ini", "[General]\nSignerType=0\n");
  ::chmod(ini.c_str(), 0444);
  Settings settings(dir.path());
  try {
    settings.WriteSetting("General", "SignerType", "2");
    FAIL() << "the write went through";
  } catch (const SettingsWriteError& error) {
    EXPECT_EQ(std::string(error.what()), "Unable to write to " + ini);
  }
  EXPECT_EQ(dir.Read("Velmora.ini"), "[General]\nSignerType=0\n");
  EXPECT_EQ(ListDirectory(dir.path()), "Velmora.ini;");
}

TEST(WriteSetting, RefusesAMissingFolderAndAReadOnlyFolderWithoutTheFile) {
  TempDir dir;
  Settings missingFolder(dir / "nowhere");
  EXPECT_THROW(missingFolder.WriteSetting("General", "SignerType", "1"), SettingsWriteError);

  std::filesystem::create_directory(dir / "readonly");
  ::chmod((dir / "readonly").c_str(), 0555);
  Settings readOnlyFolder(dir / "readonly");
  EXPECT_THROW(readOnlyFolder.WriteSetting("General", "SignerType", "1"), SettingsWriteError);
  EXPECT_FALSE(std::filesystem::exists(dir / "readonly/Velmora.ini"));
}

TEST(WriteSetting, RewritesInPlaceWhenOnlyTheFolderIsReadOnly) {
  TempDir dir;
  std::string ini = dir.Write("program/Velmora.ini", "[General]\nSignerType=0\nJAVA_HOME=/j\n");
  ::chmod((dir / "program").c_str(), 0555);

  Settings(dir / "program").WriteSetting("General", "SignerType", "1");

  EXPECT_EQ(TempDir::ReadFile(ini), "[General]\nSignerType=1\nJAVA_HOME=/j\n");
}

TEST(WriteSetting, RefusesADirectoryInPlaceOfTheFile) {
  TempDir dir;
  std::filesystem::create_directory(dir / "Velmora.ini");
  EXPECT_THROW(Settings(dir.path()).WriteSetting("General", "SignerType", "1"), SettingsWriteError);
  EXPECT_TRUE(std::filesystem::is_directory(dir / "Velmora.ini"));
}

// Were the one value written into what could be read of such a file (nothing),
// the rest of it would be lost.
TEST(WriteSetting, RefusesAFileTooLargeToReadAndLeavesItWhole) {
  TempDir dir;
  std::string ini = dir.Write("Velmora.ini", "[General]\nSignerType=1\n");
  std::filesystem::resize_file(ini, kMaxSettingsFileBytes + 1);
  Settings settings(dir.path());

  EXPECT_TRUE(settings.ReadAll().TooLarge());
  EXPECT_EQ(settings.ReadSetting("General", "SignerType", "0"), "0");
  EXPECT_THROW(settings.WriteSetting("General", "SignerType", "2"), SettingsWriteError);
  EXPECT_EQ(std::filesystem::file_size(ini), kMaxSettingsFileBytes + 1);
  EXPECT_TRUE(dir.Read("Velmora.ini").starts_with("[General]\nSignerType=1\n"));
}

TEST(WriteSetting, RefusesLineBreaksThatWouldAddLines) {
  TempDir dir;
  dir.Write("Velmora.ini", "[General]\nSignerType=0\n");
  Settings settings(dir.path());
  EXPECT_THROW(settings.WriteSetting("General", "SignerType", "1\n[Evil]"), std::invalid_argument);
  EXPECT_EQ(dir.Read("Velmora.ini"), "[General]\nSignerType=0\n");
}

}  // namespace
}  // namespace velmora
