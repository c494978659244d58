#include <gtest/gtest.h>

#include <filesystem>

#include "e2e/shipped_program_test.h"
#include "support/required_tools.h"
#include "support/split_app.h"

namespace velmora::test {
namespace {

namespace fs = std::filesystem;

class MergeSectionTest : public ShippedProgramTest {};

TEST_F(MergeSectionTest, turns_a_set_folder_into_one_aligned_apk_that_apksigner_verifies) {
  RequireTools({"aapt2"});
  if (IsSkipped() || HasFailure()) return;
  // A folder's name is kept whole in the proposal, dots and all.
  const std::string set = folder_ + "/演示 app.v7";
  ASSERT_NO_FATAL_FAILURE(CopySplitSetTo(set));
  const std::string merged = folder_ + "/演示 app.v7_merged.apk";

  const RunReport run = Press("UserDefine13", set, merged);

  ASSERT_EQ(run.result, merged) << Output();
  EXPECT_EQ(window_.prompts.at(0).FileName, "演示 app.v7_merged.apk");
  EXPECT_TRUE(OutputHolds("合并完成：")) << Output();
  EXPECT_TRUE(EndedWithStatus("合并分包", 0)) << Output();
  const FinishedProgram verification = VerifySignature(merged);
  EXPECT_EQ(verification.exitStatus, 0) << verification.out << verification.err;
  EXPECT_TRUE(Holds(verification.out, "(APK Signature Scheme v2): true")) << verification.out;
  EXPECT_TRUE(IsAligned(merged));
  auto opened = apk::ZipReader::OpenFile(merged, "merged");
  ASSERT_TRUE(std::holds_alternative<apk::ZipReader>(opened));
  const apk::ZipEntry* library = std::get<apk::ZipReader>(opened).Find(SplitApp::kLibrary);
  ASSERT_NE(library, nullptr);
  EXPECT_EQ(library->method, 0);
}

TEST_F(MergeSectionTest, leaves_no_destination_when_the_set_cannot_be_merged) {
  const std::string apkm = work_.Write("工作 区/演示.apkm", std::string(100, '\x13'));
  const std::string merged = folder_ + "/演示_merged.apk";

  Press("UserDefine13", apkm, merged);

  EXPECT_TRUE(OutputHolds("合并失败：演示.apkm 是加密的 .apkm 文件")) << Output();
  EXPECT_TRUE(EndedWithStatus("合并分包", 1)) << Output();
  EXPECT_FALSE(fs::exists(merged));
}

}  // namespace
}  // namespace velmora::test
