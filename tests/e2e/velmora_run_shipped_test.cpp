#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "e2e/shipped_program_test.h"
#include "support/required_tools.h"

namespace velmora::test {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

int Count(const std::string& text, const std::string& part) {
  int count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
    ++count;
  }
  return count;
}

// velmora-run, copied beside the shipped Velmora.ini, so that it reads that
// file and its %CurrentDir% is the copied program folder.
class VelmoraRunShippedTest : public ShippedProgramTest {
 protected:
  FinishedProgram Run(Lines arguments) const {
    arguments.insert(arguments.begin(), Program().VelmoraRun());
    return RunToEnd(arguments);
  }
};

TEST_F(VelmoraRunShippedTest, decodes_three_packages_into_folders_beside_them) {
  const Lines packages{folder_ + "/one.apk", folder_ + "/two.apk", folder_ + "/演示 包.apk"};
  for (const std::string& package : packages) {
    ASSERT_NO_FATAL_FAILURE(CopyUnsignedPackageTo(package));
  }

  const FinishedProgram run = Run({"Decompile", packages[0], packages[1], packages[2]});

  EXPECT_EQ(run.exitStatus, 0) << run.out << run.err;
  EXPECT_EQ(Count(run.out, "------反编译 开始------\n"), 3) << run.out;
  for (const std::string& decoded : {folder_ + "/one", folder_ + "/two", folder_ + "/演示 包"}) {
    EXPECT_TRUE(Holds(TempDir::ReadFile(decoded + "/res/values/strings.xml"), "维尔莫拉演示"))
        << decoded << "\n"
        << run.out << run.err;
  }
}

TEST_F(VelmoraRunShippedTest, build_sign_gives_a_package_that_apksigner_verifies) {
  const std::string demo = CopyOfDemoApp("演示 app");

  const FinishedProgram run = Run({"--build-sign", demo + "/"});

  EXPECT_EQ(run.exitStatus, 0) << run.out << run.err;
  const std::string built = folder_ + "/演示 app_mod_signed.apk";
  const FinishedProgram verification = VerifySignature(built);
  EXPECT_EQ(verification.exitStatus, 0) << verification.out << verification.err << run.out;
  EXPECT_TRUE(Holds(verification.out, "(APK Signature Scheme v2): true")) << verification.out;
  EXPECT_TRUE(IsAligned(built));
}

// zipalign opens its output for writing before it reads its input: run onto
// a link to the input, it would leave the input 22 bytes long.
TEST_F(VelmoraRunShippedTest, zip_align_refuses_a_destination_that_links_to_its_source) {
  const std::string package = folder_ + "/z.apk";
  ASSERT_NO_FATAL_FAILURE(CopyUnsignedPackageTo(package));
  fs::create_symlink(package, folder_ + "/zl.apk");
  fs::create_hard_link(package, folder_ + "/zh.apk");
  const std::uintmax_t size = fs::file_size(package);

  for (const std::string& link : {folder_ + "/zl.apk", folder_ + "/zh.apk"}) {
    const FinishedProgram run = Run({"-f", "-o", link, "ZipAlign", package});
    EXPECT_EQ(run.exitStatus, 1) << run.out << run.err;
    EXPECT_TRUE(Holds(run.err, "是同一个文件")) << run.err;
    EXPECT_EQ(fs::file_size(package), size) << link;
  }
}

