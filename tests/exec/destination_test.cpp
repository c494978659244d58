#include <gtest/gtest.h>

#include <strings.h>

#include <string>

#include "exec/destination.h"
#include "support/temp_dir.h"

namespace velmora {
namespace {

using test::TempDir;

constexpr const char* kFolderFilter = "选择目录|*.$$$DefaultDirectoryExtName$$$|所有文件 (*.*)|*.*";
constexpr const char* kAllFiles = "所有文件 (*.*)|*.*";

struct ProposalCase {
  const char* name;
  const char* sourceType;
  const char* destinationType;
  const char* source;
  const char* tag;
  const char* extension;
  const char* fileName;
  const char* defaultExt;
  std::string filter;
};

std::string FilterFor(const std::string& extension) {
  return extension + " 文件 (*." + extension + ")|*." + extension + "|" + kAllFiles;
}

class ProposeDestinationRule : public ::testing::TestWithParam<ProposalCase> {};

TEST_P(ProposeDestinationRule, BuildsThePrompt) {
  const ProposalCase& c = GetParam();
  TempDir dir;
  dir.Write("Velmora.ini", std::string("[Run]\nSourceFileType=") + c.sourceType +
                               "\nDestFileType=" + c.destinationType + "\n");
  SavePrompt prompt = ProposeDestination(Settings(dir.path()), "Run", c.source, c.tag, c.extension);
  EXPECT_EQ(prompt.FileName, c.fileName);
  EXPECT_EQ(prompt.DefaultExt, c.defaultExt);
  EXPECT_EQ(prompt.Filter, c.filter);
  bool folder = ::strcasecmp(c.destinationType, "directory") == 0;
  EXPECT_EQ(prompt.FolderMode, folder);
  EXPECT_EQ(prompt.Title, folder ? "选择目录" : "另存为");
}

INSTANTIATE_TEST_SUITE_P(
    Proposals, ProposeDestinationRule,
    ::testing::Values(
        ProposalCase{"file_source_directory_result", "", "directory", "/w/demo.apk", "", "", "demo",
                     "", kFolderFilter},
        ProposalCase{"directory_source_file_result_with_tag", "directory", "", "/w/demo", "mod",
                     "apk", "demo_mod.apk", ".apk", FilterFor("apk")},
        ProposalCase{"file_source_signed", "", "", "/w/demo.apk", "signed", "apk",
                     "demo_signed.apk", ".apk", FilterFor("apk")},
        ProposalCase{"dex_to_jar", "", "", "/w/classes.dex", "", "jar", "classes.jar", ".jar",
                     FilterFor("jar")},
        ProposalCase{"no_source", "none", "", "", "mod", "dex", "mod.dex", ".dex",
                     FilterFor("dex")},
        ProposalCase{"no_tag_no_extension", "", "", "/w/demo.apk", "", "", "demo", "", kAllFiles},
        ProposalCase{"directory_source_keeps_its_dots", "directory", "", "/w/demo.v2", "", "",
                     "demo.v2", ".v2", FilterFor("v2")},
        ProposalCase{"only_the_last_extension_goes", "", "", "/w/a.b.apk", "", "", "a.b", ".b",
                     FilterFor("b")},
        ProposalCase{"name_that_is_only_an_extension", "", "", "/w/.apk", "", "", "", "",
                     kAllFiles},
        ProposalCase{"keyword_in_capitals", "DIRECTORY", "Directory", "/w/demo.v2", "", "",
                     "demo.v2", "", kFolderFilter},
        ProposalCase{"extension_with_dots_and_blanks", "", "", "/w/demo.apk", "signed", " ..apk. ",
                     "demo_signed.apk", ".apk", FilterFor("apk")},
        ProposalCase{"extension_with_a_leading_dot", "", "", "/w/demo.apk", "", ".apk", "demo.apk",
                     ".apk", FilterFor("apk")},
        ProposalCase{"chinese_name_with_blanks", "", "", "/工作 目录/演示 包.apk", "mod", "apk",
                     "演示 包_mod.apk", ".apk", FilterFor("apk")},
        ProposalCase{"file_or_folder_source_that_is_a_file", "any", "", "/w/set.v2.xapk", "merged",
                     "apk", "set.v2_merged.apk", ".apk", FilterFor("apk")},
        ProposalCase{"bare_file_name", "", "", "demo.apk", "", "jar", "demo.jar", ".jar",
                     FilterFor("jar")}),
    [](const ::testing::TestParamInfo<ProposalCase>& info) {
      return std::string(info.param.name);
    });

}  // namespace
}  // namespace velmora
