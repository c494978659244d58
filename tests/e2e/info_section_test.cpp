#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>

#include "e2e/shipped_program_test.h"
#include "support/required_tools.h"
#include "support/split_app.h"

namespace velmora::test {
namespace {

namespace fs = std::filesystem;

class InfoSectionTest : public ShippedProgramTest {};

TEST_F(InfoSectionTest, shows_the_facts_of_a_real_package_in_the_output) {
  std::string cached;
  RequireCachedPackage(VELMORA_TEST_DATA_DIR "/real-packages.txt", "settings", cached);
  if (IsSkipped() || HasFailure()) return;
  const std::string apk = folder_ + "/\"设置\" app.apk";
  fs::create_directories(folder_);
  fs::copy_file(cached, apk);

  const RunReport run = Press("UserDefine4", apk, "");

  EXPECT_TRUE(window_.prompts.empty());
  for (const char* line :
       {"包名：io.appium.settings", "版本号：192", "版本名：8.0.10", "应用名称：Appium Settings",
        "最低 SDK：26", "目标 SDK：35", "启动 Activity：io.appium.settings.Settings",
        "  android.permission.RECORD_AUDIO", "签名方案：v2", "签名校验：通过",
        "  证书 SHA-256：680dbbc39ab0944796c811b636ace510c8e551317087036cebab0751b0a6190c",
        "  主体：C=US, O=Android, CN=Android Debug"}) {
    EXPECT_TRUE(std::find(window_.lines.begin(), window_.lines.end(), line) != window_.lines.end())
        << line << "\n"
        << Output();
  }
  EXPECT_TRUE(OutputHolds("文件：" + apk)) << Output();
  EXPECT_TRUE(EndedWithStatus("查看信息", 0)) << Output();
}

TEST_F(InfoSectionTest, shows_a_split_sets_apks_and_says_what_is_wrong_with_a_bad_file) {
  RequireTools({"aapt2"});
  if (IsSkipped() || HasFailure()) return;
  TempDir appDir;
  const SplitApp app(appDir);
  ASSERT_EQ(app.Error(), "");
  const std::string set = folder_ + "/演示 set";
  fs::create_directories(set);
  for (const auto& [name, path] : app.SetFiles()) fs::copy_file(path, set + "/" + name);
  const std::string bad = work_.Write("工作 区/坏.apk", "no package here");

  Press("UserDefine4", set, "");

  EXPECT_TRUE(OutputHolds("安装包组：" + set)) << Output();
  EXPECT_TRUE(OutputHolds("APK 数：6")) << Output();
  EXPECT_TRUE(OutputHolds("分包：config.xhdpi")) << Output();
  EXPECT_TRUE(EndedWithStatus("查看信息", 0)) << Output();

  Press("UserDefine4", bad, "");

  EXPECT_TRUE(OutputHolds("velmora-info: " + bad + " 不是可读的 ZIP 文件")) << Output();
  EXPECT_TRUE(EndedWithStatus("查看信息", 1)) << Output();
}

}  // namespace
}  // namespace velmora::test
