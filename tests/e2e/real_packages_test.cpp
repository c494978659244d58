#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <ostream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "e2e/shipped_program_test.h"
#include "exec/button_requests.h"
#include "support/required_tools.h"
#include "support/scoped_environment.h"

namespace velmora::test {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

// The names of the elements of a decoded manifest, sorted.
Lines ManifestElements(const std::string& decodedFolder) {
  const std::string manifest = TempDir::ReadFile(decodedFolder + "/AndroidManifest.xml");
  static const std::regex kElement("<([A-Za-z][A-Za-z0-9_.-]*)");
  Lines names;
  for (auto match = std::sregex_iterator(manifest.begin(), manifest.end(), kElement);
       match != std::sregex_iterator(); ++match) {
    names.push_back((*match)[1]);
  }
  std::sort(names.begin(), names.end());
  return names;
}

int DexFilesIn(const std::string& package) {
  const FinishedProgram listing = RunToEnd({"jar", "tf", package});
  static const std::regex kDex("^classes[0-9]*\\.dex$");
  int count = 0;
  std::istringstream entries(listing.out);
  for (std::string entry; std::getline(entries, entry);) count += std::regex_match(entry, kDex);
  return count;
}

constexpr std::string_view kNewerAttributeStyle = R"(<?xml version="1.0" encoding="utf-8"?>
<resources>
    <style name="Velmora">
        <item name="android:lStar">50.0</item>
    </style>
</resources>
)";

class RealPackageTest : public ShippedProgramTest {
 protected:
  // Copies the real package `name` into the work folder as `copy`. Skips the
  // test, or fails it under CI, when the package could not be fetched.
  void CopyRealPackage(std::string_view name, const std::string& copy) const {
    std::string cached;
    RequireCachedPackage(VELMORA_TEST_DATA_DIR "/real-packages.txt", name, cached);
    if (cached.empty()) return;
    fs::copy_file(cached, copy);
  }

  // The last line the tool wrote: the one before the exit status line (if
  // any) and the end banner.
  std::string LastToolLine() const {
    Lines lines = window_.lines;
    if (!lines.empty()) lines.pop_back();
    if (!lines.empty() && lines.back().starts_with("程序运行出错")) lines.pop_back();
    return lines.empty() ? "" : lines.back();
  }

  // Rebuilds `folder` with 回编译+签名 into `signedPackage` and checks that it
  // verifies and is aligned.
  void RebuildAndSign(const std::string& folder, const std::string& signedPackage) {
    window_.pathField = folder;
    window_.answer = signedPackage;
    RebuildThenSign(ShippedSettings(), window_);
    ASSERT_TRUE(EndedWithStatus("签名", 0));
    const FinishedProgram verification = VerifySignature(signedPackage);
    EXPECT_EQ(verification.exitStatus, 0) << verification.out << verification.err;
    EXPECT_TRUE(Holds(verification.out, "(APK Signature Scheme v2): true")) << verification.out;
    EXPECT_TRUE(IsAligned(signedPackage));
  }
};

TEST_F(RealPackageTest, a_modern_app_goes_round_the_loop_and_keeps_its_manifest) {
  const std::string package = folder_ + "/服务 app.apk";
  CopyRealPackage("server", package);
  if (IsSkipped() || HasFailure()) return;
  const std::string decoded = folder_ + "/服务 app";
  const std::string built = folder_ + "/服务 app_mod_signed.apk";

  ASSERT_EQ(Press("Decompile", package, decoded).result, decoded);
  ASSERT_TRUE(EndedWithStatus("反编译", 0));
  ASSERT_NO_FATAL_FAILURE(RebuildAndSign(decoded, built));
  Press("Decompile", built, folder_ + "/again");

  EXPECT_TRUE(EndedWithStatus("反编译", 0));
  EXPECT_EQ(ManifestElements(folder_ + "/again"), ManifestElements(decoded));
  EXPECT_TRUE(Holds(TempDir::ReadFile(folder_ + "/again/AndroidManifest.xml"), "<queries>"));
  EXPECT_EQ(DexFilesIn(built), DexFilesIn(package));
}

TEST_F(RealPackageTest, a_multidex_kotlin_app_goes_round_the_loop_through_velmora_run) {
  const std::string package = folder_ + "/settings.apk";
  CopyRealPackage("settings", package);
  if (IsSkipped() || HasFailure()) return;
  auto run = [this](Lines arguments) {
    arguments.insert(arguments.begin(), Program().VelmoraRun());
    return RunToEnd(arguments);
  };

  const FinishedProgram decode = run({"Decompile", package});
  ASSERT_EQ(decode.exitStatus, 0) << decode.out << decode.err;
  const FinishedProgram build = run({"--build-sign", folder_ + "/settings"});
  ASSERT_EQ(build.exitStatus, 0) << build.out << build.err;
  const std::string built = folder_ + "/settings_mod_signed.apk";
  const FinishedProgram again = run({"Decompile", "-o", folder_ + "/again", built});

  EXPECT_EQ(again.exitStatus, 0) << again.out << again.err;
  EXPECT_EQ(VerifySignature(built).exitStatus, 0);
  EXPECT_TRUE(IsAligned(built));
  EXPECT_EQ(DexFilesIn(built), 9);
  EXPECT_EQ(ManifestElements(folder_ + "/again"), ManifestElements(folder_ + "/settings"));
}

