#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "config/ini_text.h"
#include "exec/command_pipeline.h"
#include "exec/recording_window.h"
#include "support/recording_tool.h"
#include "support/scoped_environment.h"
#include "support/temp_dir.h"

namespace velmora {
namespace {

using test::RecordedArguments;
using test::RecordingWindow;
using test::TempDir;
using test::WriteRecordingTool;
using Lines = std::vector<std::string>;

class CommandPipeline : public ::testing::Test {
 protected:
  void WriteSettings(const std::string& text) { dir.Write("Velmora.ini", text); }

  std::string Run(RunRequest request) { return RunSection(request, Settings(dir.path()), window); }

  static RunRequest ButtonRequest(std::string section, std::string tag = "",
                                  std::string extension = "") {
    return RunRequest{.Section = std::move(section),
                      .Tag = std::move(tag),
                      .Extension = std::move(extension),
                      .ClearOutput = true,
                      .AllowCopy = true};
  }

  bool ToolRan() const { return std::filesystem::exists(tool + ".args"); }

  // What a program started detached writes to `path`, once it is there (the
  // limit only keeps a broken run from hanging the suite).
  static std::string ReadOnceWritten(const std::string& path) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    auto written = [&path] {
      std::error_code missing;
      return std::filesystem::file_size(path, missing) > 0 && !missing;
    };
    while (!written() && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return TempDir::ReadFile(path);
  }

  bool AnyLineHolds(std::string_view text) const {
    return std::any_of(window.lines.begin(), window.lines.end(),
                       [text](const std::string& line) { return line.find(text) != line.npos; });
  }