// Names made under another system's code page ("包" and "签" in GBK here) are
// no UTF-8, and Java opens no file of such a name.
TEST_F(VelmoraRunShippedTest, signs_packages_and_sets_whose_names_are_not_utf8) {
  RequireTools({"aapt2"});
  if (IsSkipped() || HasFailure()) return;
  const std::string package = folder_ + "/\xb0\xfc.apk", signed_ = folder_ + "/\xc7\xa9.apk",
                    set = folder_ + "/集";
  ASSERT_NO_FATAL_FAILURE(CopyUnsignedPackageTo(package));
  ASSERT_NO_FATAL_FAILURE(CopySplitSetTo(set));
  fs::rename(set + "/config.fr.apk", set + "/\xb0\xfc.apk");

  const FinishedProgram jdk = Run({"--signer", "1", "-o", signed_, "Signer", package});
  const FinishedProgram sets = Run({"UserDefine11", set});

  EXPECT_EQ(jdk.exitStatus, 0) << jdk.out << jdk.err;
  EXPECT_EQ(sets.exitStatus, 0) << sets.out << sets.err;
  for (const std::string& apk : {signed_, set + "/\xb0\xfc.apk"}) {
    fs::copy_file(apk, folder_ + "/check.apk", fs::copy_options::overwrite_existing);
    EXPECT_EQ(VerifySignature(folder_ + "/check.apk").exitStatus, 0) << apk;
  }
}

TEST_F(VelmoraRunShippedTest, lists_the_shipped_sections_and_marks_the_enabled_user_buttons) {
  const FinishedProgram run = Run({"--list"});

  EXPECT_EQ(run.exitStatus, 0) << run.err;
  Lines sections, enabled;
  std::istringstream lines(run.out);
  for (std::string line; std::getline(lines, line);) {
    const std::string section = line.substr(0, line.find(' '));
    sections.push_back(section);
    if (line.ends_with("  [enabled]")) enabled.push_back(section);
  }
  Lines shipped{"Decompile",        "Compile",        "Signer",    "Signer_JDK", "ZipAlign",
                "InstallFramework", "EmptyFramework", "dex2jar",   "OpenJar",    "jar2dex",
                "dex2smali",        "smali2dex",      "odex2smali"};
  for (int number = 1; number <= 13; ++number)
    shipped.push_back("UserDefine" + std::to_string(number));
  EXPECT_EQ(sections, shipped) << run.out;
  EXPECT_EQ(enabled, (Lines{"UserDefine1", "UserDefine2", "UserDefine3", "UserDefine4",
                            "UserDefine10", "UserDefine11", "UserDefine12", "UserDefine13"}))
      << run.out;
  EXPECT_TRUE(Holds(run.out, "\nUserDefine2       查看签名  [enabled]\n")) << run.out;
}

TEST_F(VelmoraRunShippedTest, exits_with_1_and_shows_the_error_when_the_tool_fails) {
  const std::string broken = CopyOfBrokenSmali("坏 smali");

  const FinishedProgram run = Run({"smali2dex", broken});

  EXPECT_EQ(run.exitStatus, 1) << run.out << run.err;
  EXPECT_TRUE(Holds(run.out, "坏 smali/Broken.smali[12,4] mismatched input 'retrun'")) << run.out;
  EXPECT_TRUE(Holds(run.out, "\n程序运行出错，退出代码：1\n------smali转dex 结束------"))
      << run.out;
  EXPECT_FALSE(fs::exists(folder_ + "/坏 smali_mod.dex"));
}

TEST_F(VelmoraRunShippedTest, exits_with_2_when_the_source_is_missing) {
  const FinishedProgram run = Run({"Decompile", folder_ + "/不存在 的.apk"});

  EXPECT_EQ(run.exitStatus, 2);
  EXPECT_EQ(run.err, "路径不存在，请重新选择路径\n");
  EXPECT_EQ(run.out, "");
}

TEST_F(VelmoraRunShippedTest, exits_with_2_and_keeps_the_folder_it_would_decode_into) {
  const std::string package = folder_ + "/演示 包.apk";
  ASSERT_NO_FATAL_FAILURE(CopyUnsignedPackageTo(package));
  const std::string notes = work_.Write("工作 区/演示 包/笔记.txt", "keep me");

  const FinishedProgram run = Run({"Decompile", package});

  EXPECT_EQ(run.exitStatus, 2) << run.out << run.err;
  EXPECT_TRUE(Holds(run.err, folder_ + "/演示 包 already exists")) << run.err;
  EXPECT_EQ(run.out, "") << "no tool was started";
  EXPECT_EQ(TempDir::ReadFile(notes), "keep me");
}

}  // namespace
}  // namespace velmora::test
