#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "e2e/shipped_program_test.h"

namespace velmora::test {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

// The names of the files in `folder`, sorted.
Lines FilesIn(const std::string& folder) {
  Lines names;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

class ApktoolTest : public ShippedProgramTest {};

TEST_F(ApktoolTest, compile_builds_the_demo_folder_into_the_package_it_was_told) {
  const std::string package = folder_ + "/演示 app_mod.apk";

  const RunReport run = Press("Compile", CopyOfDemoApp("演示 app"), package);

  ASSERT_EQ(run.result, package) << Output();
  EXPECT_EQ(window_.prompts.at(0).FileName, "演示 app_mod.apk");
  EXPECT_EQ(window_.lines.at(0), "------回编译 开始------");
  EXPECT_TRUE(OutputHolds("I: Built apk into: " + package)) << Output();
  EXPECT_TRUE(EndedWithStatus("回编译", 0));
  EXPECT_EQ(ListedClasses(package), "Lorg/velmora/demo/MainActivity;\n");
}

TEST_F(ApktoolTest, decompiling_a_signed_package_brings_back_its_chinese_strings_and_its_class) {
  const std::string package = folder_ + "/演示 app.apk";
  ASSERT_NO_FATAL_FAILURE(CopyUnsignedPackageTo(package));
  const std::string signedPackage = folder_ + "/演示 app_signed.apk";
  ASSERT_EQ(Press("Signer", package, signedPackage).result, signedPackage);
  const std::string decoded = folder_ + "/解码 结果";

  const RunReport run = Press("Decompile", signedPackage, decoded);

  ASSERT_EQ(run.result, decoded) << Output();
  EXPECT_EQ(window_.prompts.back().FileName, "演示 app_signed");
  EXPECT_TRUE(window_.prompts.back().FolderMode);
  EXPECT_TRUE(EndedWithStatus("反编译", 0));
  const std::string strings = TempDir::ReadFile(decoded + "/res/values/strings.xml");
  EXPECT_TRUE(Holds(strings, "<string name=\"app_name\">维尔莫拉演示</string>")) << strings;
  EXPECT_TRUE(Holds(strings, "<string name=\"greeting\">你好，世界</string>")) << strings;
  EXPECT_TRUE(Holds(TempDir::ReadFile(decoded + "/smali/org/velmora/demo/MainActivity.smali"),
                    ".class public Lorg/velmora/demo/MainActivity;"))
      << Output();
}

TEST_F(ApktoolTest, decompiling_into_an_existing_folder_is_refused_and_the_folder_kept) {
  const std::string package = folder_ + "/演示 app.apk";
  ASSERT_NO_FATAL_FAILURE(CopyUnsignedPackageTo(package));
  const std::string notes = work_.Write("工作 区/演示 app/笔记.txt", "keep me");

  Press("Decompile", package, folder_ + "/演示 app");

  EXPECT_TRUE(OutputHolds("already exists")) << Output();
  EXPECT_TRUE(EndedWithStatus("反编译", 1));
  EXPECT_EQ(FilesIn(folder_ + "/演示 app"), Lines{"笔记.txt"});
  EXPECT_EQ(TempDir::ReadFile(notes), "keep me");
}

TEST_F(ApktoolTest, installs_a_framework_into_its_folder_and_clears_the_folder_again) {
  const std::string framework = folder_ + "/框架 目录";
  const Settings settings =
      Program().ChangedSettings(work_ / "设置 副本.ini", "General", "framework_path", framework);
  // The first build extracts apktool's own framework into the folder, as a
  // new user's first build does.
  const std::string package = folder_ + "/演示 app_mod.apk";
  ASSERT_EQ(Press(settings, "Compile", CopyOfDemoApp("演示 app"), package).result, package);
  ASSERT_EQ(FilesIn(framework), Lines{"1.apk"}) << Output();

  Press(settings, "InstallFramework", package);

  EXPECT_TRUE(OutputHolds("I: Framework installed to: " + framework + "/127.apk")) << Output();
  EXPECT_TRUE(EndedWithStatus("安装framework", 0));
  EXPECT_EQ(FilesIn(framework), (Lines{"1.apk", "127.apk"}));

  Press(settings, "EmptyFramework", "");

  EXPECT_TRUE(OutputHolds("I: Removing 127.apk framework file...")) << Output();
  EXPECT_TRUE(EndedWithStatus("清除framework", 0));
  EXPECT_EQ(FilesIn(framework), Lines{});
  EXPECT_EQ(window_.prompts.size(), 1u) << "only the build asks where its result goes";
}

}  // namespace
}  // namespace velmora::test