  TempDir dir;
  std::string tool = WriteRecordingTool(dir, "tool");
  RecordingWindow window;
};

TEST_F(CommandPipeline, RunsADecodeFromTheDroppedPathToTheEndBanner) {
  WriteSettings("[Decompile]\nComments=反编译\nDestFileType=directory\nCommand=" + tool +
                "\nCommandLine=d -o \"%DestFile%\" \"%SourceFile%\"\n");
  std::string source = dir.Write("工作 目录/demo.apk", "apk");
  window.pathField = "  " + source + " \t";
  window.answer = dir / "工作 目录/demo";

  EXPECT_EQ(Run(ButtonRequest("Decompile")), *window.answer);

  EXPECT_EQ(window.calls, (Lines{"page", "clear", "ask", "------反编译 开始------", "tool output",
                                 "------反编译 结束------用时：0秒------"}));
  EXPECT_EQ(RecordedArguments(tool), (Lines{"d", "-o", *window.answer, source}));
  ASSERT_EQ(window.prompts.size(), 1u);
  EXPECT_EQ(window.prompts[0].FileName, "demo");
  EXPECT_TRUE(window.prompts[0].FolderMode);
}

TEST_F(CommandPipeline, PicksTheSignerSectionFromTheSignerType) {
  WriteSettings("[KeystoreFile]\nalias=debugkey\n[Signer]\nCommand=" + tool +
                "\nCommandLine=apksigner\nCommandLine_1=never\n[Signer_JDK]\nCommand=" + tool +
                "\nCommandLine=jarsigner \"%DestFile%\"\nCommandLine_1=-tsa \"%alias%\"\n");
  std::string package = dir.Write("app.apk", "apk");
  RunRequest request{.Section = "Signer", .Source = package, .Destination = package};

  struct {
    int index;
    Lines arguments;
  } cases[] = {{0, {"apksigner"}},
               {1, {"jarsigner", package}},
               {2, {"jarsigner", package, "-tsa", "debugkey"}},
               {-1, {"apksigner"}}};
  for (const auto& c : cases) {
    window.signerIndex = c.index;
    EXPECT_EQ(Run(request), package);
    EXPECT_EQ(RecordedArguments(tool), c.arguments) << "signer type " << c.index;
  }
}

TEST_F(CommandPipeline, LeavesSourceAndDestinationEmptyWhenTheSectionNeedsNeither) {
  WriteSettings("[EmptyFramework]\nSourceFileType=None\nDestFileType=NONE\nCommand=" + tool +
                "\nCommandLine=[%SourceFile%][%DestFile%]\n");
  window.pathField = "/does/not/exist";

  EXPECT_EQ(Run(ButtonRequest("EmptyFramework")), "");

  EXPECT_EQ(RecordedArguments(tool), (Lines{"[][]"}));
  EXPECT_TRUE(window.prompts.empty());
}

TEST_F(CommandPipeline, ChecksTheSourceAgainstItsType) {
  WriteSettings("[Dir]\nSourceFileType=directory\nDestFileType=none\nCommand=" + tool +
                "\n[File]\nDestFileType=none\nCommand=" + tool + "\n");
  std::string file = dir.Write("a.apk", "apk");
  const Lines missing{"page", "clear", "路径不存在，请重新选择路径"};

  window.pathField = file;
  EXPECT_EQ(Run(ButtonRequest("Dir")), "");
  EXPECT_EQ(window.calls, missing) << "a file is no directory";
  window.calls.clear();

  window.pathField = dir.path();
  EXPECT_EQ(Run(ButtonRequest("File")), "");
  EXPECT_EQ(window.calls, missing) << "a directory is no file";
  window.calls.clear();

  window.pathField = dir / "missing.apk";
  EXPECT_EQ(Run(ButtonRequest("File")), "");
  EXPECT_EQ(window.calls, missing);
  EXPECT_FALSE(ToolRan());

  window.pathField = dir.path() + "/";
  Run(ButtonRequest("Dir"));
  EXPECT_TRUE(ToolRan());
}

TEST_F(CommandPipeline, TakesAFileOrAFolderAsTheSourceOfTypeAny) {
  WriteSettings("[Any]\nSourceFileType=any\nDestFileType=none\nCommand=" + tool + "\n");
  for (const std::string& source : {dir.Write("set.xapk", "zip"), dir.path()}) {
    window.pathField = source;
    Run(ButtonRequest("Any"));
    EXPECT_TRUE(ToolRan()) << source;
    std::filesystem::remove(tool + ".args");
  }
  window.pathField = dir / "missing";
  window.calls.clear();
  Run(ButtonRequest("Any"));
  EXPECT_EQ(window.calls, (Lines{"page", "clear", "路径不存在，请重新选择路径"}));
}

TEST_F(CommandPipeline, UsesTheRequestsDestinationWithoutAPrompt) {
  WriteSettings("[Signer]\nCommand=" + tool + "\nCommandLine=\"%DestFile%\"\n");
  std::string package = dir.Write("app.apk", "apk");
  RunRequest request{.Section = "Signer", .Source = package, .Destination = dir / "out.apk"};

  EXPECT_EQ(Run(request), dir / "out.apk");

  EXPECT_TRUE(window.prompts.empty());
  EXPECT_EQ(RecordedArguments(tool), (Lines{dir / "out.apk"}));
}

TEST_F(CommandPipeline, EndsSilentlyWhenThePromptIsCancelled) {
  WriteSettings("[Compile]\nSourceFileType=directory\nCommand=" + tool + "\n");
  window.pathField = dir.path();
  window.answer.reset();

  EXPECT_EQ(Run(ButtonRequest("Compile", "mod", "apk")), "");

  EXPECT_EQ(window.calls, (Lines{"page", "clear", "ask"}));
  EXPECT_FALSE(ToolRan());
}

TEST_F(CommandPipeline, CopiesTheSourceBeforeTheToolWhenAsked) {
  WriteSettings("[Signer]\nCopyFile= TRUE \nCommand=" + tool + "\nCommandLine=\"%DestFile%\"\n");
  window.pathField = dir.Write("app.apk", "package bytes");
  window.answer = dir / "app_signed.apk";

  EXPECT_EQ(Run(ButtonRequest("Signer", "signed", "apk")), *window.answer);

  EXPECT_EQ(TempDir::ReadFile(*window.answer), "package bytes");
  EXPECT_EQ(window.prompts.at(0).FileName, "app_signed.apk");
}

TEST_F(CommandPipeline, CopiesNothingWhenTheRequestDoesNotAllowIt) {
  WriteSettings("[Signer]\nCopyFile=true\nCommand=" + tool + "\n");
  std::string package = dir.Write("app.apk", "apk");
  RunRequest request{.Section = "Signer", .Source = package, .Destination = dir / "other.apk"};

  Run(request);

  EXPECT_FALSE(std::filesystem::exists(dir / "other.apk"));
  EXPECT_TRUE(ToolRan());
}

TEST_F(CommandPipeline, StopsWithAMessageWhenTheCopyFails) {
  WriteSettings("[Signer]\nCopyFile=true\nCommand=" + tool + "\n");
  std::string package = dir.Write("app.apk", "package bytes");
  window.pathField = package;

  window.answer = dir / "no such folder/app.apk";
  EXPECT_EQ(Run(ButtonRequest("Signer")), "");
  EXPECT_EQ(window.lines,
            (Lines{"复制文件 " + package + " -> " + *window.answer + " 失败，请检查"}));

  window.answer = package;
  EXPECT_EQ(RunSectionReport(ButtonRequest("Signer"), Settings(dir.path()), window).ending,
            RunEnding::kDestinationIsSource);
  EXPECT_EQ(window.lines,
            (Lines{"目标 " + package + " 与源文件 " + package + " 是同一个文件，请检查"}));
  EXPECT_EQ(TempDir::ReadFile(package), "package bytes") << "copying onto itself kept the file";
  EXPECT_FALSE(ToolRan());
}

TEST_F(CommandPipeline, RefusesToCopyADirectorySource) {
  WriteSettings("[Compile]\nSourceFileType=directory\nCopyFile=true\nCommand=" + tool + "\n");
  window.pathField = dir.path();
  window.answer = dir / "out.apk";

  EXPECT_EQ(Run(ButtonRequest("Compile")), "");
  EXPECT_EQ(window.lines,
            (Lines{"复制文件 " + dir.path() + " -> " + *window.answer + " 失败，请检查"}));
}

TEST_F(CommandPipeline, ReportsAMissingSectionFromTheRunnerBetweenTheBanners) {
  WriteSettings("[General]\nSignerType=0\n");
  window.pathField = dir.Write("a.apk", "apk");
  window.answer = dir / "b.apk";

  EXPECT_EQ(Run(ButtonRequest("NoSuchSection")), *window.answer);

  EXPECT_EQ(window.prompts.at(0).Title, "另存为");
  EXPECT_EQ(window.lines, (Lines{"------ 开始------", "CreateProcess error:2",
                                 "------ 结束------用时：0秒------"}));
}

TEST_F(CommandPipeline, HandsANormalCommandToTheDesktopWithoutWaiting) {
  std::string opener = WriteRecordingTool(dir, "opener", "echo opened > \"$1\"");
  WriteSettings("[OpenJar]\nComments=打开jar\nCommandType=Normal\nDestFileType=none\nCommand=" +
                opener + "\nCommandLine=\"%SourceFile%.opened\"\n");
  std::string jar = dir.Write("app.jar", "jar");
  window.pathField = jar;

  RunReport report = RunSectionReport(ButtonRequest("OpenJar"), Settings(dir.path()), window);

  EXPECT_EQ(report.ending, RunEnding::kShellOpened);
  EXPECT_EQ(window.lines,
            (Lines{"------打开jar 开始------", "------打开jar 结束------用时：0秒------"}));
  EXPECT_EQ(ReadOnceWritten(jar + ".opened"), "opened\n");
}

// Every file of a FAT or NTFS disk carries an execute bit, and a "jar" the
// user chose may be a script: neither is run, both go to the opener.
TEST_F(CommandPipeline, HandsDocumentsToTheOpenerWhateverTheirExecuteBit) {
  std::filesystem::create_directory(dir / "bin");
  WriteRecordingTool(dir, "bin/xdg-open", "echo opened > \"$1.opened\"");
  test::ScopedEnvironment path("PATH", dir / "bin" + ":/usr/bin:/bin");
  std::string zip = dir.Write("lib.jar", "PK\x03\x04");
  ::chmod(zip.c_str(), 0755);
  WriteSettings(
      "[OpenJar]\nCommandType=normal\nDestFileType=none\nCommand=%SourceFile%\n"
      "[OpenLib]\nCommandType=normal\nSourceFileType=none\nDestFileType=none\n"
      "Command=" +
      zip + "\n");
  window.pathField = WriteRecordingTool(dir, "app.jar", "echo ran > \"$0.opened\"");

  for (const auto& [section, document] :
       {std::pair{"OpenJar", window.pathField}, {"OpenLib", zip}}) {
    Run(ButtonRequest(section));
    EXPECT_EQ(ReadOnceWritten(document + ".opened"), "opened\n") << section;
  }
}

TEST_F(CommandPipeline, CountsWholeSecondsTruncatedTowardZero) {
  std::string slow = WriteRecordingTool(dir, "slow", "sleep \"$1\"");
  WriteSettings("[Slow]\nComments=慢\nSourceFileType=none\nDestFileType=none\nCommand=" + slow +
                "\nCommandLine=%DestFile%\n");

  Run(RunRequest{.Section = "Slow", .Destination = "0.9"});
  EXPECT_EQ(window.lines.back(), "------慢 结束------用时：0秒------");

  Run(RunRequest{.Section = "Slow", .Destination = "1.3"});
  EXPECT_EQ(window.lines.back(), "------慢 结束------用时：1秒------");
}

TEST_F(CommandPipeline, StopsBeforeTheToolWhenATemplateNeverStopsExpanding) {
  WriteSettings(
      "[General]\napktool_path=%apktool_path%/more\n[Decompile]\nSourceFileType=none\n"
      "DestFileType=none\nCommand=" +
      tool + "\nCommandLine=-o \"%apktool_path%/x\"\n");

  RunReport report = RunSectionReport(ButtonRequest("Decompile"), Settings(dir.path()), window);

  EXPECT_EQ(report.ending, RunEnding::kExpansionNeverEnds);
  EXPECT_EQ(report.result, "");
  EXPECT_EQ(window.lines, (Lines{"替换占位符 -o \"%apktool_path%/x\" 无法结束，请检查"}));
  EXPECT_FALSE(ToolRan());
}

// A cut template would run a different command than the one written.
TEST_F(CommandPipeline, StopsBeforeTheBannerWhenATemplateIsLongerThanAValueMayBe) {
  const std::string tooLong = "x" + std::string(kMaxValueBytes - 1, ' ') + "y";
  for (const char* key : {"Command", "CommandLine", "CommandLine_1"}) {
    // The first key of a name wins over the usable one after it.
    WriteSettings("[Signer_JDK]\n" + std::string(key) + "=" + tooLong +
                  "\nSourceFileType=none\nDestFileType=none\nCommand=" + tool +
                  "\nCommandLine=a\nCommandLine_1=b\n");
    window.signerIndex = 2;

    RunReport report = RunSectionReport(ButtonRequest("Signer"), Settings(dir.path()), window);

    EXPECT_EQ(report.ending, RunEnding::kTemplateCut) << key;
    EXPECT_EQ(window.lines,
              (Lines{"配置项 [Signer_JDK] " + std::string(key) + " 超过2047字节被截断，请检查"}));
    EXPECT_FALSE(ToolRan());
  }
}

// A copy under the destination's name would pass for the tool's result.
TEST_F(CommandPipeline, RemovesTheCopyItMadeWhenTheToolFails) {
  std::string failing = WriteRecordingTool(dir, "failing", "exit \"${1##*/}\"");
  WriteSettings("[Signer]\nCopyFile=true\nCommand=" + failing + "\nCommandLine=%DestFile%\n");
  window.pathField = dir.Write("app.apk", "unsigned");
  const std::string copy = dir / "1";

  window.answer = dir / "0";
  Run(ButtonRequest("Signer"));
  EXPECT_EQ(TempDir::ReadFile(*window.answer), "unsigned") << "a tool that succeeded keeps it";

  window.answer = copy;
  EXPECT_EQ(Run(ButtonRequest("Signer")), copy);
  EXPECT_FALSE(std::filesystem::exists(copy));
  EXPECT_EQ(window.lines.at(1), "已删除本次复制的文件 " + copy);

  dir.Write("1", "there before");
  Run(ButtonRequest("Signer"));
  EXPECT_EQ(TempDir::ReadFile(copy), "unsigned") << "what was there before is never removed";
  EXPECT_FALSE(AnyLineHolds("已删除"));
}

TEST_F(CommandPipeline, ShowsErrorOutputAndExitStatusOnlyWhenTheSectionAsks) {
  std::string failing =
      WriteRecordingTool(dir, "failing", "echo out; echo problem >&2; exit \"${1:-0}\"");
  std::string common = "SourceFileType=none\nDestFileType=none\nCommand=" + failing + "\n";
  WriteSettings("[Plain]\n" + common + "CommandLine=3\n[Verbose]\n" + common +
                "CommandLine=3\nShowErrorOutput=true\nShowExitCode=TRUE\n[Fine]\n" + common +
                "CommandLine=0\nShowErrorOutput=true\nShowExitCode=true\n");

  RunReport plain = RunSectionReport(ButtonRequest("Plain"), Settings(dir.path()), window);
  EXPECT_EQ(window.lines, (Lines{"------ 开始------", "out", "------ 结束------用时：0秒------"}));
  EXPECT_TRUE(plain.tool.started);
  EXPECT_EQ(WEXITSTATUS(plain.tool.waitStatus), 3);

  RunSection(ButtonRequest("Verbose"), Settings(dir.path()), window);
  EXPECT_TRUE(AnyLineHolds("problem"));
  ASSERT_GE(window.lines.size(), 4u);
  EXPECT_EQ(window.lines[window.lines.size() - 2], "程序运行出错，退出代码：3");

  RunSection(ButtonRequest("Fine"), Settings(dir.path()), window);
  EXPECT_TRUE(AnyLineHolds("problem"));
  EXPECT_FALSE(AnyLineHolds("退出代码")) << "a zero status adds nothing";
}

TEST_F(CommandPipeline, ReportsAToolEndedByASignal) {
  std::string killed = WriteRecordingTool(dir, "killed", "kill -9 $$");
  WriteSettings("[Killed]\nSourceFileType=none\nDestFileType=none\nShowExitCode=true\nCommand=" +
                killed + "\n");

  Run(ButtonRequest("Killed"));

  EXPECT_EQ(window.lines.at(1), "程序被信号终止，信号：9");
}

// Records every key the pipeline reads, in order.
class RecordingSettings : public Settings {
 public:
  using Settings::Settings;
  std::string ReadSetting(std::string_view section, std::string_view key,
                          std::string_view defaultValue) const override {
    reads.push_back(std::string(section) + "/" + std::string(key));
    return Settings::ReadSetting(section, key, defaultValue);
  }
  std::optional<std::string> ReadUncutSetting(std::string_view section,
                                              std::string_view key) const override {
    reads.push_back(std::string(section) + "/" + std::string(key));
    return Settings::ReadUncutSetting(section, key);
  }
  mutable Lines reads;
};

TEST_F(CommandPipeline, ReadsEachKeyWhenAndAsOftenAsTheRunNeedsIt) {
  WriteSettings("[KeystoreFile]\nalias=k\n[Signer_JDK]\nCopyFile=true\nCommand=" + tool +
                "\nCommandLine=\"%DestFile%\"\nCommandLine_1=-tsa\nComments=签名\n");
  window.pathField = dir.Write("app.apk", "apk");
  window.answer = dir / "app_signed.apk";
  window.signerIndex = 2;
  RecordingSettings settings(dir.path());

  RunSection(ButtonRequest("Signer", "signed", "apk"), settings, window);

  Lines sectionReads;
  for (const std::string& read : settings.reads) {
    if (read.starts_with("Signer_JDK/")) sectionReads.push_back(read.substr(11));
  }
  EXPECT_EQ(sectionReads,
            (Lines{"SourceFileType", "SourceFileType", "DestFileType", "SourceFileType",
                   "DestFileType", "CopyFile", "Command", "CommandLine", "CommandLine_1",
                   "Comments", "CommandType", "ShowErrorOutput", "Comments"}));
  // Each expansion pass reads the seven location and keystore values: one pass
  // for each template without placeholders, two for the one with %DestFile%,
  // and two for each password handed to the tool in its environment.
  EXPECT_EQ(settings.reads.size(), sectionReads.size() + 8 * 7);
}

}  // namespace
}  // namespace velmora
