#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "e2e/shipped_program_test.h"
#include "support/recording_tool.h"
#include "support/required_tools.h"
#include "support/scoped_environment.h"
#include "support/stubborn_tool.h"

namespace velmora::test {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

// An app that comes as a set of APKs: a base and two splits that aapt2 builds
// into "应用 集/", packed as .xapk (with manifest.json) and as .apks (bundletool's
// splits/ folder, the base named base-master.apk).
class SplitAppsTest : public ShippedProgramTest {
 protected:
  void SetUp() override {
    ShippedProgramTest::SetUp();
    if (IsSkipped() || HasFailure()) return;
    RequireTools({"aapt2", "zip", "unzip", "zipinfo"});
    if (IsSkipped() || HasFailure()) return;
    fs::create_directories(work_ / "应用 集");
    fs::create_directories(work_ / "apks 内容/splits");
    for (const std::string split : {"", "config.xxhdpi", "config.arm64_v8a"}) {
      const std::string manifest =
          work_.Write("清单.xml",
                      "<manifest xmlns:android=\"http://schemas.android.com/apk/res/android\" "
                      "package=\"org.velmora.split\"" +
                          (split.empty() ? "" : " split=\"" + split + "\"") + "/>");
      const std::string apk =
          work_ / "应用 集/" + (split.empty() ? "org.velmora.split" : split) + ".apk";
      ASSERT_EQ(RunToEnd({"aapt2", "link", "-o", apk, "--manifest", manifest, "-I",
                          "/usr/share/android-framework-res/framework-res.apk"})
                    .exitStatus,
                0);
      fs::copy_file(apk,
                    work_ / "apks 内容/splits/" + (split.empty() ? "base-master" : split) + ".apk");
    }
    work_.Write("应用 集/manifest.json", "{\"package_name\": \"org.velmora.split\"}");
    Zip("应用 集", xapk_);
    Zip("apks 内容", apks_);
  }

  // Zips what the folder `contents` of the work folder holds, with zip's `options`.
  void Zip(const std::string& contents, const std::string& archive, Lines options = {}) {
    options.insert(options.begin(),
                   {"sh", "-c", "cd \"$0\" && a=$1 && shift && zip -qr \"$a\" . \"$@\"",
                    work_ / contents, archive});
    ASSERT_EQ(RunToEnd(options).exitStatus, 0);
  }

  // An adb first on PATH that records its calls, lists `devices` (SERIAL\tSTATE
  // lines) and fails to install on `failing`.
  std::string StandInAdb(const std::string& devices, const std::string& failing = "-") {
    const std::string adb =
        work_.Write("假 adb/adb",
                    "#!/bin/sh\nprintf '[%s]' \"$@\" >> \"$0.args\"; echo >> \"$0.args\"\n"
                    "[ \"$1\" != devices ] || { printf 'List of devices attached\\n" +
                        devices + "\\n'; exit 0; }\n[ \"$2\" != '" + failing +
                        "' ] || { echo 'Failure [INSTALL_FAILED_TEST]' >&2; exit 1; }\n");
    ::chmod(adb.c_str(), 0755);
    path_.emplace("PATH", work_ / "假 adb:" + std::getenv("PATH"));
    return adb;
  }

  const std::string xapk_ = folder_ + "/演示 应用.xapk";
  const std::string apks_ = folder_ + "/演示 应用.apks";
  std::optional<ScopedEnvironment> path_;
};

TEST_F(SplitAppsTest, takes_an_xapk_and_an_apks_apart_into_base_and_split_apks_byte_for_byte) {
  const std::string fromXapk = folder_ + "/拆 开", fromApks = folder_ + "/拆 开 2";
  ASSERT_EQ(Press("UserDefine10", xapk_, fromXapk).result, fromXapk);
  EXPECT_EQ(window_.prompts.at(0).FileName, "演示 应用");
  EXPECT_TRUE(OutputHolds("I: The base APK org.velmora.split.apk is now base.apk")) << Output();
  EXPECT_TRUE(EndedWithStatus("拆开分包", 0));
  Press("UserDefine10", apks_, fromApks);
  EXPECT_TRUE(EndedWithStatus("拆开分包", 0));

  for (const auto& [taken, built] :
       {std::pair{fromXapk + "/base.apk", "org.velmora.split.apk"},
        {fromXapk + "/config.xxhdpi.apk", "config.xxhdpi.apk"},
        {fromXapk + "/manifest.json", "manifest.json"},
        {fromApks + "/base.apk", "org.velmora.split.apk"},
        {fromApks + "/config.arm64_v8a.apk", "config.arm64_v8a.apk"}}) {
    EXPECT_EQ(TempDir::ReadFile(taken), work_.Read("应用 集/" + std::string(built))) << taken;
  }
  EXPECT_FALSE(fs::exists(fromApks + "/splits")) << "the split APKs are beside the base";
}

// Packs what the folder `contents` holds, with Python's zipfile, and one member
// more whose name or record lies as `forgery` says.
const char* const kForger = R"(import os, struct, sys, zipfile
archive, contents, forgery = sys.argv[1:]
names = {"absolute": "/abs-escape.txt", "backslash": "..\\escape.txt", "dotted": "./manifest.json"}
with zipfile.ZipFile(archive, "w", zipfile.ZIP_DEFLATED) as z:
    for name in sorted(os.listdir(contents)):
        z.write(os.path.join(contents, name), name)
    member = zipfile.ZipInfo(names.get(forgery, "Android/obb/main.obb"))
    z.writestr(member, bytes(20 << 20))
    member.file_size = {"size": 620, "space": 1 << 50}.get(forgery, member.file_size)
    member.CRC ^= forgery == "crc"
with open(archive, "r+b") as f:
    f.seek(member.header_offset + 14)
    f.write(struct.pack("<II", member.CRC, member.compress_size))
    f.write(struct.pack("<I", member.file_size & 0xFFFFFFFF))
)";

