#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <string>

#include "config/ini_text.h"
#include "config/settings.h"
#include "support/temp_dir.h"

namespace velmora {
namespace {

using test::TempDir;

struct ReadCase {
  const char* name;
  std::string file;
  const char* section;
  const char* key;
  const char* defaultValue;
  std::string expected;
};

class ReadSettingRule : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ReadSettingRule, GivesTheExpectedValue) {
  const ReadCase& c = GetParam();
  TempDir dir;
  dir.Write("Velmora.ini", c.file);
  Settings settings(dir.path());
  EXPECT_EQ(settings.ReadSetting(c.section, c.key, c.defaultValue), c.expected);
}

const std::string kLongValue(3000, 'v');

INSTANTIATE_TEST_SUITE_P(
    MatchingRules, ReadSettingRule,
    ::testing::Values(
        ReadCase{"plain_value", "[General]\nSignerType=1\n", "General", "SignerType", "0", "1"},
        ReadCase{"section_and_key_in_another_case", "[general]\nsignertype=2\n", "General",
                 "SignerType", "0", "2"},
        ReadCase{"blanks_around_names_and_values", "  [ General ]  \n  SignerType  =   1  \n",
                 "General", "SignerType", "0", "1"},
        ReadCase{"keyword_with_blanks_reads_bare", "[S]\nCopyFile=   true \t\n", "S", "CopyFile",
                 "", "true"},
        ReadCase{"missing_key_gives_default", "[General]\nOther=1\n", "General", "SignerType",
                 " 0 ", "0"},
        ReadCase{"missing_section_gives_default", "[Other]\nSignerType=1\n", "General",
                 "SignerType", "0", "0"},
        ReadCase{"present_empty_value_is_not_default", "[General]\nSignerType=\n", "General",
                 "SignerType", "0", ""},
        ReadCase{"first_key_of_a_name_wins", "[S]\nKey=first\nkey=second\n", "S", "Key", "",
                 "first"},
        ReadCase{"first_section_of_a_name_wins", "[S]\nA=1\n[s]\nA=2\nB=3\n", "S", "B", "none",
                 "none"},
        ReadCase{"line_without_equals_is_ignored", "[S]\nKey\nKey=value\n", "S", "Key", "",
                 "value"},
        ReadCase{"keys_before_any_section_belong_to_none", "Key=early\n[S]\n", "S", "Key", "d",
                 "d"},
        ReadCase{"double_quotes_dropped", "[S]\nKey=\"a b\"\n", "S", "Key", "", "a b"},
        ReadCase{"single_quotes_dropped", "[S]\nKey='a b'\n", "S", "Key", "", "a b"},
        ReadCase{"only_one_pair_of_quotes_dropped", "[S]\nKey=\"\"x\"\"\n", "S", "Key", "",
                 "\"x\""},
        ReadCase{"mismatched_quotes_kept", "[S]\nKey=\"a'\n", "S", "Key", "", "\"a'"},
        ReadCase{"blanks_inside_quotes_trimmed_after", "[S]\nKey=\" a \"\n", "S", "Key", "", "a"},
        ReadCase{"value_cut_at_2047_bytes", "[S]\nKey=" + kLongValue + "\n", "S", "Key", "",
                 std::string(2047, 'v')},
        ReadCase{"semicolon_inside_value_kept", "[S]\nKey=a;b ; c\n", "S", "Key", "", "a;b ; c"},
        ReadCase{"comment_lines_ignored", "; a comment\n[S]\n; Key=commented\nKey=real\n", "S",
                 "Key", "", "real"},
        ReadCase{"equals_inside_value_kept", "[S]\nCommandLine=-Dx=y\n", "S", "CommandLine", "",
                 "-Dx=y"},
        ReadCase{"crlf_file_reads_like_lf", "[S]\r\nKey=value\r\nOther=2\r\n", "S", "Key", "",
                 "value"},
        ReadCase{"byte_order_mark_skipped", "\xEF\xBB\xBF[General]\nSignerType=2\n", "General",
                 "SignerType", "0", "2"},
        ReadCase{"utf8_text_survives_trimming", "[S]\nComments=反编译\n", "S", "Comments", "",
                 "反编译"},
        ReadCase{"header_without_bracket_names_rest_of_line", "[S\nKey=v\n", "S", "Key", "", "v"},
        ReadCase{"no_final_line_break", "[S]\nKey=v", "S", "Key", "", "v"},
        ReadCase{"nul_bytes_do_not_stop_the_reader", std::string("[A]\nX=1\0\0\n[S]\nKey=v\n", 20),
                 "S", "Key", "", "v"},
        ReadCase{"control_bytes_trimmed", "[S]\nKey=\x01\x1Fvalue\x7F\x02\n", "S", "Key", "",
                 "value\x7F"}),
    [](const ::testing::TestParamInfo<ReadCase>& info) { return std::string(info.param.name); });

TEST(ReadSetting, GivesTheDefaultWhenTheFileIsMissingOrIsADirectory) {
  TempDir dir;
  Settings settings(dir.path());
  EXPECT_EQ(settings.ReadSetting("General", "SignerType", "0"), "0");
  EXPECT_FALSE(settings.SettingsFileExists());

  std::filesystem::create_directory(dir / "Velmora.ini");
  EXPECT_EQ(settings.ReadSetting("General", "SignerType", "0"), "0");
  EXPECT_FALSE(settings.SettingsFileExists());
}

// A FIFO put in the file's place would make a blocking open wait for a writer
// for ever; the watchdog's writer releases a read that waits, so a failure
// shows as a failure, not as a hung suite.
TEST(ReadSetting, NeverWaitsOnAFifoInThePlaceOfTheFile) {
  TempDir dir;
  Settings settings(dir.path());
  ASSERT_EQ(::mkfifo(settings.IniPath().c_str(), 0600), 0);
  auto reads = std::async(std::launch::async, [&settings] {
    return settings.ReadSetting("General", "SignerType", "0");
  });
  if (reads.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
    int releaser = ::open(settings.IniPath().c_str(), O_WRONLY | O_NONBLOCK);
    ::close(releaser);
    FAIL() << "reading the settings waited on a FIFO";
  }
  EXPECT_EQ(reads.get(), "0");
  EXPECT_FALSE(settings.SettingsFileExists());
  EXPECT_THROW(settings.WriteSetting("General", "SignerType", "1"), SettingsWriteError);
}

TEST(ReadSetting, SurvivesGarbageAndHugeLines) {
  TempDir dir;
  Settings settings(dir.path());
  std::string garbage;
  for (int i = 0; i < 100000; ++i) garbage.push_back(static_cast<char>((i * 7919) % 256));
  dir.Write("Velmora.ini", garbage + "\n[S]\nKey=after garbage\n");
  EXPECT_EQ(settings.ReadSetting("S", "Key", ""), "after garbage");

  dir.Write("Velmora.ini", "[S]\nHuge=" + std::string(10 << 20, 'x') + "\nKey=v\n");
  EXPECT_EQ(settings.ReadSetting("S", "Huge", "").size(), 2047u);
  EXPECT_EQ(settings.ReadSetting("S", "Key", ""), "v");
}

TEST(ReadSetting, SeesAnEditMadeBetweenTwoReads) {
  TempDir dir;
  Settings settings(dir.path());
  dir.Write("Velmora.ini", "[Compile]\nCommandLine=first\n");
  EXPECT_EQ(settings.ReadSetting("Compile", "CommandLine", ""), "first");
  dir.Write("Velmora.ini", "[Compile]\nCommandLine=second\n");
  EXPECT_EQ(settings.ReadSetting("Compile", "CommandLine", ""), "second");
}

TEST(IniSectionNames, ListsEachSectionOnceInTheOrderOfTheFile) {
  EXPECT_EQ(IniSectionNames("\xEF\xBB\xBF[General]\nA=1\n; [Comment]\n[Decompile]\n[general]\n"
                            "  [ UserDefine1 ]\n[Broken\n"),
            (std::vector<std::string>{"General", "Decompile", "UserDefine1", "Broken"}));
}

TEST(SettingsPaths, DropTrailingSlashesOfTheProgramDirectory) {
  Settings settings("/opt/velmora///");
  EXPECT_EQ(settings.ResolveCurrentDir(), "/opt/velmora");
  EXPECT_EQ(settings.IniPath(), "/opt/velmora/Velmora.ini");

  Settings atRoot("/");
  EXPECT_EQ(atRoot.ResolveCurrentDir(), "");
  EXPECT_EQ(atRoot.IniPath(), "/Velmora.ini");
}

TEST(SettingsPaths, ProgramDirectoryIsWhereThisExecutableLies) {
  std::string directory = Settings::DirectoryOfRunningExecutable();
  std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
  EXPECT_EQ(directory + "/" + std::filesystem::path(self).filename().string(), self);
}

}  // namespace
}  // namespace velmora
