#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <sstream>

#include "info/info_test_app.h"
#include "support/required_tools.h"

namespace velmora::test {
namespace {

std::string Shown(const info::ShownValue& value) {
  if (value.number) return std::to_string(*value.number);
  return value.text.value_or("");
}

// Compares every field aapt2 dumps with the report of the same APK.
void ExpectFieldsOfAapt2(const std::string& apk, const info::ApkReport& report) {
  const FinishedProgram dump = RunToEnd({"aapt2", "dump", "badging", apk});
  ASSERT_EQ(dump.exitStatus, 0) << dump.err;
  const std::string packageLine = LinesAfter(dump.out, "package: ").at(0);
  EXPECT_EQ(report.package, QuotedValue(packageLine, "name"));
  EXPECT_EQ(report.versionCode ? std::to_string(*report.versionCode) : "",
            QuotedValue(packageLine, "versionCode"));
  EXPECT_EQ(report.versionName.value_or(""), QuotedValue(packageLine, "versionName"));
  std::string compileSdk = QuotedValue(packageLine, "compileSdkVersion");
  if (compileSdk.empty()) compileSdk = QuotedValue(packageLine, "platformBuildVersionCode");
  EXPECT_EQ(Shown(report.compileSdk), compileSdk);
  EXPECT_EQ("'" + Shown(report.minSdk) + "'", LinesAfter(dump.out, "sdkVersion:").at(0));
  EXPECT_EQ("'" + Shown(report.targetSdk) + "'", LinesAfter(dump.out, "targetSdkVersion:").at(0));
  const std::vector<std::string> labels = LinesAfter(dump.out, "application-label:");
  EXPECT_EQ(report.label.value_or(""),
            labels.empty() ? "" : labels.front().substr(1, labels.front().size() - 2));
  const std::vector<std::string> launchable = LinesAfter(dump.out, "launchable-activity: ");
  if (!launchable.empty()) {
    EXPECT_EQ(report.launchActivity.value_or(""), QuotedValue(launchable.front(), "name"));
  }
  std::vector<std::string> permissions;
  for (const char* prefix : {"uses-permission: ", "uses-permission-sdk-23: "}) {
    for (const std::string& line : LinesAfter(dump.out, prefix)) {
      permissions.push_back(QuotedValue(line, "name"));
    }
  }
  std::vector<std::string> reported = report.permissions;
  std::sort(permissions.begin(), permissions.end());
  std::sort(reported.begin(), reported.end());
  EXPECT_EQ(reported, permissions);
  std::string abis;
  for (const std::string& abi : report.abis) abis += " '" + abi + "'";
  const std::vector<std::string> nativeCode = LinesAfter(dump.out, "native-code:");
  EXPECT_EQ(abis, nativeCode.empty() ? "" : nativeCode.front());
  EXPECT_EQ(report.size, std::filesystem::file_size(apk));
}

int DexFilesIn(const std::string& apk) {
  const FinishedProgram listing = RunToEnd({"unzip", "-Z1", apk});
  int count = 0;
  std::istringstream names(listing.out);
  for (std::string name; std::getline(names, name);) {
    count += name.starts_with("classes") && name.ends_with(".dex") &&
             name.find('/') == std::string::npos;
  }
  return count;
}

TEST(PackageFieldsTest, of_apps_aapt2_built_are_those_aapt2_dumps_and_an_alias_launches) {
  RequireTools({"aapt2"});
  if (IsSkipped() || HasFailure()) return;
  TempDir dir;
  InfoTestApp app(dir);
  const std::string apk = app.Build("app", {21, 33, false});
  // A version name that reads as a number keeps its leading zeros.
  const std::string aliased = app.Build("alias", {21, 33, true, "007"});
  ASSERT_EQ(app.Error(), "");

  const info::ApkReport report = ReportOf(apk);
  const info::ApkReport aliasReport = ReportOf(aliased);

  ExpectFieldsOfAapt2(apk, report);
  EXPECT_EQ(report.versionName, "4.1-beta");
  EXPECT_EQ(report.label, "信息 Demo");
  EXPECT_EQ(report.launchActivity, "org.velmora.infodemo.Main");
  EXPECT_EQ(report.permissions,
            (std::vector<std::string>{"android.permission.INTERNET", "android.permission.CAMERA",
                                      "android.permission.VIBRATE"}));
  EXPECT_EQ(report.abis, (std::vector<std::string>{"arm64-v8a", "x86_64"}));
  EXPECT_EQ(report.dexFiles, 2);
  EXPECT_EQ(report.split, "");
  // aapt2 names no launchable activity when an alias is the launcher.
  ExpectFieldsOfAapt2(aliased, aliasReport);
  EXPECT_EQ(aliasReport.launchActivity, "org.velmora.infodemo.Launcher");
  EXPECT_EQ(aliasReport.versionName, "007");
}

class RealPackageFieldsTest : public ::testing::TestWithParam<const char*> {};

TEST_P(RealPackageFieldsTest, are_those_aapt2_and_apksigner_give) {
  RequireTools({"aapt2", "apksigner", "unzip"});
  if (IsSkipped() || HasFailure()) return;
  std::string apk;
  RequireCachedPackage(VELMORA_TEST_DATA_DIR "/real-packages.txt", GetParam(), apk);
  if (IsSkipped() || HasFailure()) return;

  const info::ApkReport report = ReportOf(apk);

  ExpectFieldsOfAapt2(apk, report);
  EXPECT_EQ(report.dexFiles, DexFilesIn(apk));
  const FinishedProgram apksigner =
      RunToEnd({"apksigner", "verify", "--verbose", "--print-certs", apk});
  EXPECT_EQ(report.signature.verified, apksigner.exitStatus == 0) << report.signature.problem;
  ASSERT_EQ(report.signature.signers.size(), 1u);
  EXPECT_EQ(LinesAfter(apksigner.out, "Signer #1 certificate SHA-256 digest: "),
            std::vector{report.signature.signers.front().sha256});
  EXPECT_EQ(LinesAfter(apksigner.out, "Signer #1 certificate DN: "),
            std::vector{report.signature.signers.front().subject});
}

INSTANTIATE_TEST_SUITE_P(Cached, RealPackageFieldsTest,
                         ::testing::Values("settings", "server", "server-test"),
                         [](const auto& info) {
                           std::string name = info.param;
                           std::replace(name.begin(), name.end(), '-', '_');
                           return name;
                         });

}  // namespace
}  // namespace velmora::test