struct RefusedArchive {
  std::string name;
  Lines zipOptions;  // how the set is packed
  bool truncated = false;
  std::string message;
  std::string forgery = "";  // packed by kForger instead, with this lie
};

class RefusedArchiveTest : public SplitAppsTest,
                           public ::testing::WithParamInterface<RefusedArchive> {};

TEST_P(RefusedArchiveTest, fails_with_a_clear_line_and_writes_nothing) {
  const std::string archive = folder_ + "/坏 的.apkm", taken = folder_ + "/坏 的";
  if (GetParam().forgery.empty()) {
    Zip("应用 集", archive, GetParam().zipOptions);
  } else {
    RequireTools({"python3"});
    if (IsSkipped() || HasFailure()) return;
    ASSERT_EQ(RunToEnd({"python3", "-c", kForger, archive, work_ / "应用 集", GetParam().forgery})
                  .exitStatus,
              0);
  }
  if (GetParam().truncated) fs::resize_file(archive, fs::file_size(archive) - 30);

  Press("UserDefine10", archive, taken);

  EXPECT_TRUE(OutputHolds(GetParam().message)) << Output();
  EXPECT_TRUE(EndedWithStatus("拆开分包", 1));
  EXPECT_EQ(std::distance(fs::directory_iterator(folder_), {}), 3) << "only the three archives";
}

INSTANTIATE_TEST_SUITE_P(
    Archives, RefusedArchiveTest,
    ::testing::Values(
        RefusedArchive{"encrypted", {"-e", "-P", "密码"}, false, "archive is encrypted"},
        RefusedArchive{"damaged", {}, true, "not a ZIP archive, or a damaged one"},
        RefusedArchive{"without_apks", {"-x", "*.apk"}, false, "no APK in the archive"},
        RefusedArchive{"name_outside", {"../清单.xml"}, false, "names a file outside"},
        RefusedArchive{"absolute_name", {}, false, "(/abs-escape.txt)", "absolute"},
        RefusedArchive{"backslash_name", {}, false, "(..\\escape.txt)", "backslash"},
        RefusedArchive{"name_twice", {}, false, "holds ./manifest.json twice", "dotted"},
        RefusedArchive{
            "size_lie", {}, false, "Android/obb/main.obb inflates past the 620 bytes", "size"},
        RefusedArchive{"crc_mismatch", {}, false, "Android/obb/main.obb is damaged", "crc"},
        RefusedArchive{"more_than_the_free_space", {}, false, "files take 11258999068", "space"}),
    [](const auto& info) { return info.param.name; });

TEST_F(SplitAppsTest, takes_a_set_apart_into_the_empty_folder_that_a_link_names) {
  fs::create_directories(folder_ + "/空 的");
  fs::create_directory_symlink("空 的", folder_ + "/链 接");

  const FinishedProgram run =
      RunToEnd({Program().VelmoraRun(), "-f", "-o", folder_ + "/链 接", "UserDefine10", xapk_});

  EXPECT_EQ(run.exitStatus, 0) << run.out << run.err;
  EXPECT_TRUE(fs::is_regular_file(folder_ + "/空 的/base.apk"));
  EXPECT_TRUE(fs::is_symlink(folder_ + "/链 接"));
}

TEST_F(SplitAppsTest, takes_files_out_with_the_users_umask_whatever_modes_the_archive_records) {
  fs::create_directories(work_ / "应用 集/Android/obb");
  for (const std::string name : {"manifest.json", "Android/obb", "Android"}) {
    fs::permissions(work_ / "应用 集/" + name, fs::perms::all);
  }
  Zip("应用 集", xapk_);
  const mode_t mask = ::umask(0);
  ::umask(mask);

  Press("UserDefine10", xapk_, folder_ + "/拆 开");

  EXPECT_TRUE(EndedWithStatus("拆开分包", 0));
  const auto mode = [&](const std::string& name) {
    return fs::status(folder_ + "/拆 开/" + name).permissions();
  };
  EXPECT_EQ(mode("manifest.json"), fs::perms(0666 & ~mask));
  EXPECT_EQ(mode("Android/obb"), fs::perms(0777 & ~mask));
}

