#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "e2e/shipped_program_test.h"

namespace velmora::test {
namespace {

namespace fs = std::filesystem;

class SmaliTest : public ShippedProgramTest {};

TEST_F(SmaliTest, dex_to_smali_and_smali_back_to_dex_keeps_the_class) {
  const std::string firstDex = folder_ + "/classes 一.dex";
  ASSERT_EQ(Press("smali2dex", CopyOfDemoApp("演示 app") + "/smali", firstDex).result, firstDex);
  const std::string disassembled = folder_ + "/反汇编 smali";

  const RunReport toSmali = Press("dex2smali", firstDex, disassembled);

  ASSERT_EQ(toSmali.result, disassembled) << Output();
  EXPECT_EQ(window_.prompts.back().FileName, "classes 一");
  EXPECT_TRUE(window_.prompts.back().FolderMode);
  EXPECT_TRUE(EndedWithStatus("dex转smali", 0));
  EXPECT_NE(TempDir::ReadFile(disassembled + "/org/velmora/demo/MainActivity.smali")
                .find(".class public Lorg/velmora/demo/MainActivity;"),
            std::string::npos)
      << Output();

  const std::string secondDex = folder_ + "/classes 二.dex";
  const RunReport toDex = Press("smali2dex", disassembled, secondDex);

  ASSERT_EQ(toDex.result, secondDex) << Output();
  EXPECT_EQ(window_.prompts.back().FileName, "反汇编 smali_mod.dex");
  EXPECT_TRUE(EndedWithStatus("smali转dex", 0));
  EXPECT_EQ(ListedClasses(secondDex), "Lorg/velmora/demo/MainActivity;\n");
}

TEST_F(SmaliTest, a_broken_smali_file_shows_its_error_and_the_exit_status_and_writes_no_dex) {
  const std::string dex = folder_ + "/坏 smali_mod.dex";

  Press("smali2dex", CopyOfBrokenSmali("坏 smali"), dex);

  EXPECT_EQ(window_.lines.at(0), "------smali转dex 开始------");
  EXPECT_TRUE(OutputHolds("坏 smali/Broken.smali[12,4] mismatched input 'retrun'")) << Output();
  EXPECT_TRUE(EndedWithStatus("smali转dex", 1));
  EXPECT_FALSE(fs::exists(dex));
}

}  // namespace
}  // namespace velmora::test
