#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <memory>
#include <regex>

#include "info/info_test_app.h"
#include "support/required_tools.h"
#include "support/split_app.h"

namespace velmora::test {
namespace {

namespace fs = std::filesystem;

FinishedProgram Info(const std::vector<std::string>& arguments) {
  std::vector<std::string> argv{VELMORA_INFO_PATH};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  return RunToEnd(argv);
}

// The keys of the JSON objects in `json`, in order, at the indentation of
// `depth` levels.
std::vector<std::string> KeysAt(const std::string& json, int depth) {
  const std::regex key("^" + std::string(2 * depth, ' ') + "\"([A-Za-z0-9]+)\": ");
  std::vector<std::string> keys;
  std::istringstream lines(json);
  for (std::string line; std::getline(lines, line);) {
    std::smatch match;
    if (std::regex_search(line, match, key)) keys.push_back(match[1]);
  }
  return keys;
}

// A named pipe that nothing writes to.
std::string Fifo(const std::string& path) {
  ::mkfifo(path.c_str(), 0600);
  return path;
}

class VelmoraInfoTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!MissingTools({"aapt2", "apksigner", "keytool"}).empty()) return;
    dir_ = std::make_unique<TempDir>();
    InfoTestApp app(*dir_);
    apk_ = app.Build("信息 app", {24, 33, false});
    app.SignWithApksigner(apk_, app.Keystore("rsa", "RSA", 2048), {});
    error_ = app.Error();
  }
  static void TearDownTestSuite() { dir_.reset(); }

  void SetUp() override {
    RequireTools({"aapt2", "apksigner", "keytool"});
    if (IsSkipped() || HasFailure()) return;
    ASSERT_EQ(error_, "");
  }

  TempDir work_;
  static std::unique_ptr<TempDir> dir_;
  static std::string apk_;
  static std::string error_;
};

std::unique_ptr<TempDir> VelmoraInfoTest::dir_;
std::string VelmoraInfoTest::apk_;
std::string VelmoraInfoTest::error_;

TEST_F(VelmoraInfoTest, prints_one_fact_a_line_with_chinese_labels) {
  const FinishedProgram run = Info({"--", apk_});

  EXPECT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_EQ(run.err, "");
  for (const std::string& line :
       {"文件：" + apk_, std::string("包名：org.velmora.infodemo"), std::string("版本号：41"),
        std::string("版本名：4.1-beta"), std::string("应用名称：信息 Demo"),
        std::string("最低 SDK：24"), std::string("分包：（基础包）"),
        std::string("启动 Activity：org.velmora.infodemo.Main"), std::string("权限（3 项）："),
        std::string("  android.permission.CAMERA"), std::string("CPU 类型（2 项）："),
        std::string("  x86_64"), std::string("dex 文件数：2"), std::string("签名方案：v1 v2 v3"),
        std::string("签名校验：通过"),
        std::string("  主体：CN=Info rsa, OU=Tests, O=Velmora, C=CN"),
        std::string("  密钥：RSA 2048 位")}) {
    EXPECT_NE(("\n" + run.out).find("\n" + line + "\n"), std::string::npos) << line << "\n"
                                                                            << run.out;
  }
}

TEST_F(VelmoraInfoTest, json_gives_exactly_the_keys_and_an_array_for_several_paths) {
  const FinishedProgram one = Info({"--json", apk_});
  const FinishedProgram two = Info({"--json", apk_, apk_});

  ASSERT_EQ(one.exitStatus, 0) << one.err;
  EXPECT_TRUE(one.out.starts_with("{\n")) << one.out;
  EXPECT_EQ(KeysAt(one.out, 1), (std::vector<std::string>{
                                    "file", "package", "versionCode", "versionName", "label",
                                    "minSdk", "targetSdk", "compileSdk", "split", "launchActivity",
                                    "permissions", "abis", "dexFiles", "size", "signature"}));
  EXPECT_EQ(KeysAt(one.out, 2), (std::vector<std::string>{"verified", "schemes", "signers"}));
  EXPECT_EQ(KeysAt(one.out, 4), (std::vector<std::string>{"sha256", "subject", "notBefore",
                                                          "notAfter", "keyAlgorithm", "keyBits"}));
  EXPECT_NE(one.out.find("\"versionCode\": 41,"), std::string::npos);
  EXPECT_NE(one.out.find("\"split\": \"\","), std::string::npos);
  EXPECT_NE(one.out.find("\"verified\": true,"), std::string::npos);
  ASSERT_EQ(two.exitStatus, 0) << two.err;
  EXPECT_TRUE(two.out.starts_with("[\n  {\n")) << two.out;
  EXPECT_EQ(KeysAt(two.out, 2).size(), 30u);
}

TEST_F(VelmoraInfoTest, json_is_valid_utf8_for_names_with_quotes_controls_and_stray_bytes) {
  RequireTools({"python3"});
  // A quote, a backslash, a control character, a byte that starts no UTF-8
  // sequence and an encoded surrogate, in the file's name.
  const std::string apk = work_ / "q\"\\\x01\xff\xed\xa0\x80 应用.apk";
  fs::copy_file(apk_, apk);
  const std::string json = work_ / "report.json";

  const FinishedProgram run = Info({"--json", apk});
  work_.Write("report.json", run.out);
  const FinishedProgram parsed =
      RunToEnd({"python3", "-c",
                "import json, sys; print(json.loads(open(sys.argv[1], 'rb').read().decode('utf-8'))"
                "['file'].encode('unicode_escape').decode())",
                json});

  ASSERT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_EQ(parsed.exitStatus, 0) << parsed.err;
  const std::string folder = work_ / "";
  EXPECT_EQ(parsed.out, folder + "q\"\\\\\\x01\\ufffd\\ufffd\\ufffd\\ufffd \\u5e94\\u7528.apk\n");
}

