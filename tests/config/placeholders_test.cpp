#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/placeholders.h"
#include "support/temp_dir.h"

namespace velmora {
namespace {

using test::TempDir;

struct ExpandCase {
  const char* name;
  const char* settings;
  const char* templateText;
  const char* source;
  const char* destination;
  const char* expected;  // "%D" stands for the program directory
};

std::string WithProgramDirectory(std::string text, const std::string& directory) {
  for (std::size_t at = text.find("%D"); at != std::string::npos; at = text.find("%D", at)) {
    text.replace(at, 2, directory);
    at += directory.size();
  }
  return text;
}

class ExpandPlaceholdersRule : public ::testing::TestWithParam<ExpandCase> {};

TEST_P(ExpandPlaceholdersRule, GivesTheExpectedText) {
  const ExpandCase& c = GetParam();
  TempDir dir;
  dir.Write("Velmora.ini", c.settings);
  Settings settings(dir.path());
  auto expanded = ExpandPlaceholders(settings, c.templateText, c.source, c.destination);
  ASSERT_TRUE(expanded.has_value());
  EXPECT_EQ(*expanded, WithProgramDirectory(c.expected, dir.path()));
}

constexpr const char* kKeystore =
    "[General]\nJAVA_HOME=/jdk\n"
    "[KeystoreFile]\nkeystore=/k.jks\nstorepass=sp\nkeypass=kp\nalias=al\n";

INSTANTIATE_TEST_SUITE_P(
    Rules, ExpandPlaceholdersRule,
    ::testing::Values(
        ExpandCase{"all_ten", kKeystore,
                   "%JAVA_HOME%|%apktool_path%|%framework_path%|%CurrentDir%|%SourceFile%|"
                   "%DestFile%|%keystore%|%storepass%|%keypass%|%alias%",
                   "/s.apk", "/d", "/jdk|%D/tool|%D/tool/framework|%D|/s.apk|/d|/k.jks|sp|kp|al"},
        ExpandCase{"any_letter_case", kKeystore, "%sourcefile% %SOURCEFILE% %SoUrCeFiLe%", "/s", "",
                   "/s /s /s"},
        ExpandCase{"framework_path_alone_takes_three_passes", "", "%framework_path%", "", "",
                   "%D/tool/framework"},
        ExpandCase{"other_names_between_percent_signs_stay", kKeystore, "%TEMP%/x %PATH% 100%", "",
                   "", "%TEMP%/x %PATH% 100%"},
        ExpandCase{"no_placeholders_unchanged", kKeystore, "-jar apktool.jar d", "", "",
                   "-jar apktool.jar d"},
        ExpandCase{"empty_template", kKeystore, "", "/s", "/d", ""},
        ExpandCase{"empty_values_remove_their_placeholder", "", "a%keystore%b%SourceFile%c", "", "",
                   "abc"},
        ExpandCase{"placeholder_names_in_paths_stay", kKeystore, "%SourceFile% %DestFile%",
                   "/w/%alias%%SourceFile%.apk", "/w/%JAVA_HOME%%destfile%",
                   "/w/%alias%%SourceFile%.apk /w/%JAVA_HOME%%destfile%"},
        ExpandCase{"paths_never_join_the_text_around_them", kKeystore, "%Source%SourceFile%File%",
                   "", "", "%SourceFile%"},
        ExpandCase{"a_setting_may_name_a_path", "[KeystoreFile]\nkeystore=%SourceFile%.jks\n",
                   "%keystore%", "/w/%alias%", "", "/w/%alias%.jks"},
        ExpandCase{"mutual_values_stop_at_the_first_unchanged_pass",
                   "[KeystoreFile]\nkeystore=%storepass%\nstorepass=%keystore%\n", "%keystore%", "",
                   "", "%keystore%"},
        ExpandCase{"placeholder_spanning_two_values",
                   "[KeystoreFile]\nkeystore=%JAVA_\nstorepass=HOME%\n[General]\nJAVA_HOME=/j\n",
                   "%keystore%%storepass%", "", "", "/j"},
        ExpandCase{"utf8_and_blanks_pass_through", "", "\"%SourceFile%\"", "/工作 目录/a b.apk", "",
                   "\"/工作 目录/a b.apk\""}),
    [](const ::testing::TestParamInfo<ExpandCase>& info) { return std::string(info.param.name); });

struct NeverEndingCase {
  const char* name;
  const char* settings;
  const char* templateText;
  const char* source;
};

class ExpansionThatNeverEnds : public ::testing::TestWithParam<NeverEndingCase> {};

TEST_P(ExpansionThatNeverEnds, IsReportedInsteadOfLooping) {
  const NeverEndingCase& c = GetParam();
  TempDir dir;
  dir.Write("Velmora.ini", c.settings);
  EXPECT_EQ(ExpandPlaceholders(Settings(dir.path()), c.templateText, c.source, ""), std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExpansionThatNeverEnds,
    ::testing::Values(
        NeverEndingCase{"tool_path_beginning_with_itself",
                        "[General]\napktool_path=%apktool_path%/x\n", "%apktool_path%", ""},
        NeverEndingCase{"value_doubling_every_pass",
                        "[General]\nJAVA_HOME=%JAVA_HOME%%JAVA_HOME%\n", "%JAVA_HOME%", ""},
        NeverEndingCase{"two_values_alternating",
                        "[General]\nJAVA_HOME=%apktool_path%\napktool_path=x%JAVA_HOME%\n",
                        "%JAVA_HOME%", ""}),
    [](const ::testing::TestParamInfo<NeverEndingCase>& info) {
      return std::string(info.param.name);
    });

TEST(ExpansionNeverEndsMessage, NamesTheTemplate) {
  EXPECT_EQ(ExpansionNeverEndsMessage("%apktool_path%/apktool"),
            "替换占位符 %apktool_path%/apktool 无法结束，请检查");
}

// Counts the settings reads, to see that every pass fetches every value afresh.
class CountingSettings : public Settings {
 public:
  using Settings::Settings;
  std::string ReadSetting(std::string_view section, std::string_view key,
                          std::string_view defaultValue) const override {
    ++reads;
    return Settings::ReadSetting(section, key, defaultValue);
  }
  mutable int reads = 0;
};

TEST(ExpandPlaceholders, ReadsTheSevenSettingsAfreshInEveryPass) {
  TempDir dir;
  CountingSettings settings(dir.path());
  ASSERT_TRUE(ExpandPlaceholders(settings, "plain", "", ""));
  EXPECT_EQ(settings.reads, 7);
  settings.reads = 0;
  ASSERT_TRUE(ExpandPlaceholders(settings, "%framework_path%", "", ""));
  EXPECT_EQ(settings.reads, 3 * 7);
}

}  // namespace
}  // namespace velmora