TEST_F(SplitAppsTest, reads_serials_with_blanks_from_crlf_lines_and_gives_up_on_a_hung_adb) {
  const std::string adb = StandInAdb("甲 乙\\tdevice\\r\\n丙\\tunauthorized\\r");
  const std::string base = work_ / "应用 集/org.velmora.split.apk";
  Press("UserDefine1", base);
  EXPECT_TRUE(OutputHolds("I: 甲 乙: installed")) << Output();
  EXPECT_TRUE(OutputHolds("E: 丙: not installed, adb lists the device as: unauthorized"));
  EXPECT_EQ(RecordedArguments(adb).back(), "[-s][甲 乙][install][-r][" + base + "]");

  // The hung adb has a child of its own, which has to go with it.
  work_.Write("假 adb/adb", "#!/bin/sh\nsleep 600 & echo $! > \"$0.pid\"; wait\n");
  const ScopedEnvironment shortWait("VELMORA_ADB_WAIT", "1");
  Press("UserDefine1", base);
  EXPECT_TRUE(OutputHolds("adb did not answer within 1 seconds")) << Output();
  EXPECT_TRUE(OutputHolds("run adb kill-server, then try again")) << Output();
  EXPECT_TRUE(EndedWithStatus("安装到设备", 1));
  EXPECT_TRUE(HasEnded(std::stoi(TempDir::ReadFile(adb + ".pid"))));
}

TEST_F(SplitAppsTest, installs_on_each_device_and_says_at_once_when_there_is_none) {
  StandInAdb("");
  Press("UserDefine12", work_ / "应用 集");
  EXPECT_TRUE(OutputHolds("no device attached")) << Output();
  EXPECT_TRUE(EndedWithStatus("安装分包", 1));

  const std::string adb = StandInAdb("甲\\tdevice\\n第二台\\tdevice", "第二台");
  const std::string base = work_ / "应用 集/org.velmora.split.apk",
                    set = "[" + base + "][" + work_ / "应用 集/config.arm64_v8a.apk][" +
                          work_ / "应用 集/config.xxhdpi.apk]";
  Press("UserDefine12", work_ / "应用 集");
  EXPECT_TRUE(OutputHolds("I: 甲: installed")) << Output();
  EXPECT_TRUE(OutputHolds("E: 第二台: not installed")) << Output();
  EXPECT_TRUE(EndedWithStatus("安装分包", 1));
  Press("UserDefine1", base);
  EXPECT_EQ(
      RecordedArguments(adb),
      (Lines{"[devices]", "[devices]", "[-s][甲][install-multiple][-r]" + set,
             "[-s][第二台][install-multiple][-r]" + set, "[devices]",
             "[-s][甲][install][-r][" + base + "]", "[-s][第二台][install][-r][" + base + "]"}));
}

TEST_F(SplitAppsTest, velmora_run_takes_apart_signs_and_installs_a_batch_of_sets) {
  const std::string adb = StandInAdb("甲\\tdevice");
  const std::string one = folder_ + "/演示 应用", two = folder_ + "/演示 应用 2";
  fs::rename(apks_, two + ".apks");
  auto run = [&](const std::string& section, const std::string& source, const std::string& more) {
    return RunToEnd({Program().VelmoraRun(), section, source, more});
  };
  ASSERT_EQ(run("UserDefine10", xapk_, two + ".apks").exitStatus, 0);
  work_.Write("工作 区/演示 应用 2/split_坏 的.apk", "not a zip");

  const FinishedProgram signing = run("UserDefine11", one, two);
  EXPECT_EQ(signing.exitStatus, 1);
  EXPECT_TRUE(Holds(signing.out, "E:   not signed, left as it was: split_坏 的.apk"))
      << signing.out;
  EXPECT_EQ(run("UserDefine12", one, two).exitStatus, 0);

  std::string certificate;
  fs::remove(two + "/split_坏 的.apk");
  for (const std::string apk : {"/base.apk", "/config.xxhdpi.apk", "/config.arm64_v8a.apk"}) {
    for (const std::string& set : {one, two}) {
      const FinishedProgram verification = VerifySignature(set + apk);
      EXPECT_EQ(verification.exitStatus, 0) << set + apk << verification.err;
      EXPECT_TRUE(IsAligned(set + apk)) << set + apk;
      const std::string digest = verification.out.substr(verification.out.find("SHA-256"), 80);
      EXPECT_EQ(digest, certificate.empty() ? digest : certificate) << set + apk;
      certificate = digest;
    }
  }
  EXPECT_TRUE(RecordedArguments(adb).at(1).starts_with("[-s][甲][install-multiple][-r][" + one +
                                                       "/base.apk]"));
}

}  // namespace
}  // namespace velmora::test