TEST_F(VelmoraInfoTest, a_split_set_gives_its_package_and_its_apks_base_first) {
  TempDir appDir;
  const SplitApp app(appDir);
  ASSERT_EQ(app.Error(), "");
  const std::string folder = work_ / "set";
  fs::create_directories(folder);
  for (const auto& [name, path] : app.SetFiles()) fs::copy_file(path, folder + "/" + name);
  SplitApp::WriteArchive(
      work_ / "app.xapk",
      {{"base.apk", TempDir::ReadFile(folder + "/base.apk")},
       {"config.arm64_v8a.apk", TempDir::ReadFile(folder + "/config.arm64_v8a.apk")},
       {"manifest.json", "{}"}},
      8);

  const FinishedProgram run = Info({"--json", folder});
  const FinishedProgram archive = Info({work_ / "app.xapk"});

  ASSERT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_EQ(KeysAt(run.out, 1), (std::vector<std::string>{"package", "versionCode", "apks"}));
  std::vector<std::string> files, splits;
  for (const std::string& line : LinesAfter(run.out, "      \"file\": ")) files.push_back(line);
  for (const std::string& line : LinesAfter(run.out, "      \"split\": ")) splits.push_back(line);
  EXPECT_EQ(files.front(), "\"base.apk\",");
  EXPECT_EQ(splits, (std::vector<std::string>{"\"\",", "\"config.arm64_v8a\",", "\"config.de\",",
                                              "\"config.fr\",", "\"config.hdpi_v4\",",
                                              "\"config.xhdpi_v4\","}));
  EXPECT_NE(run.out.find("\"package\": \"org.velmora.splitdemo\",\n  \"versionCode\": 7,"),
            std::string::npos);
  EXPECT_NE(run.out.find("\"abis\": [\n        \"arm64-v8a\"\n      ]"), std::string::npos);
  ASSERT_EQ(archive.exitStatus, 0) << archive.err;
  EXPECT_TRUE(archive.out.starts_with("安装包组：" + work_ / "app.xapk" +
                                      "\n包名：org.velmora.splitdemo\n"))
      << archive.out;
  EXPECT_NE(archive.out.find("\n分包：config.arm64_v8a\n"), std::string::npos);
  EXPECT_NE(archive.out.find("签名校验：未通过：APK 没有签名"), std::string::npos);
}

TEST_F(VelmoraInfoTest, bad_input_names_the_file_and_still_reports_the_others) {
  const std::string original = TempDir::ReadFile(apk_);
  auto archiveWith = [&](const std::string& name,
                         const std::map<std::string, std::string>& entries) {
    SplitApp::WriteArchive(work_ / name, entries, 8);
    return work_ / name;
  };
  auto opened = apk::ZipReader::OpenFile(apk_, apk_);
  const auto& reader = std::get<apk::ZipReader>(opened);
  const std::string manifest =
      std::get<std::string>(reader.Read(*reader.Find("AndroidManifest.xml"), 1 << 20));
  struct BadInput {
    std::string path;
    std::string message;
  };
  const std::vector<BadInput> inputs{
      {work_.Write("notes.apk", "not a package at all"), "notes.apk 不是可读的 ZIP 文件"},
      {work_.Write("cut.apk", original.substr(0, original.size() / 2)),
       "cut.apk 不是可读的 ZIP 文件"},
      {archiveWith("no-manifest.apk", {{"classes.dex", "dex"}}), "no-manifest.apk 不是 APK"},
      {archiveWith("bad-manifest.apk", {{"AndroidManifest.xml", manifest.substr(0, 100)}}),
       "bad-manifest.apk：AndroidManifest.xml"},
      {archiveWith("bad-table.apk",
                   {{"AndroidManifest.xml", manifest}, {"resources.arsc", "\x02\x00\x0c\x00junk"}}),
       "bad-table.apk：resources.arsc"},
      {work_ / "missing.apk", "找不到 " + work_ / "missing.apk"},
      {Fifo(work_ / "pipe.apk"), "pipe.apk 不是可读的 ZIP 文件（不是普通文件）"},
      {fs::path(work_.Write("empty/readme.txt", "x")).parent_path().string(), "中没有 APK 文件"},
  };
  for (const BadInput& input : inputs) {
    const FinishedProgram run = Info({input.path, apk_});

    EXPECT_EQ(run.exitStatus, 1) << input.path;
    EXPECT_TRUE(run.err.starts_with("velmora-info: ")) << run.err;
    EXPECT_NE(run.err.find(input.message), std::string::npos) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_NE(run.out.find("包名：org.velmora.infodemo"), std::string::npos) << input.path;
  }
}

TEST_F(VelmoraInfoTest, usage_errors_end_with_status_2) {
  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{}, std::vector<std::string>{"--color", apk_}}) {
    const FinishedProgram run = Info(arguments);
    EXPECT_EQ(run.exitStatus, 2);
    EXPECT_NE(run.err.find("usage: velmora-info"), std::string::npos);
  }
}

}  // namespace
}  // namespace velmora::test
