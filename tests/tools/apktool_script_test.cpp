#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "config/settings.h"
#include "config/tool_locations.h"
#include "support/child_program.h"
#include "support/recording_tool.h"
#include "support/required_tools.h"
#include "support/temp_dir.h"

namespace velmora::test {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

// A stand-in for an apktool release jar: it says which collector, compiler
// tiers and heap ceiling Java runs it with, and its arguments, and ends with
// status 3 when its first argument is "fail".
constexpr std::string_view kStandInSource = R"(
import com.sun.management.HotSpotDiagnosticMXBean;
import java.lang.management.ManagementFactory;

public class StandIn {
  public static void main(String[] args) {
    HotSpotDiagnosticMXBean vm = ManagementFactory.getPlatformMXBean(HotSpotDiagnosticMXBean.class);
    for (String flag : new String[] {"UseSerialGC", "UseParallelGC", "UseG1GC", "TieredStopAtLevel"})
      System.out.println(flag + ": " + vm.getVMOption(flag).getValue());
    long heap = Long.parseLong(vm.getVMOption("MaxHeapSize").getValue());
    System.out.println("heap MB: " + heap / (1024 * 1024));
    for (String argument : args) System.out.println("argument: " + argument);
    System.exit(args.length > 0 && args[0].equals("fail") ? 3 : 0);
  }
}
)";

// apktool.sh with what it needs of the build's tool folder, copied, and a Java
// home of its own whose java records how it was started and then runs the
// shipped Java.
class ApktoolScriptTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RequireTools({"apktool", "aapt2", "javac", "jar"});
    if (IsSkipped() || HasFailure()) return;
    fs::create_directories(tool_);
    fs::copy(VELMORA_TEST_PROGRAM_DIR "/tool/apktool.sh", tool_ + "/apktool.sh");
    for (const char* folder : {"/aapt2", "/lib"}) {
      fs::copy(VELMORA_TEST_PROGRAM_DIR "/tool" + std::string(folder), tool_ + folder,
               fs::copy_options::recursive);
    }
    const std::string realJava = ResolveJavaHome(Settings(VELMORA_TEST_PROGRAM_DIR)) + "/bin/java";
    java_ = WriteRecordingTool(work_, "假 java/bin/java", "exec \"" + realJava + "\" \"$@\"");
  }

  void PutStandInJar() const {
    const std::string source = work_.Write("stand-in/StandIn.java", kStandInSource);
    const FinishedProgram compile = RunToEnd({"javac", "-d", work_ / "stand-in", source});
    ASSERT_EQ(compile.exitStatus, 0) << compile.err;
    const FinishedProgram pack =
        RunToEnd({"jar", "--create", "--file", tool_ + "/apktool.jar", "--main-class", "StandIn",
                  "-C", work_ / "stand-in", "StandIn.class"});
    ASSERT_EQ(pack.exitStatus, 0) << pack.err;
  }

  FinishedProgram Run(const Lines& apktoolArguments, const EnvironmentChanges& environment = {},
                      const std::string& javaHome = "") const {
    Lines command{tool_ + "/apktool.sh", "--java-home",
                  javaHome.empty() ? work_ / "假 java" : javaHome};
    command.insert(command.end(), apktoolArguments.begin(), apktoolArguments.end());
    return RunToEnd(command, environment);
  }

  TempDir work_;
  const std::string tool_ = work_ / "工具 目录";
  std::string java_;
};

