#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "config/ini_text.h"
#include "exec/running_tools.h"
#include "support/child_program.h"
#include "support/recording_tool.h"
#include "support/stubborn_tool.h"
#include "support/temp_dir.h"

namespace velmora {
namespace {

using test::ChildProgram;
using test::RecordedArguments;
using test::TempDir;
using test::WriteRecordingTool;
using Lines = std::vector<std::string>;

class VelmoraRun : public ::testing::Test {
 protected:
  // Runs velmora-run with the test's settings file and waits for it.
  ChildProgram& Run(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {VELMORA_RUN_PATH, "--ini", ini});
    child = std::make_unique<ChildProgram>(arguments);
    child->Wait();
    return *child;
  }

  TempDir dir;
  std::string ini = dir / "settings.ini";
  std::string tool = WriteRecordingTool(dir, "tool", "echo \"tool saw $1\"; exit \"${2:-0}\"");
  std::unique_ptr<ChildProgram> child;
};

TEST_F(VelmoraRun, PrintsItsManualAndRefusesBadUsage) {
  ChildProgram help({VELMORA_RUN_PATH, "--help"});
  help.Wait();
  EXPECT_EQ(help.exitStatus, 0);
  EXPECT_NE(help.out.find("SYNOPSIS"), std::string::npos);
  EXPECT_NE(help.out.find("EXIT STATUS"), std::string::npos);

  for (Lines bad :
       {Lines{}, Lines{"--bogus"}, Lines{"--signer", "3", "S"},
        Lines{"--output", "x", "S", "a", "b"}, Lines{"--build-sign"}, Lines{"--list", "S"}}) {
    bad.insert(bad.begin(), VELMORA_RUN_PATH);
    ChildProgram usage(bad);
    usage.Wait();
    EXPECT_EQ(usage.exitStatus, 2) << bad.size();
    EXPECT_NE(usage.err.find("usage:"), std::string::npos);
    EXPECT_EQ(usage.out, "");
  }
}

TEST_F(VelmoraRun, RefusesAMissingSettingsFile) {
  ChildProgram& run = Run({"Decompile", "a.apk"});
  EXPECT_EQ(run.exitStatus, 2);
  EXPECT_EQ(run.err, "配置文件" + ini + "不存在，请检查\n");
}

TEST_F(VelmoraRun, RunsTheSectionOnceForEachSourceWithTheProposedNameBesideIt) {
  dir.Write("settings.ini", "[Decompile]\nComments=反编译\nDestFileType=directory\nCommand=" +
                                tool + "\nCommandLine=\"%DestFile%\" 0\n");
  std::string first = dir.Write("one/a.apk", "apk");
  std::string second = dir.Write("two/演示 包.apk", "apk");

  ChildProgram& run = Run({"Decompile", first, second});

  EXPECT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_EQ(run.out, "------反编译 开始------\ntool saw " + dir / "one/a" +
                         "\n------反编译 结束------用时：0秒------\n------反编译 开始------\n"
                         "tool saw " +
                         dir / "two/演示 包" + "\n------反编译 结束------用时：0秒------\n");
  EXPECT_EQ(run.err, "");
}

TEST_F(VelmoraRun, ExitsWithOneWhenAToolFailsOrCannotStart) {
  dir.Write("settings.ini", "[Fails]\nSourceFileType=none\nDestFileType=none\nCommand=" + tool +
                                "\nCommandLine=x 4\n[Missing]\nSourceFileType=none\n"
                                "DestFileType=none\nCommand=" +
                                dir / "no-such-tool" + "\n");

  EXPECT_EQ(Run({"Fails"}).exitStatus, 1);
  ChildProgram& missing = Run({"Missing"});
  EXPECT_EQ(missing.exitStatus, 1);
  EXPECT_NE(missing.out.find("File not exists:" + dir / "no-such-tool"), std::string::npos);
}

TEST_F(VelmoraRun, ExitsWithTwoAndTheMessageOnErrorWhenTheSourceIsMissing) {
  dir.Write("settings.ini", "[Compile]\nSourceFileType=directory\nCommand=" + tool + "\n");

  ChildProgram& run = Run({"Compile", dir / "nothing-here"});

  EXPECT_EQ(run.exitStatus, 2);
  EXPECT_EQ(run.err, "路径不存在，请重新选择路径\n");
  EXPECT_EQ(run.out, "");
}

TEST_F(VelmoraRun, NeverReplacesADestinationWithoutForce) {
  dir.Write("settings.ini", "[Compile]\nSourceFileType=directory\nCommand=" + tool +
                                "\nCommandLine=\"%DestFile%\"\n");
  std::filesystem::create_directory(dir / "app");
  std::string existing = dir.Write("app_mod.apk", "keep me");

  ChildProgram& refused = Run({"Compile", dir / "app"});
  EXPECT_EQ(refused.exitStatus, 2);
  EXPECT_NE(refused.err.find(existing + " already exists"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(tool + ".args"));

  EXPECT_EQ(Run({"--force", "Compile", dir / "app"}).exitStatus, 0);
  EXPECT_EQ(RecordedArguments(tool), (Lines{existing}));
}

TEST_F(VelmoraRun, TakesTheDestinationFromOutput) {
  dir.Write("settings.ini", "[Compile]\nSourceFileType=directory\nCommand=" + tool +
                                "\nCommandLine=\"%DestFile%\"\n");
  std::filesystem::create_directory(dir / "app");

  EXPECT_EQ(Run({"--output", dir / "built.apk", "Compile", dir / "app"}).exitStatus, 0);
  EXPECT_EQ(RecordedArguments(tool), (Lines{dir / "built.apk"}));
}

TEST_F(VelmoraRun, ExitsWithTwoWhenTheCopyFails) {
  dir.Write("settings.ini", "[Signer]\nCopyFile=true\nCommand=" + tool + "\n");
  std::string package = dir.Write("app.apk", "apk");

  ChildProgram& run = Run({"--output", dir / "missing folder/x.apk", "Signer", package});

  EXPECT_EQ(run.exitStatus, 2);
  EXPECT_EQ(run.err,
            "复制文件 " + package + " -> " + dir / "missing folder/x.apk" + " 失败，请检查\n");
}

TEST_F(VelmoraRun, BuildsThenSignsTheResultInPlace) {
  std::string builder = WriteRecordingTool(dir, "builder", "echo built > \"$1\"");
  std::string signer = WriteRecordingTool(dir, "signer");
  dir.Write("settings.ini", "[Compile]\nSourceFileType=directory\nCommand=" + builder +
                                "\nCommandLine=\"%DestFile%\"\n[Signer]\nCopyFile=true\n"
                                "Command=" +
                                signer +
                                "\nCommandLine=--in \"%SourceFile%\" --out \"%DestFile%\"\n");
  std::filesystem::create_directory(dir / "app");

  ChildProgram& run = Run({"--build-sign", dir / "app/"});

  EXPECT_EQ(run.exitStatus, 0) << run.err;
  std::string built = dir / "app_mod_signed.apk";
  EXPECT_EQ(RecordedArguments(builder), (Lines{built}));
  EXPECT_EQ(RecordedArguments(signer), (Lines{"--in", built, "--out", built}));
  EXPECT_NE(run.out.find("秒------\n\n------"), std::string::npos) << "an empty line between";
}

TEST_F(VelmoraRun, UsesTheStoredSignerTypeUnlessToldAndNeverWritesItBack) {
  std::string settings = "[General]\nSignerType=1\n[Signer]\nCommand=" + tool +
                         "\nCommandLine=apk\n[Signer_JDK]\nCommand=" + tool +
                         "\nCommandLine=jdk\nCommandLine_1=tsa\n";
  dir.Write("settings.ini", settings);
  std::string package = dir.Write("app.apk", "apk");

  Run({"--force", "Signer", package});
  EXPECT_EQ(RecordedArguments(tool), (Lines{"jdk"}));
  Run({"--force", "--signer", "2", "Signer", package});
  EXPECT_EQ(RecordedArguments(tool), (Lines{"jdk", "tsa"}));
  Run({"--force", "--signer=0", "Signer", package});
  EXPECT_EQ(RecordedArguments(tool), (Lines{"apk"}));
  EXPECT_EQ(dir.Read("settings.ini"), settings);

  dir.Write("settings.ini", "[General]\nSignerType=abc\n");
  ChildProgram& bad = Run({"Signer", package});
  EXPECT_EQ(bad.exitStatus, 2);
  EXPECT_NE(bad.err.find("'abc' is not a valid integer value"), std::string::npos);
}

TEST_F(VelmoraRun, ListsTheCommandSectionsAndMarksEnabledUserButtons) {
  dir.Write("settings.ini",
            "[General]\nSignerType=0\n[KeystoreFile]\nalias=a\n[Decompile]\nComments=反编译\n"
            "[UserDefine1]\nComments=安装\nEnabled=TRUE\n[UserDefine2]\nComments=备用\n");

  ChildProgram& run = Run({"--list"});

  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_EQ(run.out,
            "Decompile         反编译\n"
            "UserDefine1       安装  [enabled]\n"
            "UserDefine2       备用\n");
}

TEST_F(VelmoraRun, WritesEachLineThroughAPipeBeforeTheToolEnds) {
  std::string flag = dir / "go-on";
  std::string waiting = WriteRecordingTool(
      dir, "waiting",
      "echo first\ni=0\nwhile [ ! -e \"$1\" ] && [ $i -lt 600 ]; do sleep 0.05; i=$((i+1)); done\n"
      "[ -e \"$1\" ] && echo second || echo gave-up");
  dir.Write("settings.ini", "[Wait]\nSourceFileType=none\nDestFileType=none\nCommand=" + waiting +
                                "\nCommandLine=\"" + flag + "\"\n");

  ChildProgram run({VELMORA_RUN_PATH, "--ini", ini, "Wait"});
  EXPECT_EQ(run.ReadOutputLine(), "------ 开始------");
  EXPECT_EQ(run.ReadOutputLine(), "first");
  dir.Write("go-on", "");
  run.Wait();
  EXPECT_EQ(run.out, "second\n------ 结束------用时：0秒------\n");
  EXPECT_EQ(run.exitStatus, 0);
}

TEST_F(VelmoraRun, RefusesAnUnknownSectionAsAUsageError) {
  dir.Write("settings.ini", "[General]\nSignerType=1\n[Signer]\nCommand=" + tool + "\n");
  for (auto [section, missing] : {std::pair{"Decompiel", "Decompiel"}, {"Signer", "Signer_JDK"}}) {
    ChildProgram& run = Run({section, ini});
    EXPECT_EQ(run.exitStatus, 2);
    EXPECT_EQ(run.err, "velmora-run: no such section: " + std::string(missing) + "\n");
  }
}

TEST_F(VelmoraRun, FailsWhenStandardOutputCannotBeWritten) {
  dir.Write("settings.ini", "[Say]\nSourceFileType=none\nDestFileType=none\nCommand=" + tool +
                                "\nCommandLine=x 0\n");
  for (std::string redirection : {">/dev/full", ">&-"}) {
    for (std::string arguments : {"--help", "--ini \"$1\" Say"}) {
      ChildProgram run(
          {"/bin/sh", "-c", "exec \"$0\" " + arguments + " " + redirection, VELMORA_RUN_PATH, ini});
      run.Wait();
      EXPECT_EQ(run.exitStatus, 1) << arguments << redirection;
      EXPECT_TRUE(run.err.starts_with("velmora-run: cannot write to standard output"));
    }
  }
}

// Each value names the next many times, so the text multiplies within one pass.
TEST_F(VelmoraRun, StopsAnExpansionThatMultipliesWithinOnePass) {
  std::string settings =
      "[Grow]\nSourceFileType=none\nDestFileType=none\nCommand=" + tool +
      "\nCommandLine=%keystore%\n[KeystoreFile]\nalias=" + std::string(2047, 'x');
  for (auto [key, names, times] : {std::tuple{"keypass", "%alias%", 292},
                                   {"storepass", "%keypass%", 227},
                                   {"keystore", "%storepass%", 186}}) {
    settings += std::string("\n") + key + "=";
    for (int i = 0; i < times; ++i) settings += names;
  }
  dir.Write("settings.ini", settings + "\n");

  ChildProgram& run = Run({"Grow"});

  EXPECT_EQ(run.exitStatus, 2);
  EXPECT_EQ(run.err, "替换占位符 %keystore% 无法结束，请检查\n");
  struct rusage children {};
  ::getrusage(RUSAGE_CHILDREN, &children);
  EXPECT_LT(children.ru_maxrss, 256 * 1024) << "kilobytes, of the largest child";
}

TEST_F(VelmoraRun, SkipsSigningAfterAFailedRebuild) {
  std::string signer = WriteRecordingTool(dir, "signer");
  dir.Write("settings.ini", "[Compile]\nSourceFileType=directory\nCommand=" + tool +
                                "\nCommandLine=\"%DestFile%\" 1\n[Signer]\nCommand=" + signer +
                                "\n");
  std::filesystem::create_directory(dir / "app");
  std::string older = dir.Write("app_mod_signed.apk", "older package");

  ChildProgram& run = Run({"--force", "--build-sign", dir / "app"});

  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_TRUE(run.out.ends_with("秒------\n回编译失败，已跳过签名\n")) << run.out;
  EXPECT_EQ(TempDir::ReadFile(older), "older package");
  EXPECT_FALSE(std::filesystem::exists(signer + ".args"));
}

// Text that outgrows standard output's buffer is written straight through; a
// closed pipe must stop the tool then too, not only after a buffered write.
TEST_F(VelmoraRun, StopsAFloodingToolOnceItsOutputPipeCloses) {
  const std::string flooding = WriteRecordingTool(
      dir, "flooding",
      std::string(VELMORA_FLOOD_TOOL) + " 268435456 1048576 same && touch \"$0.done\"");
  dir.Write("settings.ini",
            "[Flood]\nSourceFileType=none\nDestFileType=none\nCommand=" + flooding + "\n");
  ChildProgram run({VELMORA_RUN_PATH, "--ini", ini, "Flood"});
  ASSERT_EQ(run.ReadOutputLine(), "------ 开始------");

  run.CloseOutput();
  run.Wait();

  EXPECT_EQ(run.exitStatus, 128 + SIGPIPE);
  EXPECT_FALSE(std::filesystem::exists(flooding + ".done")) << "the tool ran to its end";
}

// How velmora-run is stopped in the middle of a batch: by a signal, or by
// the reader of its output going away (0).
struct StopCase {
  const char* name;
  int signal;
};

class VelmoraRunStopped : public VelmoraRun, public ::testing::WithParamInterface<StopCase> {};

TEST_P(VelmoraRunStopped, ends_the_whole_tool_and_skips_the_rest_of_the_batch) {
  const std::string pids = dir / "pids";
  dir.Write("settings.ini",
            "[Stubborn]\nComments=stubborn\nSourceFileType=none\nDestFileType=none\nCommand=" +
                std::string(VELMORA_STUBBORN_TOOL) + "\nCommandLine=\"" + pids + "\"\n");
  ChildProgram run({VELMORA_RUN_PATH, "--ini", ini, "Stubborn", "first", "second"});
  ASSERT_EQ(run.ReadOutputLine(), "------stubborn 开始------");
  ASSERT_EQ(run.ReadOutputLine(), "started");

  const int signal = GetParam().signal;
  const auto stopped = std::chrono::steady_clock::now();
  if (signal != 0) {
    ::kill(run.Pid(), signal);
  } else {
    run.CloseOutput();
  }
  run.Wait();

  EXPECT_LT(std::chrono::steady_clock::now() - stopped, kStopGracePeriod + std::chrono::seconds(1));
  ASSERT_TRUE(WIFEXITED(run.waitStatus)) << "velmora-run died of its signal";
  EXPECT_EQ(run.exitStatus, 128 + (signal != 0 ? signal : SIGPIPE));
  for (const pid_t pid : test::StubbornPids(pids)) EXPECT_TRUE(test::HasEnded(pid)) << pid;
  if (signal != 0) {
    EXPECT_NE(run.out.find("tick\n程序已被用户停止运行\n------stubborn 结束------用时："),
              std::string::npos)
        << run.out;
    EXPECT_EQ(run.out.find("开始"), std::string::npos) << "the second source ran";
  }
}

// zipalign opens its output for writing before it reads its input: through a
// link to the source, it would empty the source.
TEST_F(VelmoraRun, RefusesADestinationThatIsTheSourceItselfAndLeavesTheSourceWhole) {
  const std::string emptying = WriteRecordingTool(dir, "emptying", ": > \"$2\"");
  const std::string keys =
      "Command=" + emptying + "\nCommandLine=\"%SourceFile%\" \"%DestFile%\"\n";
  dir.Write("settings.ini", "[ZipAlign]\n" + keys + "[Signer]\nCopyFile=true\n" + keys);
  const std::string source = dir.Write("a/z.apk", "package bytes");
  std::filesystem::create_symlink(source, dir / "zl.apk");
  std::filesystem::create_hard_link(source, dir / "zh.apk");

  for (const char* section : {"ZipAlign", "Signer"}) {
    for (const std::string& destination :
         {dir / "zl.apk", dir / "zh.apk", dir / "./a/../a/z.apk"}) {
      ChildProgram& run = Run({"-f", "-o", destination, section, source});
      EXPECT_EQ(run.exitStatus, 1) << section << " " << destination;
      EXPECT_EQ(run.err, "目标 " + destination + " 与源文件 " + source + " 是同一个文件，请检查\n");
      EXPECT_EQ(TempDir::ReadFile(source), "package bytes");
      EXPECT_FALSE(std::filesystem::exists(emptying + ".args")) << "the tool ran";
    }
  }
}

// Java tools write "z.apk/" as "z.apk", so a destination given with a slash
// after it names the file, for the existing-file check as for the same-file one.
TEST_F(VelmoraRun, TakesAnOutputWithTrailingSlashesForTheFileItNames) {
  const std::string emptying = WriteRecordingTool(dir, "emptying", ": > \"${2%/}\"");
  dir.Write("settings.ini",
            "[ZipAlign]\nCommand=" + emptying + "\nCommandLine=\"%SourceFile%\" \"%DestFile%\"\n");
  const std::string source = dir.Write("z.apk", "package bytes");

  EXPECT_EQ(Run({"-o", source + "/", "ZipAlign", source}).exitStatus, 2);
  EXPECT_EQ(Run({"-f", "-o", source + "/", "ZipAlign", source}).exitStatus, 1);
  EXPECT_EQ(TempDir::ReadFile(source), "package bytes");
  EXPECT_FALSE(std::filesystem::exists(emptying + ".args")) << "the tool ran";
}

TEST_F(VelmoraRun, HandsTheKeystorePasswordsToItsToolInTheEnvironment) {
  const std::string showing =
      WriteRecordingTool(dir, "showing", "echo \"$VELMORA_STOREPASS|$VELMORA_KEYPASS\"");
  dir.Write("settings.ini",
            "[KeystoreFile]\nstorepass=pass %alias%\nalias=key\nkeypass=\n[Show]\n"
            "SourceFileType=none\nDestFileType=none\nCommand=" +
                showing + "\nCommandLine=%storepass%\n");

  ChildProgram run({VELMORA_RUN_PATH, "--ini", ini, "Show"},
                   {{"VELMORA_STOREPASS", "inherited"}, {"VELMORA_KEYPASS", "exported"}});
  run.Wait();

  EXPECT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_NE(run.out.find("\npass key|exported\n"), std::string::npos)
      << "an empty keypass lets the exported one through\n"
      << run.out;
  EXPECT_EQ(RecordedArguments(showing), (Lines{"pass", "key"})) << "templates expand it as before";
}

TEST_F(VelmoraRun, RefusesARunThatWouldUseAValueLongerThanAValueMayBe) {
  const std::string tooLong = "=" + std::string(kMaxValueBytes + 1, 'x') + "\n";
  const std::string run = "[Run]\nSourceFileType=none\nDestFileType=none\nCommand=" + tool + "\n";
  for (auto [section, key, settings] :
       {std::tuple{"KeystoreFile", "storepass", run + "[KeystoreFile]\nstorepass" + tooLong},
        {"General", "JAVA_HOME", "[General]\nJAVA_HOME" + tooLong + run},
        {"General", "framework_path", "[General]\nframework_path" + tooLong + run},
        {"General", "SignerType", "[General]\nSignerType" + tooLong + run},
        {"Run", "Comments", run + "Comments" + tooLong}}) {
    dir.Write("settings.ini", settings);
    ChildProgram& refused = Run({"Run"});
    EXPECT_EQ(refused.exitStatus, 2) << key;
    EXPECT_EQ(refused.err,
              "配置项 [" + std::string(section) + "] " + key + " 超过2047字节被截断，请检查\n");
    EXPECT_FALSE(std::filesystem::exists(tool + ".args")) << key;
  }
}

TEST_F(VelmoraRun, RefusesASettingsFileOverTheLimitWithoutReadingIt) {
  dir.Write("settings.ini", "[Run]\nSourceFileType=none\nDestFileType=none\n");
  std::filesystem::resize_file(ini, std::uintmax_t{4} << 30);
  for (const Lines& arguments : {Lines{"--list"}, Lines{"Run"}}) {
    ChildProgram& run = Run(arguments);
    EXPECT_EQ(run.exitStatus, 2) << arguments[0];
    EXPECT_EQ(run.err, "配置文件" + ini + "超过16 MiB（16777216字节）的大小上限，未读取，请检查\n");
    EXPECT_EQ(run.out, "");
  }
}

// Listing looks at every section's keys; read again for each, the file made
// the listing quadratic in the number of sections.
TEST_F(VelmoraRun, ListsThousandsOfSectionsFromOneReadingOfTheFile) {
  std::string settings;
  for (int number = 0; number < 3000; ++number) {
    settings += "[UserDefine" + std::to_string(number) + "]\nComments=c\nEnabled=true\n";
  }
  dir.Write("settings.ini", settings);
  // Each open is followed by a close, so that the kernel cannot fold
  // successive opens into one event.
  const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  ASSERT_GE(::inotify_add_watch(watch, ini.c_str(), IN_OPEN | IN_CLOSE), 0);

  ChildProgram& run = Run({"--list"});

  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 3000);
  int opens = 0;
  for (inotify_event event; ::read(watch, &event, sizeof event) == sizeof event;) {
    if ((event.mask & IN_OPEN) != 0) ++opens;
  }
  ::close(watch);
  EXPECT_EQ(opens, 1);
}

TEST_F(VelmoraRun, KilledWithSigkillTakesItsToolAndWhatTheToolStartedAlong) {
  const std::string pids = dir / "pids";
  dir.Write("settings.ini", "[Stubborn]\nSourceFileType=none\nDestFileType=none\nCommand=" +
                                std::string(VELMORA_STUBBORN_TOOL) + "\nCommandLine=\"" + pids +
                                "\"\n");
  ChildProgram run({VELMORA_RUN_PATH, "--ini", ini, "Stubborn"});
  ASSERT_EQ(run.ReadOutputLine(), "------ 开始------");
  ASSERT_EQ(run.ReadOutputLine(), "started");

  ::kill(run.Pid(), SIGKILL);
  run.Wait();

  EXPECT_TRUE(test::AllEndWithin(test::StubbornPids(pids), std::chrono::seconds(20)));
}

INSTANTIATE_TEST_SUITE_P(Stops, VelmoraRunStopped,
                         ::testing::Values(StopCase{"interrupt", SIGINT},
                                           StopCase{"terminate", SIGTERM},
                                           StopCase{"hang_up", SIGHUP},
                                           StopCase{"closed_output_pipe", 0}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace velmora