TEST_F(RealPackageTest, resources_aapt_cannot_rebuild_end_with_the_hint_and_code_only_passes) {
  const std::string decoded = CopyOfDemoApp("演示 app");
  work_.Write("工作 区/演示 app/res/values/styles.xml", kNewerAttributeStyle);

  Press("Compile", decoded, folder_ + "/演示 app_mod.apk");

  EXPECT_TRUE(OutputHolds("style attribute 'android:attr/lStar' not found")) << Output();
  EXPECT_TRUE(EndedWithStatus("回编译", 1));
  EXPECT_TRUE(
      LastToolLine().starts_with("提示：资源编译失败：aapt/aapt2无法重新编译反编译出的资源"))
      << Output();
  EXPECT_TRUE(Holds(LastToolLine(), "请用“只解码代码”按钮重新反编译原安装包")) << Output();

  const std::string package = folder_ + "/演示 app.apk";
  ASSERT_NO_FATAL_FAILURE(CopyUnsignedPackageTo(package));
  const std::string codeOnly = folder_ + "/演示 app_code";
  ASSERT_EQ(Press("UserDefine3", package, codeOnly).result, codeOnly);
  EXPECT_EQ(window_.prompts.back().FileName, "演示 app_code");
  ASSERT_TRUE(EndedWithStatus("只解码代码", 0));
  EXPECT_TRUE(fs::is_regular_file(codeOnly + "/resources.arsc")) << "kept as compiled";
  ASSERT_NO_FATAL_FAILURE(RebuildAndSign(codeOnly, folder_ + "/演示 app_code_mod_signed.apk"));
  EXPECT_EQ(ListedClasses(folder_ + "/演示 app_code_mod_signed.apk"),
            "Lorg/velmora/demo/MainActivity;\n");
}

TEST_F(RealPackageTest, a_package_whose_resources_do_not_decode_goes_round_code_only) {
  const std::string package = folder_ + "/test app.apk";
  CopyRealPackage("server-test", package);
  if (IsSkipped() || HasFailure()) return;

  Press("Decompile", package, folder_ + "/test app");

  EXPECT_TRUE(EndedWithStatus("反编译", 1));
  EXPECT_EQ(LastToolLine(),
            "提示：资源解码失败。请改用“只解码代码”按钮反编译：只解码代码，资源保持原样。")
      << Output();

  ASSERT_EQ(Press("UserDefine3", package, folder_ + "/test app_code").result,
            folder_ + "/test app_code");
  ASSERT_TRUE(EndedWithStatus("只解码代码", 0));
  ASSERT_NO_FATAL_FAILURE(
      RebuildAndSign(folder_ + "/test app_code", folder_ + "/test app_code_mod_signed.apk"));
  EXPECT_EQ(ListedClasses(folder_ + "/test app_code_mod_signed.apk"), ListedClasses(package));
}

struct HintCase {
  std::string name;
  std::string heap;           // VELMORA_APKTOOL_HEAP; empty: not set
  std::string frameworkPath;  // framework_path; empty: the shipped one
  int status = 0;
  std::string hint;  // the start of the last line of the tool's output
};

void PrintTo(const HintCase& hintCase, std::ostream* out) {
  *out << hintCase.name;
}

class DecodeHintTest : public RealPackageTest, public ::testing::WithParamInterface<HintCase> {};

TEST_P(DecodeHintTest, ends_the_decode_with_what_to_do) {
  const std::string package = folder_ + "/演示 app.apk";
  ASSERT_NO_FATAL_FAILURE(CopyUnsignedPackageTo(package));
  const ScopedEnvironment heap("VELMORA_APKTOOL_HEAP", GetParam().heap.empty()
                                                           ? std::nullopt
                                                           : std::optional(GetParam().heap));
  const Settings settings =
      GetParam().frameworkPath.empty()
          ? ShippedSettings()
          : Program().ChangedSettings(work_ / "设置 副本.ini", "General", "framework_path",
                                      GetParam().frameworkPath);

  Press(settings, "Decompile", package, folder_ + "/演示 app");

  EXPECT_TRUE(EndedWithStatus("反编译", GetParam().status));
  EXPECT_TRUE(LastToolLine().starts_with(GetParam().hint)) << Output();
}

INSTANTIATE_TEST_SUITE_P(
    Failures, DecodeHintTest,
    ::testing::Values(
        HintCase{"java_out_of_memory", "8m", "", 1,
                 "提示：Java内存不足（本次最多可用 8m）。请关闭其他程序，或设置环境变量 "
                 "VELMORA_APKTOOL_HEAP"},
        HintCase{"a_framework_folder_that_cannot_be_made", "", "/proc/velmora/framework", 0,
                 "提示：apktool无法写入framework目录 /proc/velmora/framework。请在Velmora.ini的["
                 "General]中把framework_path设为一个可写的目录"}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace velmora::test
