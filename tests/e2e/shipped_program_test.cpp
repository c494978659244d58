#include "e2e/shipped_program_test.h"

#include <sys/wait.h>

#include <algorithm>
#include <filesystem>

#include "exec/button_requests.h"
#include "support/required_tools.h"

namespace velmora::test {
namespace {

namespace fs = std::filesystem;

// Copies a folder of the test data to `copy` and returns `copy`.
std::string CopyOfTestData(std::string_view dataFolder, const std::string& copy) {
  fs::copy(VELMORA_TEST_DATA_DIR "/" + std::string(dataFolder), copy, fs::copy_options::recursive);
  return copy;
}

bool ToolSucceeded(const RunReport& report) {
  return report.ending == RunEnding::kToolRan && report.tool.started &&
         WIFEXITED(report.tool.waitStatus) && WEXITSTATUS(report.tool.waitStatus) == 0;
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

RunReport PressButton(const Settings& settings, std::string_view section, const std::string& source,
                      const std::string& answer, RecordingWindow& window) {
  window.pathField = source;
  window.answer = answer;
  return RunSectionReport(ButtonRequestFor(section, settings), settings, window);
}

}  // namespace

std::unique_ptr<ShippedProgram> ShippedProgramTest::program_;
std::unique_ptr<TempDir> ShippedProgramTest::splitAppDir_;
std::unique_ptr<SplitApp> ShippedProgramTest::splitApp_;
std::string ShippedProgramTest::unsignedPackage_;
std::string ShippedProgramTest::buildOutput_;

void ShippedProgramTest::SetUpTestSuite() {
  program_ = std::make_unique<ShippedProgram>();
}

void ShippedProgramTest::TearDownTestSuite() {
  splitApp_.reset();
  splitAppDir_.reset();
  program_.reset();
  unsignedPackage_.clear();
  buildOutput_.clear();
}

void ShippedProgramTest::SetUp() {
  RequireTools({"apktool", "apksigner", "zipalign", "jarsigner", "smali", "baksmali"});
  if (IsSkipped() || HasFailure()) return;
  // The build makes the keystore with keytool, which comes with jarsigner.
  ASSERT_TRUE(fs::is_regular_file(Program().Keystore())) << "the build made no debug keystore";
  fs::create_directories(folder_);
}

std::string ShippedProgramTest::CopyOfDemoApp(std::string_view name) const {
  return CopyOfTestData("demo", folder_ + "/" + std::string(name));
}

std::string ShippedProgramTest::CopyOfBrokenSmali(std::string_view name) const {
  return CopyOfTestData("broken-smali", folder_ + "/" + std::string(name));
}

void ShippedProgramTest::CopySplitSetTo(const std::string& folder) const {
  if (!splitApp_) {
    splitAppDir_ = std::make_unique<TempDir>();
    splitApp_ = std::make_unique<SplitApp>(*splitAppDir_);
  }
  ASSERT_EQ(splitApp_->Error(), "");
  fs::create_directories(folder);
  for (const auto& [name, path] : splitApp_->SetFiles()) fs::copy_file(path, folder + "/" + name);
}

void ShippedProgramTest::BuildUnsignedPackage() {
  const std::string shared = program_->FolderBeside("共享 演示");
  const std::string demo = CopyOfTestData("demo", shared + "/演示 app");
  RecordingWindow window;
  const RunReport build =
      PressButton(ShippedSettings(), "Compile", demo, shared + "/演示 app.apk", window);
  buildOutput_ = Joined(window.lines);
  if (ToolSucceeded(build)) unsignedPackage_ = build.result;
}

void ShippedProgramTest::CopyUnsignedPackageTo(const std::string& path) const {
  if (unsignedPackage_.empty() && buildOutput_.empty()) BuildUnsignedPackage();
  ASSERT_FALSE(unsignedPackage_.empty()) << "the demo app did not build:\n" << buildOutput_;
  fs::copy_file(unsignedPackage_, path);
}

RunReport ShippedProgramTest::Press(std::string_view section, const std::string& source,
                                    const std::string& answer) {
  return Press(ShippedSettings(), section, source, answer);
}

RunReport ShippedProgramTest::Press(const Settings& settings, std::string_view section,
                                    const std::string& source, const std::string& answer) {
  return PressButton(settings, section, source, answer, window_);
}

std::string ShippedProgramTest::Output() const {
  return Joined(window_.lines);
}

bool ShippedProgramTest::OutputHolds(std::string_view text) const {
  return std::any_of(window_.lines.begin(), window_.lines.end(),
                     [text](const std::string& line) { return Holds(line, text); });
}

::testing::AssertionResult ShippedProgramTest::EndedWithStatus(std::string_view comment,
                                                               int status) const {
  const std::vector<std::string>& lines = window_.lines;
  const bool ended = !lines.empty() && IsEndBanner(lines.back(), comment);
  const bool statusRight =
      status == 0 ? !OutputHolds("程序运行出错") && !OutputHolds("程序被信号终止")
                  : lines.size() >= 2 && lines[lines.size() - 2] ==
                                             "程序运行出错，退出代码：" + std::to_string(status);
  if (ended && statusRight) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "no end of a run of " << comment << " with status " << status << " in:\n"
         << Output();
}

FinishedProgram VerifySignature(const std::string& package) {
  return RunToEnd({"apksigner", "verify", "--verbose", "--print-certs", package});
}

bool IsAligned(const std::string& package) {
  return RunToEnd({"zipalign", "-c", "-p", "4", package}).exitStatus == 0;
}

std::string ListedClasses(const std::string& dexOrPackage) {
  const FinishedProgram listing = RunToEnd({"baksmali", "list", "classes", dexOrPackage});
  return listing.out + listing.err;
}

bool Zipped(const std::string& folder, const std::string& archive) {
  return RunToEnd({"sh", "-c", "cd \"$0\" && zip -qr \"$1\" .", folder, archive}).exitStatus == 0;
}

bool IsEndBanner(const std::string& line, std::string_view comment) {
  const std::string start = "------" + std::string(comment) + " 结束------用时：";
  const std::string end = "秒------";
  if (!line.starts_with(start) || !line.ends_with(end)) return false;
  const std::string seconds = line.substr(start.size(), line.size() - start.size() - end.size());
  return !seconds.empty() &&
         std::all_of(seconds.begin(), seconds.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace velmora::test
