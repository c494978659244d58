#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "e2e/shipped_program_test.h"
#include "support/recording_tool.h"
#include "support/required_tools.h"
#include "support/scoped_environment.h"

namespace velmora::test {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

// An app that comes as a set of APKs, through the buttons for it and
// velmora-run: a base and two split APKs that aapt2 builds, packed as .xapk
// (the base named after the package, manifest.json, OBB data) and as .apks
// (bundletool's splits/ folder).
class SplitAppsTest : public ShippedProgramTest {
 protected:
  void SetUp() override {
    ShippedProgramTest::SetUp();
    if (IsSkipped() || HasFailure()) return;
    RequireTools({"aapt2", "zip", "zipnote", "unzip", "zipinfo"});
    if (IsSkipped() || HasFailure()) return;
    BuildApk("org.velmora.split", "");
    BuildApk("config.xxhdpi", "config.xxhdpi");
    BuildApk("config.arm64_v8a", "config.arm64_v8a");
    work_.Write("xapk 内容/manifest.json", "{\"package_name\": \"org.velmora.split\"}");
    work_.Write("xapk 内容/Android/obb/org.velmora.split/main.1.obb", "游戏数据");
    fs::create_directories(work_ / "apks 内容/splits");
    for (const auto& [from, to] : {std::pair{"org.velmora.split", "base-master"},
                                   {"config.xxhdpi", "base-xxhdpi"},
                                   {"config.arm64_v8a", "base-arm64_v8a"}}) {
      fs::copy_file(Built(from), work_ / "apks 内容/splits/" + to + ".apk");
    }
    work_.Write("apks 内容/toc.pb", "table of contents");
    Zip("xapk 内容", xapk_);
    Zip("apks 内容", apks_);
  }

  std::string Built(const std::string& name) const { return work_ / "xapk 内容/" + name + ".apk"; }

  void BuildApk(const std::string& name, const std::string& split) {
    const std::string manifest =
        work_.Write("清单/" + name + ".xml",
                    "<manifest xmlns:android=\"http://schemas.android.com/apk/res/android\" "
                    "package=\"org.velmora.split\"" +
                        (split.empty() ? "" : " split=\"" + split + "\"") +
                        "><uses-sdk android:minSdkVersion=\"24\"/>"
                        "<application android:hasCode=\"false\"/></manifest>");
    fs::create_directories(work_ / "xapk 内容");
    const FinishedProgram link =
        RunToEnd({"aapt2", "link", "-o", Built(name), "-I",
                  "/usr/share/android-framework-res/framework-res.apk", "--manifest", manifest});
    ASSERT_EQ(link.exitStatus, 0) << link.err;
  }

  // Zips what the work folder's `contents` holds (at the archive's top).
  void Zip(const std::string& contents, const std::string& archive, Lines options = {}) {
    options.insert(options.begin(),
                   {"sh", "-c", "cd \"$0\" && a=$1 && shift && zip -qr \"$a\" . \"$@\"",
                    work_ / contents, archive});
    ASSERT_EQ(RunToEnd(options).exitStatus, 0);
  }

  // The stand-in adb, first on PATH (returned): records each call as a line
  // of [argument]s, lists `devices` (lines of SERIAL\tSTATE) and fails to
  // install on the serial `failing`.
  std::string StandInAdb(const std::string& devices, const std::string& failing = "-") {
    const std::string adb =
        work_.Write("假 adb/adb",
                    "#!/bin/sh\nprintf '[%s]' \"$@\" >> \"$0.args\"; echo >> \"$0.args\"\n"
                    "if [ \"$1\" = devices ]; then\n  printf 'List of devices attached\\n" +
                        devices + "\\n'; exit 0\nfi\n[ \"$2\" != '" + failing +
                        "' ] || { echo 'Failure [INSTALL_FAILED_TEST]' >&2; exit 1; }\n"
                        "echo Success\n");
    ::chmod(adb.c_str(), 0755);
    path_.emplace("PATH", work_ / "假 adb:" + std::getenv("PATH"));
    return adb;
  }

  Lines SignersOf(const std::string& folder) const {
    Lines signers;
    for (const fs::directory_entry& apk : fs::directory_iterator(folder)) {
      if (apk.path().extension() != ".apk") continue;
      const FinishedProgram verification = VerifySignature(apk.path());
      EXPECT_EQ(verification.exitStatus, 0) << apk.path() << verification.err;
      EXPECT_TRUE(IsAligned(apk.path())) << apk.path();
      const std::size_t digest = verification.out.find("SHA-256 digest");
      signers.push_back(digest == std::string::npos ? "" : verification.out.substr(digest));
    }
    return signers;
  }

