#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>

#include "config/settings.h"
#include "e2e/shipped_program.h"
#include "exec/command_pipeline.h"
#include "exec/recording_window.h"
#include "support/child_program.h"
#include "support/split_app.h"
#include "support/temp_dir.h"

namespace velmora::test {

// A test of the shipped program with the real Android tools. A suite shares one
// copy of the program folder, where apktool extracts its framework file (about
// 45 MB) on first use, and one unsigned package built from the demo app when a
// test first asks for it. Tests work in a folder of their own and leave what
// the suite shares as it was, so their order does not matter.
class ShippedProgramTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite();
  static void TearDownTestSuite();

  // Skips the test, or fails it under CI, when a tool is missing.
  void SetUp() override;

  static const ShippedProgram& Program() { return *program_; }
  static Settings ShippedSettings() { return program_->ShippedSettings(); }

  // The demo app's decoded folder, copied into the work folder as `name`.
  std::string CopyOfDemoApp(std::string_view name) const;
  // Copies the suite's unsigned package to `path`; a fatal failure when it
  // could not be built.
  void CopyUnsignedPackageTo(const std::string& path) const;
  // The broken smali folder, copied into the work folder as `name`.
  std::string CopyOfBrokenSmali(std::string_view name) const;
  // Copies the APKs of the suite's split app (support/split_app.h, built when
  // a test first asks for it) into the new folder `folder`; a fatal failure
  // when aapt2 could not build it.
  void CopySplitSetTo(const std::string& folder) const;

  // Presses the button that runs `section` with the path field holding
  // `source`; the save prompt, if it is shown, is answered with `answer`.
  RunReport Press(std::string_view section, const std::string& source,
                  const std::string& answer = "");
  RunReport Press(const Settings& settings, std::string_view section, const std::string& source,
                  const std::string& answer = "");

  // The output area, a line a line, for the messages of failed expectations.
  std::string Output() const;
  bool OutputHolds(std::string_view text) const;
  // Whether the output ends with the end banner of a run whose Comments are
  // `comment`, right after the line that reports exit status `status`, or,
  // for status 0, with no line about the tool's end at all.
  ::testing::AssertionResult EndedWithStatus(std::string_view comment, int status) const;

  TempDir work_;
  const std::string folder_ = work_ / "工作 区";
  RecordingWindow window_;

 private:
  static void BuildUnsignedPackage();

  static std::unique_ptr<ShippedProgram> program_;
  static std::unique_ptr<TempDir> splitAppDir_;
  static std::unique_ptr<SplitApp> splitApp_;
  static std::string unsignedPackage_;  // empty until built, or when the build failed
  static std::string buildOutput_;
};

// Whether `part` appears in `text`.
inline bool Holds(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

// What apksigner verify says of `package`, with its certificates.
FinishedProgram VerifySignature(const std::string& package);

// Whether every uncompressed entry of `package` starts on a 4-byte boundary,
// and shared libraries on a page boundary, as zipalign -p 4 leaves them.
bool IsAligned(const std::string& package);

// Whether `line` is the end banner of a run whose Comments are `comment`.
bool IsEndBanner(const std::string& line, std::string_view comment);

// The classes of a dex file or a package, as baksmali lists them.
std::string ListedClasses(const std::string& dexOrPackage);

// Zips what `folder` holds into `archive` with zip; whether zip succeeded.
bool Zipped(const std::string& folder, const std::string& archive);

}  // namespace velmora::test