TEST_F(ApktoolScriptTest, runs_the_jar_in_the_tool_folder_on_the_java_of_the_java_home) {
  ASSERT_NO_FATAL_FAILURE(PutStandInJar());
  const std::string folder = work_ / "演示 app";

  const FinishedProgram run =
      Run({"b", "-f", "-o", folder + ".apk", folder}, {{"VELMORA_APKTOOL_HEAP", "300m"}});

  EXPECT_EQ(run.exitStatus, 0) << run.out << run.err;
  EXPECT_EQ(RecordedArguments(java_),
            (Lines{"-Dfile.encoding=utf-8", "-XX:+UseSerialGC", "-Xmx300m", "-jar",
                   tool_ + "/apktool.jar", "b", "-f", "-o", folder + ".apk", folder}));
  EXPECT_NE(run.out.find("heap MB: 300\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("argument: " + folder + "\n"), std::string::npos) << run.out;
  EXPECT_EQ(Run({"fail"}).exitStatus, 3) << "the status is the jar's";
}

// cd searches CDPATH, exported by some users' shells, for a relative folder.
TEST_F(ApktoolScriptTest, finds_its_own_folder_when_started_by_a_relative_path_under_a_cdpath) {
  ASSERT_NO_FATAL_FAILURE(PutStandInJar());
  fs::create_directories(work_ / "别处/工具 目录");

  const FinishedProgram run =
      RunToEnd({"sh", "-c", "cd \"$0\" && exec \"$@\"", work_.path(), "工具 目录/apktool.sh",
                "--java-home", work_ / "假 java", "d", "app.apk"},
               {{"CDPATH", work_ / "别处"}});

  EXPECT_EQ(run.exitStatus, 0) << run.out << run.err;
  EXPECT_EQ(RecordedArguments(java_).back(), "app.apk");
}

TEST_F(ApktoolScriptTest, without_a_jar_rebuilds_with_debians_apktool_through_aapt2) {
  const std::string folder = work_ / "不存在 的 app";

  const FinishedProgram run =
      Run({"b", "-f", "-o", folder + ".apk", folder}, {{"VELMORA_APKTOOL_HEAP", "2g"}});

  EXPECT_NE(run.exitStatus, 0);
  // Debian's own -Xmx512M comes first; the later one is the one Java takes.
  EXPECT_EQ(RecordedArguments(java_),
            (Lines{"-Xmx512M", "-Dfile.encoding=utf-8", "-XX:+UseSerialGC", "-Xmx2g", "-cp",
                   "/usr/share/apktool/*", "brut.apktool.Main", "b", "--use-aapt2", "-f", "-o",
                   folder + ".apk", folder}))
      << run.out << run.err;

  Run({"d", folder + ".apk"}, {{"JAVA_TOOL_OPTIONS", "-Xmx700m"}});
  EXPECT_EQ(RecordedArguments(java_).at(4), "-Xmx700m") << "the user's heap, after Debian's";
}

struct JavaOptionsCase {
  std::string name;
  EnvironmentChanges environment;
  Lines said;  // lines the stand-in prints
  std::string command = "d";
};

void PrintTo(const JavaOptionsCase& options, std::ostream* out) {
  *out << options.name;
}

class ApktoolScriptJavaOptionsTest : public ApktoolScriptTest,
                                     public ::testing::WithParamInterface<JavaOptionsCase> {};

TEST_P(ApktoolScriptJavaOptionsTest, reach_java_and_the_users_own_win) {
  ASSERT_NO_FATAL_FAILURE(PutStandInJar());
  const std::string package = work_.Write("演示 app.apk", "");

  const FinishedProgram run = Run({GetParam().command, package}, GetParam().environment);

  ASSERT_EQ(run.exitStatus, 0) << run.out << run.err;
  for (const std::string& line : GetParam().said) {
    EXPECT_NE(run.out.find(line + "\n"), std::string::npos) << line << "\n" << run.out;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Choices, ApktoolScriptJavaOptionsTest,
    ::testing::Values(
        JavaOptionsCase{"shipped",
                        {{"VELMORA_APKTOOL_HEAP", "300m"}},
                        {"UseSerialGC: true", "TieredStopAtLevel: 1", "heap MB: 300"}},
        JavaOptionsCase{
            "shipped_for_a_rebuild", {}, {"UseSerialGC: true", "TieredStopAtLevel: 4"}, "b"},
        JavaOptionsCase{
            "velmora_java_options_last",
            {{"VELMORA_APKTOOL_HEAP", "300m"},
             {"VELMORA_JAVA_OPTIONS", "-XX:+UseParallelGC -XX:TieredStopAtLevel=3 -Xmx200m"}},
            {"UseSerialGC: false", "UseParallelGC: true", "TieredStopAtLevel: 3", "heap MB: 200"}},
        JavaOptionsCase{
            "java_tool_options",
            {{"JAVA_TOOL_OPTIONS", "-XX:+UseG1GC -XX:TieredStopAtLevel=2 -Xmx250m"}},
            {"UseSerialGC: false", "UseG1GC: true", "TieredStopAtLevel: 2", "heap MB: 250"}},
        JavaOptionsCase{"velmora_apktool_heap_over_java_tool_options",
                        {{"JAVA_TOOL_OPTIONS", "-Xmx250m"}, {"VELMORA_APKTOOL_HEAP", "300m"}},
                        {"UseSerialGC: true", "heap MB: 300"}}),
    [](const auto& info) { return info.param.name; });

struct RefusalCase {
  std::string name;
  std::string javaHome;  // empty: the recording one
  std::string heap;
  int exitStatus = 0;
  std::string said;  // a part of the output
};

void PrintTo(const RefusalCase& refusal, std::ostream* out) {
  *out << refusal.name;
}

class ApktoolScriptRefusalTest : public ApktoolScriptTest,
                                 public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(ApktoolScriptRefusalTest, says_why_and_starts_nothing) {
  const std::string javaHome = GetParam().javaHome.empty() ? "" : work_ / GetParam().javaHome;
  if (!javaHome.empty()) fs::create_directories(javaHome);

  const FinishedProgram run =
      Run({"d", "x.apk"}, {{"VELMORA_APKTOOL_HEAP", GetParam().heap}}, javaHome);

  EXPECT_EQ(run.exitStatus, GetParam().exitStatus);
  EXPECT_NE((run.out + run.err).find(GetParam().said), std::string::npos) << run.out << run.err;
  EXPECT_EQ(RecordedArguments(java_), Lines{});
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, ApktoolScriptRefusalTest,
    ::testing::Values(
        RefusalCase{
            "no_java_in_the_java_home", "空 java", "", 127,
            "提示：没有找到Java，无法运行apktool。请在Velmora.ini的[General]中把JAVA_HOME设为"},
        RefusalCase{"a_heap_java_cannot_take", "", "lots", 2,
                    "VELMORA_APKTOOL_HEAP must be a size such as 8g or 6000m, not: lots"}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace velmora::test
