#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "config/ini_text.h"
#include "config/placeholders.h"
#include "config/settings.h"
#include "config/text.h"
#include "config/tool_locations.h"
#include "support/child_program.h"
#include "support/required_tools.h"
#include "support/temp_dir.h"

namespace velmora::test {
namespace {

namespace fs = std::filesystem;

const std::string kProgramDir = VELMORA_TEST_PROGRAM_DIR;

// What the Command of a section starts.
enum class Program {
  kDebianTool,  // a program of Debian's packages, by its full path
  kToolScript,  // a script shipped under tool/
  kOwnProgram,  // a program built beside the window (velmora-info)
  kNotShipped,  // a program the user puts under tool/ (Debian has none)
  kTheSource,   // the chosen file or folder itself, opened
  kNothingYet,  // an empty template for the user's own command
};

struct SectionCase {
  std::string section;
  Program program = Program::kDebianTool;
  bool captured = true;  // run hidden with its output shown (not CommandType=normal)
};

void PrintTo(const SectionCase& sectionCase, std::ostream* out) {
  *out << sectionCase.section;
}

std::string Read(std::string_view section, std::string_view key) {
  return Settings(kProgramDir).ReadSetting(section, key, "");
}

std::string Expand(std::string_view templateText, std::string_view source = "") {
  return ExpandPlaceholders(Settings(kProgramDir), templateText, source, "").value_or("");
}

bool IsExecutableFile(const std::string& path) {
  return fs::is_regular_file(path) && ::access(path.c_str(), X_OK) == 0;
}

// Whether every placeholder that stands for a path lies between double quotes
// (an odd number of quotes before it), so blanks in the path keep it one argument.
bool EveryPathPlaceholderIsQuoted(std::string_view arguments) {
  static const std::vector<std::string_view> kPathPlaceholders{
      "%SourceFile%", "%DestFile%",  "%apktool_path%", "%framework_path%",
      "%CurrentDir%", "%JAVA_HOME%", "%keystore%"};
  for (std::string_view placeholder : kPathPlaceholders) {
    for (std::size_t at = arguments.find(placeholder); at != std::string_view::npos;
         at = arguments.find(placeholder, at + 1)) {
      if (std::count(arguments.begin(), arguments.begin() + at, '"') % 2 == 0) return false;
    }
  }
  return true;
}

class ShippedSectionTest : public ::testing::TestWithParam<SectionCase> {};

TEST_P(ShippedSectionTest, is_in_the_settings_file) {
  const std::vector<std::string> sections =
      IniSectionNames(TempDir::ReadFile(kProgramDir + "/Velmora.ini"));
  EXPECT_NE(std::find(sections.begin(), sections.end(), GetParam().section), sections.end());
}

TEST_P(ShippedSectionTest, shows_the_errors_and_the_exit_status_of_a_captured_tool) {
  const std::string section = GetParam().section;
  const bool opened = LowerAscii(Read(section, "CommandType")) == "normal";
  EXPECT_EQ(opened, !GetParam().captured);
  if (GetParam().captured) {
    EXPECT_EQ(Read(section, "ShowErrorOutput"), "true");
    EXPECT_EQ(Read(section, "ShowExitCode"), "true");
  }
}

TEST_P(ShippedSectionTest, quotes_every_path_in_its_arguments) {
  const std::string section = GetParam().section;
  EXPECT_TRUE(EveryPathPlaceholderIsQuoted(Read(section, "CommandLine")))
      << Read(section, "CommandLine");
  EXPECT_TRUE(EveryPathPlaceholderIsQuoted(Read(section, "CommandLine_1")))
      << Read(section, "CommandLine_1");
}

TEST_P(ShippedSectionTest, starts_the_program_its_template_names) {
  const std::string command = Expand(Read(GetParam().section, "Command"), "/w/演示.apk");
  switch (GetParam().program) {
    case Program::kDebianTool: {
      ASSERT_TRUE(command.starts_with("/usr/bin/")) << command;
      RequireTools({fs::path(command).filename().string()});
      if (IsSkipped() || HasFailure()) return;
      EXPECT_TRUE(IsExecutableFile(command)) << command;
      break;
    }
    case Program::kToolScript:
      EXPECT_TRUE(command.starts_with(kProgramDir + "/tool/")) << command;
      EXPECT_TRUE(IsExecutableFile(command)) << command;
      break;
    case Program::kOwnProgram:
      EXPECT_EQ(fs::path(command).parent_path(), kProgramDir) << command;
      EXPECT_TRUE(IsExecutableFile(command)) << command;
      break;
    case Program::kNotShipped:
      EXPECT_EQ(fs::path(command).parent_path(), kProgramDir + "/tool/dex2jar") << command;
      EXPECT_TRUE(fs::is_regular_file(kProgramDir + "/tool/dex2jar/README.txt"));
      break;
    case Program::kTheSource:
      EXPECT_EQ(command, "/w/演示.apk");
      break;
    case Program::kNothingYet:
      EXPECT_EQ(command, "");
      EXPECT_EQ(Read(GetParam().section, "CommandLine"), "");
      EXPECT_NE(LowerAscii(Read(GetParam().section, "Enabled")), "true");
      break;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Sections, ShippedSectionTest,
    ::testing::Values(SectionCase{"Decompile", Program::kToolScript},
                      SectionCase{"Compile", Program::kToolScript},
                      SectionCase{"Signer", Program::kToolScript},
                      SectionCase{"Signer_JDK", Program::kToolScript}, SectionCase{"ZipAlign"},
                      SectionCase{"InstallFramework", Program::kToolScript},
                      SectionCase{"EmptyFramework", Program::kToolScript},
                      SectionCase{"dex2jar", Program::kNotShipped},
                      SectionCase{"OpenJar", Program::kTheSource, false},
                      SectionCase{"jar2dex", Program::kNotShipped}, SectionCase{"dex2smali"},
                      SectionCase{"smali2dex", Program::kToolScript}, SectionCase{"odex2smali"},
                      SectionCase{"UserDefine1", Program::kToolScript}, SectionCase{"UserDefine2"},
                      SectionCase{"UserDefine3", Program::kToolScript},
                      SectionCase{"UserDefine4", Program::kOwnProgram},
                      SectionCase{"UserDefine5", Program::kToolScript}, SectionCase{"UserDefine6"},
                      SectionCase{"UserDefine7", Program::kTheSource, false},
                      SectionCase{"UserDefine8", Program::kToolScript},
                      SectionCase{"UserDefine9", Program::kToolScript},
                      SectionCase{"UserDefine10", Program::kToolScript},
                      SectionCase{"UserDefine11", Program::kToolScript},
                      SectionCase{"UserDefine12", Program::kToolScript},
                      SectionCase{"UserDefine13", Program::kToolScript}),
    [](const auto& info) { return info.param.section; });

TEST(ShippedSettingsTest, name_a_java_home_that_holds_java) {
  const std::string java = ResolveJavaHome(Settings(kProgramDir)) + "/bin/java";
  RequireTools({"java"});
  if (IsSkipped() || HasFailure()) return;
  EXPECT_TRUE(IsExecutableFile(java)) << java;
}

TEST(ShippedSettingsTest, name_the_debug_keystore_the_build_made_with_their_passwords_and_alias) {
  RequireTools({"keytool"});
  if (IsSkipped() || HasFailure()) return;

  const FinishedProgram listing =
      RunToEnd({"keytool", "-list", "-keystore", Expand("%keystore%"), "-storepass",
                Expand("%storepass%"), "-alias", Expand("%alias%")});

  EXPECT_EQ(Expand("%keystore%"), kProgramDir + "/tool/debug.keystore");
  EXPECT_EQ(listing.exitStatus, 0) << listing.out << listing.err;
  EXPECT_NE(listing.out.find("PrivateKeyEntry"), std::string::npos) << listing.out;
}

TEST(ShippedSettingsTest, give_apktool_the_framework_folder_under_the_tool_folder) {
  EXPECT_EQ(Expand("%framework_path%"), kProgramDir + "/tool/framework");
  for (std::string_view section : {"Decompile", "Compile", "InstallFramework", "EmptyFramework"}) {
    EXPECT_NE(Read(section, "CommandLine").find("-p \"%framework_path%\""), std::string::npos)
        << section;
  }
}

}  // namespace
}  // namespace velmora::test
