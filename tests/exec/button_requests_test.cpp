#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "exec/button_requests.h"
#include "exec/recording_window.h"
#include "support/recording_tool.h"
#include "support/temp_dir.h"

namespace velmora {
namespace {

using test::RecordedArguments;
using test::RecordingWindow;
using test::TempDir;
using test::WriteRecordingTool;
using Lines = std::vector<std::string>;

TEST(ButtonRequestFor, GivesEachButtonItsTagAndExtension) {
  TempDir dir;
  dir.Write("Velmora.ini", "[UserDefine7]\nDestFileName=aligned\nDestFileExt=.apk\n");
  Settings settings(dir.path());
  struct {
    const char* section;
    const char* tag;
    const char* extension;
  } rows[] = {{"Decompile", "", ""},
              {"Compile", "mod", "apk"},
              {"Signer", "signed", "apk"},
              {"ZipAlign", "zipalign", "apk"},
              {"dex2jar", "", "jar"},
              {"jar2dex", "", "dex"},
              {"smali2dex", "mod", "dex"},
              {"odex2smali", "", ""},
              {"UserDefine7", "aligned", ".apk"},
              {"UserDefine8", "", ""},
              {"Unknown", "", ""}};
  for (const auto& row : rows) {
    RunRequest request = ButtonRequestFor(row.section, settings);
    EXPECT_EQ(request.Section, row.section);
    EXPECT_EQ(request.Tag, row.tag) << row.section;
    EXPECT_EQ(request.Extension, row.extension) << row.section;
    EXPECT_TRUE(request.Source.empty() && request.Destination.empty());
    EXPECT_TRUE(request.ClearOutput && request.AllowCopy);
  }
}

class RebuildThenSignChain : public ::testing::Test {
 protected:
  // The builder ends as `ending` says ("exit 1", "kill -9 $$").
  void WriteSettings(const std::string& ending) {
    std::string builder = WriteRecordingTool(dir, "builder", "echo built; " + ending);
    dir.Write("Velmora.ini",
              "[Compile]\nComments=回编译\nSourceFileType=directory\nCommand=" + builder +
                  "\nCommandLine=-o \"%DestFile%\"\n[Signer]\nComments=签名\n"
                  "CopyFile=true\nCommand=" +
                  signer + "\nCommandLine=--in \"%SourceFile%\" \"%DestFile%\"\n");
  }

  void SetUp() override {
    window.pathField = dir / "app";
    std::filesystem::create_directory(dir / "app");
  }

  TempDir dir;
  std::string signer = WriteRecordingTool(dir, "signer", "echo signed >> \"$3\"");
  std::string built = dir / "app_mod_signed.apk";
  RecordingWindow window;
};

TEST_F(RebuildThenSignChain, RunsNothingFurtherWhenThePromptIsCancelled) {
  WriteSettings("exit 1");
  RebuildThenSignReport report = RebuildThenSign(Settings(dir.path()), window);

  EXPECT_FALSE(report.signing.has_value());
  EXPECT_EQ(window.calls, (Lines{"page", "clear", "ask"}));
  EXPECT_EQ(window.prompts.at(0).FileName, "app_mod_signed.apk");
}

TEST_F(RebuildThenSignChain, SignsTheRebuiltPackageInPlaceAfterAnEmptyLine) {
  WriteSettings("echo package > \"$2\"");
  window.answer = built;

  RebuildThenSignReport report = RebuildThenSign(Settings(dir.path()), window);

  ASSERT_TRUE(report.signing.has_value());
  EXPECT_EQ(report.signing->result, built);
  EXPECT_EQ(RecordedArguments(signer), (Lines{"--in", built, built}));
  EXPECT_EQ(window.calls, (Lines{"page", "clear", "ask", "------回编译 开始------", "built",
                                 "------回编译 结束------用时：0秒------", "", "page",
                                 "------签名 开始------", "------签名 结束------用时：0秒------"}));
}

// An older package at the destination would otherwise be signed and pass for
// the rebuilt one.
TEST_F(RebuildThenSignChain, SkipsSigningWhenTheRebuildFailed) {
  for (const char* ending : {"exit 1", "kill -9 $$"}) {
    WriteSettings(ending);
    dir.Write("app_mod_signed.apk", "older package");
    window.answer = built;
    window.calls.clear();

    RebuildThenSignReport report = RebuildThenSign(Settings(dir.path()), window);

    EXPECT_FALSE(report.signing.has_value()) << ending;
    EXPECT_EQ(TempDir::ReadFile(built), "older package") << ending;
    EXPECT_EQ(window.calls.back(), "回编译失败，已跳过签名") << ending;
    EXPECT_EQ(window.calls.at(window.calls.size() - 2), "------回编译 结束------用时：0秒------");
  }
}

}  // namespace
}  // namespace velmora