  const std::string xapk_ = folder_ + "/演示 应用.xapk";
  const std::string apks_ = folder_ + "/演示 应用.apks";
  std::optional<ScopedEnvironment> path_;
};

TEST_F(SplitAppsTest, takes_an_xapk_and_an_apks_apart_into_base_and_split_apks_byte_for_byte) {
  const std::string fromXapk = folder_ + "/拆 开", fromApks = folder_ + "/拆 开 2";
  ASSERT_EQ(Press("UserDefine10", xapk_, fromXapk).result, fromXapk);
  EXPECT_EQ(window_.prompts.at(0).FileName, "演示 应用");
  EXPECT_TRUE(EndedWithStatus("拆开分包", 0));
  EXPECT_TRUE(OutputHolds("I: The base APK org.velmora.split.apk is now base.apk")) << Output();
  Press("UserDefine10", apks_, fromApks);
  EXPECT_TRUE(EndedWithStatus("拆开分包", 0));

  for (const auto& [taken, original] :
       {std::pair{fromXapk + "/base.apk", Built("org.velmora.split")},
        {fromXapk + "/config.xxhdpi.apk", Built("config.xxhdpi")},
        {fromXapk + "/manifest.json", work_ / "xapk 内容/manifest.json"},
        {fromXapk + "/Android/obb/org.velmora.split/main.1.obb",
         work_ / "xapk 内容/Android/obb/org.velmora.split/main.1.obb"},
        {fromApks + "/base.apk", Built("org.velmora.split")},
        {fromApks + "/base-arm64_v8a.apk", Built("config.arm64_v8a")},
        {fromApks + "/toc.pb", work_ / "apks 内容/toc.pb"}}) {
    EXPECT_EQ(TempDir::ReadFile(taken), TempDir::ReadFile(original)) << taken;
  }
  EXPECT_FALSE(fs::exists(fromApks + "/splits")) << "the split APKs are beside the base";
}

struct RefusedArchive {
  std::string name;
  Lines zipOptions;    // how the set is packed
  std::string rename;  // a new name for the base APK in the archive, if any
  bool truncated = false;
  std::string message;
};

void PrintTo(const RefusedArchive& archive, std::ostream* out) {
  *out << archive.name;
}

class RefusedArchiveTest : public SplitAppsTest,
                           public ::testing::WithParamInterface<RefusedArchive> {};

TEST_P(RefusedArchiveTest, fails_with_a_clear_line_and_writes_nothing) {
  const std::string archive = folder_ + "/坏 的.apkm", taken = folder_ + "/坏 的";
  Zip("xapk 内容", archive, GetParam().zipOptions);
  if (!GetParam().rename.empty()) {
    RunToEnd({"sh", "-c", "printf '@ org.velmora.split.apk\\n@=%s\\n' \"$1\" | zipnote -w \"$0\"",
              archive, GetParam().rename});
  }
  if (GetParam().truncated) fs::resize_file(archive, fs::file_size(archive) - 30);

  Press("UserDefine10", archive, taken);

  EXPECT_TRUE(OutputHolds(GetParam().message)) << Output();
  EXPECT_TRUE(EndedWithStatus("拆开分包", 1));
  EXPECT_EQ(std::distance(fs::directory_iterator(folder_), {}), 3) << "only the three archives";
  EXPECT_FALSE(fs::exists(work_ / "逃 出.apk"));
}

INSTANTIATE_TEST_SUITE_P(
    Archives, RefusedArchiveTest,
    ::testing::Values(
        RefusedArchive{"encrypted_apkm", {"-e", "-P", "密码"}, "", false, "archive is encrypted"},
        RefusedArchive{"damaged", {}, "", true, "not a ZIP archive, or a damaged one"},
        RefusedArchive{"without_apks", {"-x", "*.apk"}, "", false, "no APK in the archive"},
        RefusedArchive{"name_outside", {}, "../../逃 出.apk", false, "names a file outside"}),
    [](const auto& info) { return info.param.name; });

TEST_F(SplitAppsTest, signs_a_set_with_one_key_and_reports_the_apk_that_cannot_be_signed) {
  const std::string set = folder_ + "/签名 集";
  fs::create_directories(set);
  for (const std::string name : {"org.velmora.split", "config.xxhdpi", "config.arm64_v8a"}) {
    fs::copy_file(Built(name), set + "/" + name + ".apk");
  }
  work_.Write("工作 区/签名 集/config.坏 的.apk", "not a zip");

  Press("UserDefine11", set);

  EXPECT_TRUE(OutputHolds("E:   not signed, left as it was: config.坏 的.apk")) << Output();
  EXPECT_TRUE(EndedWithStatus("签名分包", 1));
  fs::remove(set + "/config.坏 的.apk");
  const Lines signers = SignersOf(set);
  ASSERT_EQ(signers.size(), 3u);
  EXPECT_EQ(signers, Lines(3, signers[0]));
}

struct Devices {
  std::string name;
  std::string section;  // installs one APK (UserDefine1) or a set (UserDefine12)
  std::string listed;   // what adb devices lists
  Lines installs;       // the install calls after [devices], [APK] for the source's APKs
  Lines lines;          // lines of the run, in order
  int status = 0;
};

void PrintTo(const Devices& devices, std::ostream* out) {
  *out << devices.name;
}

class DevicesTest : public SplitAppsTest, public ::testing::WithParamInterface<Devices> {};

TEST_P(DevicesTest, installs_on_every_device_with_one_line_each) {
  const std::string adb = StandInAdb(GetParam().listed, "第二台");
  const bool set = GetParam().section == "UserDefine12";
  const std::string source = set ? work_ / "xapk 内容" : Built("config.xxhdpi");
  const std::string apks = set ? "[" + Built("org.velmora.split") + "][" +
                                     Built("config.arm64_v8a") + "][" + Built("config.xxhdpi") + "]"
                               : "[" + source + "]";

  Press(GetParam().section, source);

  Lines expected{"[devices]"};
  for (std::string install : GetParam().installs) {
    expected.push_back(install.replace(install.find("[APK]"), 5, apks));
  }
  EXPECT_EQ(RecordedArguments(adb), expected);
  for (const std::string& line : GetParam().lines) EXPECT_TRUE(OutputHolds(line)) << Output();
  EXPECT_TRUE(EndedWithStatus(set ? "安装分包" : "安装到设备", GetParam().status));
}

INSTANTIATE_TEST_SUITE_P(
    Counts, DevicesTest,
    ::testing::Values(Devices{"none", "UserDefine12", "", {}, {"no device attached"}, 1},
                      Devices{"one",
                              "UserDefine1",
                              "甲\\tdevice",
                              {"[-s][甲][install][-r][APK]"},
                              {"I: 甲: installed"},
                              0},
                      Devices{"two_one_failing",
                              "UserDefine12",
                              "甲\\tdevice\\n第二台\\tdevice",
                              {"[-s][甲][install-multiple][-r][APK]",
                               "[-s][第二台][install-multiple][-r][APK]"},
                              {"I: 甲: installed", "Failure [INSTALL_FAILED_TEST]",
                               "E: 第二台: not installed", "1 of 2 devices failed"},
                              1}),
    [](const auto& info) { return info.param.name; });

TEST_F(SplitAppsTest, velmora_run_takes_apart_signs_and_installs_a_batch_of_sets) {
  const std::string adb = StandInAdb("甲\\tdevice");
  auto run = [&](const std::string& section) {
    const FinishedProgram result = RunToEnd(
        {Program().VelmoraRun(), section, folder_ + "/演示 应用", folder_ + "/演示 应用 2"});
    EXPECT_EQ(result.exitStatus, 0) << section << "\n" << result.out << result.err;
  };
  fs::rename(apks_, folder_ + "/演示 应用 2.apks");
  const FinishedProgram apart =
      RunToEnd({Program().VelmoraRun(), "UserDefine10", xapk_, folder_ + "/演示 应用 2.apks"});
  ASSERT_EQ(apart.exitStatus, 0) << apart.out << apart.err;

  run("UserDefine11");
  run("UserDefine12");

  Lines signers = SignersOf(folder_ + "/演示 应用");
  for (const std::string& signer : SignersOf(folder_ + "/演示 应用 2")) signers.push_back(signer);
  ASSERT_EQ(signers.size(), 6u);
  EXPECT_EQ(signers, Lines(6, signers[0]));
  const Lines installs = RecordedArguments(adb);
  ASSERT_EQ(installs.size(), 4u) << ::testing::PrintToString(installs);
  EXPECT_TRUE(
      installs[1].starts_with("[-s][甲][install-multiple][-r][" + folder_ + "/演示 应用/base.apk]"))
      << installs[1];
}

}  // namespace
}  // namespace velmora::test
