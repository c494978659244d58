#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "e2e/shipped_program_test.h"
#include "exec/button_requests.h"
#include "support/recording_tool.h"

namespace velmora::test {
namespace {

using Lines = std::vector<std::string>;

class SigningTest : public ShippedProgramTest {
 protected:
  void SetUp() override {
    ShippedProgramTest::SetUp();
    if (IsSkipped() || HasFailure()) return;
    ASSERT_NO_FATAL_FAILURE(CopyUnsignedPackageTo(package_));
  }

  const std::string package_ = folder_ + "/演示 app_mod.apk";
  const std::string signed_ = folder_ + "/演示 app_mod_signed.apk";
};

struct SignerCase {
  std::string name;
  int signerType = 0;
  std::string comment;   // Comments of the section the signer type picks
  bool v2AndV3 = false;  // jarsigner gives a v1 signature only
};

void PrintTo(const SignerCase& signerCase, std::ostream* out) {
  *out << signerCase.name;
}

class SignerTypeTest : public SigningTest, public ::testing::WithParamInterface<SignerCase> {};

TEST_P(SignerTypeTest, signs_a_copy_of_the_package_that_apksigner_verifies_and_zipalign_accepts) {
  window_.signerIndex = GetParam().signerType;
  const std::string unsignedBytes = TempDir::ReadFile(package_);

  const RunReport run = Press("Signer", package_, signed_);

  ASSERT_EQ(run.result, signed_) << Output();
  EXPECT_EQ(window_.prompts.at(0).FileName, "演示 app_mod_signed.apk");
  EXPECT_EQ(window_.lines.at(0), "------" + GetParam().comment + " 开始------");
  EXPECT_TRUE(EndedWithStatus(GetParam().comment, 0));

  const FinishedProgram verification = VerifySignature(signed_);
  EXPECT_EQ(verification.exitStatus, 0) << verification.out << verification.err;
  const std::string v2v3 = GetParam().v2AndV3 ? "true" : "false";
  EXPECT_TRUE(Holds(verification.out, "Verified using v1 scheme (JAR signing): true"))
      << verification.out;
  EXPECT_TRUE(Holds(verification.out, "(APK Signature Scheme v2): " + v2v3)) << verification.out;
  EXPECT_TRUE(Holds(verification.out, "(APK Signature Scheme v3): " + v2v3)) << verification.out;
  EXPECT_TRUE(Holds(verification.out, "certificate DN: CN=Android Debug, O=Android, C=US"))
      << "signed with the program's debug key:\n"
      << verification.out;
  EXPECT_TRUE(IsAligned(signed_));
  EXPECT_EQ(TempDir::ReadFile(package_), unsignedBytes) << "the source is copied, not signed";
}

INSTANTIATE_TEST_SUITE_P(ShippedSigners, SignerTypeTest,
                         ::testing::Values(SignerCase{"apksigner", 0, "签名", true},
                                           SignerCase{"jarsigner", 1, "JDK签名", false}),
                         [](const auto& info) { return info.param.name; });

TEST_F(SigningTest, signer_type_2_hands_jarsigner_the_shipped_time_stamp_authority) {
  // There is no network here: a jarsigner in a Java home of its own records
  // what the signing script hands it and fails, as an unreachable authority
  // makes the real one fail.
  const std::string jarsigner =
      WriteRecordingTool(work_, "假 java/bin/jarsigner", "echo \"jarsigner: offline\"; exit 1");
  const Settings settings =
      Program().ChangedSettings(work_ / "设置 副本.ini", "General", "JAVA_HOME", work_ / "假 java");
  window_.signerIndex = 2;
  const std::string unsignedBytes = TempDir::ReadFile(package_);

  Press(settings, "Signer", package_, signed_);

  Lines arguments = RecordedArguments(jarsigner);
  // The options for jarsigner's Java (-J-…) come first.
  std::erase_if(arguments, [](const std::string& argument) { return argument.starts_with("-J-"); });
  ASSERT_EQ(arguments.size(), 12u) << ::testing::PrintToString(arguments) << "\n" << Output();
  EXPECT_EQ(Lines(arguments.begin(), arguments.begin() + 9),
            (Lines{"-keystore", Program().Keystore(), "-storepass:env", "VELMORA_STOREPASS",
                   "-keypass:env", "VELMORA_KEYPASS", "-tsa", "http://timestamp.digicert.com",
                   "-signedjar"}));
  EXPECT_TRUE(arguments[10].starts_with(folder_ + "/.velmora.")) << "read from the scratch folder";
  EXPECT_EQ(arguments[11], "androiddebugkey");
  EXPECT_TRUE(OutputHolds("jarsigner: offline")) << Output();
  ASSERT_GE(window_.lines.size(), 3u);
  EXPECT_EQ(Lines(window_.lines.end() - 3, window_.lines.end() - 1),
            (Lines{"程序运行出错，退出代码：1", "已删除本次复制的文件 " + signed_}));
  EXPECT_FALSE(std::filesystem::exists(signed_)) << "no unsigned copy under the signed name";
  EXPECT_EQ(TempDir::ReadFile(package_), unsignedBytes) << "a failed signing changes nothing";

  window_.signerIndex = 1;
  Press(settings, "Signer", package_, signed_);
  const Lines withoutTimeStamp = RecordedArguments(jarsigner);
  EXPECT_EQ(std::count(withoutTimeStamp.begin(), withoutTimeStamp.end(), "-tsa"), 0)
      << "signer type 1 signs without a time stamp";
}

class RebuildThenSignTest : public ShippedProgramTest {};

TEST_F(RebuildThenSignTest,
       gives_a_verified_aligned_package_and_shows_both_runs_one_after_the_other) {
  const std::string built = folder_ + "/演示 app_mod_signed.apk";
  window_.pathField = CopyOfDemoApp("演示 app");
  window_.answer = built;

  const RebuildThenSignReport report = RebuildThenSign(ShippedSettings(), window_);

  ASSERT_EQ(report.rebuild.result, built) << Output();
  ASSERT_TRUE(report.signing.has_value()) << Output();
  ASSERT_EQ(window_.prompts.size(), 1u) << "the signing run asks for nothing";
  EXPECT_EQ(window_.prompts[0].FileName, "演示 app_mod_signed.apk");
  const FinishedProgram verification = VerifySignature(built);
  EXPECT_EQ(verification.exitStatus, 0) << verification.out << verification.err;
  EXPECT_TRUE(Holds(verification.out, "(APK Signature Scheme v2): true")) << verification.out;
  EXPECT_TRUE(IsAligned(built));

  const Lines& lines = window_.lines;
  EXPECT_EQ(lines.at(0), "------回编译 开始------");
  const auto rebuildEnd = std::find_if(lines.begin(), lines.end(), [](const std::string& line) {
    return IsEndBanner(line, "回编译");
  });
  ASSERT_GE(lines.end() - rebuildEnd, 3) << Output();
  EXPECT_EQ(rebuildEnd[1], "") << Output();
  EXPECT_EQ(rebuildEnd[2], "------签名 开始------") << Output();
  EXPECT_TRUE(EndedWithStatus("签名", 0));
  EXPECT_TRUE(OutputHolds("I: Aligned and signed (v1, v2, v3): " + built)) << Output();
}

}  // namespace
}  // namespace velmora::test
