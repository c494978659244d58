#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "config/placeholders.h"
#include "config/settings.h"
#include "support/child_program.h"
#include "support/required_tools.h"
#include "support/temp_dir.h"

namespace velmora::test {
namespace {

namespace fs = std::filesystem;

const std::string kSignScript = VELMORA_TEST_PROGRAM_DIR "/tool/sign-apk.sh";

// The key that the shipped settings name, expanded as a run expands it.
struct SigningKey {
  std::string keystore;
  std::string storepass;
  std::string keypass;
  std::string alias;
};

SigningKey ShippedSigningKey() {
  const Settings settings(VELMORA_TEST_PROGRAM_DIR);
  auto expand = [&](std::string_view placeholder) {
    return ExpandPlaceholders(settings, placeholder, "", "").value_or("");
  };
  return {expand("%keystore%"), expand("%storepass%"), expand("%keypass%"), expand("%alias%")};
}

std::vector<std::string> SignCommand(std::string_view signer, const SigningKey& key,
                                     const std::string& package) {
  return {
      kSignScript,  "--signer",   std::string(signer), "--java-home", "/usr/lib/jvm/default-java",
      "--keystore", key.keystore, "--storepass",       key.storepass, "--keypass",
      key.keypass,  "--alias",    key.alias,           package};
}

std::vector<std::string> FilesIn(const std::string& directory) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(directory)) {
    names.push_back(entry.path().filename().string());
  }
  return names;
}

class SignApkTest : public ::testing::Test {
 protected:
  // The demo app is built once: apktool takes a few seconds to start.
  static void SetUpTestSuite() {
    if (!MissingTools({"apktool", "apksigner", "zipalign", "jarsigner"}).empty()) return;
    suite_ = new TempDir;
    fs::copy(VELMORA_TEST_DATA_DIR "/demo", *suite_ / "演示 app", fs::copy_options::recursive);
    const FinishedProgram build = RunToEnd({"apktool", "b", "-f", "-p", *suite_ / "frame work",
                                            "-o", *suite_ / "演示 app.apk", *suite_ / "演示 app"});
    buildLog_ = build.out + build.err;
    if (build.exitStatus == 0) unsignedPackage_ = *suite_ / "演示 app.apk";
  }
  static void TearDownTestSuite() {
    delete suite_;
    suite_ = nullptr;
  }

  void SetUp() override {
    RequireTools({"apktool", "apksigner", "zipalign", "jarsigner"});
    if (IsSkipped() || HasFailure()) return;
    ASSERT_FALSE(unsignedPackage_.empty()) << "apktool could not build the demo app:\n"
                                           << buildLog_;
    fs::create_directories(folder_);
    fs::copy_file(unsignedPackage_, package_);
  }

  FinishedProgram Sign(std::string_view signer, const SigningKey& key = ShippedSigningKey(),
                       std::vector<std::string> extra = {},
                       const EnvironmentChanges& environment = {}) {
    std::vector<std::string> command = SignCommand(signer, key, package_);
    command.insert(command.end(), extra.begin(), extra.end());
    return RunToEnd(command, environment);
  }

  static FinishedProgram Verify(const std::string& package) {
    return RunToEnd({"apksigner", "verify", "--verbose", package});
  }

  std::string Contents() const { return TempDir::ReadFile(package_); }

  TempDir work_;
  const std::string folder_ = work_ / "工作 区";
  const std::string package_ = folder_ + "/演示 app_signed.apk";

 private:
  static TempDir* suite_;
  static std::string unsignedPackage_;
  static std::string buildLog_;
};

TempDir* SignApkTest::suite_ = nullptr;
std::string SignApkTest::unsignedPackage_;
std::string SignApkTest::buildLog_;

struct SignerCase {
  std::string name;
  std::string signer;
  bool v2AndV3 = false;  // jarsigner gives a v1 signature only
};

void PrintTo(const SignerCase& signerCase, std::ostream* out) {
  *out << signerCase.name;
}

class SignApkSignerTest : public SignApkTest, public ::testing::WithParamInterface<SignerCase> {};

TEST_P(SignApkSignerTest, signs_in_place_so_that_the_package_verifies_and_is_aligned) {
  const FinishedProgram signing = Sign(GetParam().signer);
  ASSERT_EQ(signing.exitStatus, 0) << signing.out << signing.err;

  const FinishedProgram verification = Verify(package_);
  EXPECT_EQ(verification.exitStatus, 0) << verification.out << verification.err;
  const std::string v2v3 = GetParam().v2AndV3 ? "true" : "false";
  EXPECT_NE(verification.out.find("Verified using v1 scheme (JAR signing): true"),
            std::string::npos)
      << verification.out;
  EXPECT_NE(verification.out.find("Verified using v2 scheme (APK Signature Scheme v2): " + v2v3),
            std::string::npos)
      << verification.out;
  EXPECT_NE(verification.out.find("Verified using v3 scheme (APK Signature Scheme v3): " + v2v3),
            std::string::npos)
      << verification.out;
  EXPECT_EQ(RunToEnd({"zipalign", "-c", "-p", "4", package_}).exitStatus, 0);
  EXPECT_EQ(FilesIn(folder_), std::vector<std::string>{"演示 app_signed.apk"});
}

TEST_P(SignApkSignerTest, keeps_the_permissions_of_the_package) {
  fs::permissions(package_, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

  ASSERT_EQ(Sign(GetParam().signer).exitStatus, 0);

  EXPECT_EQ(fs::status(package_).permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_P(SignApkSignerTest, a_wrong_password_fails_and_leaves_the_package_as_it_was) {
  const std::string before = Contents();
  SigningKey key = ShippedSigningKey();
  key.storepass = key.keypass = "wrong password";

  const FinishedProgram signing = Sign(GetParam().signer, key);

  EXPECT_NE(signing.exitStatus, 0);
  // jarsigner reports its errors on standard output, apksigner on standard error.
  EXPECT_NE((signing.out + signing.err).find("password was incorrect"), std::string::npos)
      << signing.out << signing.err;
  EXPECT_EQ(Contents(), before);
  EXPECT_EQ(FilesIn(folder_), std::vector<std::string>{"演示 app_signed.apk"});
}

// Java says which collector it uses at its start with -Xlog:gc.
TEST_P(SignApkSignerTest, starts_java_with_the_serial_collector_unless_the_user_chose_one) {
  const FinishedProgram shipped =
      Sign(GetParam().signer, ShippedSigningKey(), {}, {{"VELMORA_JAVA_OPTIONS", "-Xlog:gc"}});
  EXPECT_EQ(shipped.exitStatus, 0) << shipped.out << shipped.err;
  EXPECT_NE(shipped.out.find("[gc] Using Serial"), std::string::npos) << shipped.out;

  const FinishedProgram chosen =
      Sign(GetParam().signer, ShippedSigningKey(), {},
           {{"VELMORA_JAVA_OPTIONS", "-Xlog:gc"}, {"JAVA_TOOL_OPTIONS", "-XX:+UseParallelGC"}});
  EXPECT_EQ(chosen.exitStatus, 0) << chosen.out << chosen.err;
  EXPECT_NE(chosen.out.find("[gc] Using Parallel"), std::string::npos) << chosen.out;
}

INSTANTIATE_TEST_SUITE_P(Signers, SignApkSignerTest,
                         ::testing::Values(SignerCase{"apksigner", "apksigner", true},
                                           SignerCase{"jarsigner", "jarsigner", false}),
                         [](const auto& info) { return info.param.name; });

TEST_F(SignApkTest, jarsigner_signs_a_package_named_by_a_relative_symbolic_link) {
  const std::string link = folder_ + "/链接.apk";
  fs::create_symlink("演示 app_signed.apk", link);

  const FinishedProgram signing = RunToEnd(SignCommand("jarsigner", ShippedSigningKey(), link));

  EXPECT_EQ(signing.exitStatus, 0) << signing.out << signing.err;
  EXPECT_EQ(Verify(link).exitStatus, 0);
}

TEST_F(SignApkTest, signing_again_with_the_other_signer_replaces_the_signature) {
  ASSERT_EQ(Sign("jarsigner").exitStatus, 0);
  ASSERT_EQ(Sign("apksigner").exitStatus, 0);
  const FinishedProgram afterApksigner = Verify(package_);
  EXPECT_EQ(afterApksigner.exitStatus, 0) << afterApksigner.out << afterApksigner.err;
  EXPECT_NE(afterApksigner.out.find("(APK Signature Scheme v2): true"), std::string::npos);

  ASSERT_EQ(Sign("jarsigner").exitStatus, 0);
  const FinishedProgram afterJarsigner = Verify(package_);
  EXPECT_EQ(afterJarsigner.exitStatus, 0) << afterJarsigner.out << afterJarsigner.err;
  EXPECT_EQ(RunToEnd({"zipalign", "-c", "-p", "4", package_}).exitStatus, 0);
}

TEST_F(SignApkTest, hands_the_time_stamp_authority_to_jarsigner) {
  const std::string before = Contents();

  // Nothing listens on the discard port, so the authority refuses the request.
  const FinishedProgram signing =
      Sign("jarsigner", ShippedSigningKey(), {"--tsa", "http://127.0.0.1:9/"});

  EXPECT_EQ(signing.exitStatus, 1);
  EXPECT_NE(signing.out.find("Connection refused"), std::string::npos) << signing.out;
  EXPECT_EQ(Contents(), before);
}

struct MisuseCase {
  std::string name;
  std::vector<std::string> arguments;  // after the script's path
  int exitStatus = 0;
  std::string message;  // a part of what it says on standard error
};

void PrintTo(const MisuseCase& misuse, std::ostream* out) {
  *out << misuse.name;
}

// The script checks its arguments before it runs a tool, so no real package
// or tool is needed here.
class SignApkMisuseTest : public ::testing::TestWithParam<MisuseCase> {
 protected:
  TempDir work_;
  const std::string package_ = work_.Write("演示 app.apk", "not yet signed");
};

TEST_P(SignApkMisuseTest, refuses_with_a_message_and_leaves_the_package_as_it_was) {
  std::vector<std::string> command{kSignScript};
  for (const std::string& argument : GetParam().arguments) {
    command.push_back(argument == "PACKAGE" ? package_ : argument);
  }

  const FinishedProgram result = RunToEnd(command);

  EXPECT_EQ(result.exitStatus, GetParam().exitStatus);
  EXPECT_NE(result.err.find(GetParam().message), std::string::npos) << result.err;
  EXPECT_EQ(TempDir::ReadFile(package_), "not yet signed");
  EXPECT_EQ(FilesIn(work_.path()), std::vector<std::string>{"演示 app.apk"});
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, SignApkMisuseTest,
    ::testing::Values(
        MisuseCase{"unknown_option",
                   {"--signer", "apksigner", "--colour", "PACKAGE"},
                   2,
                   "unknown option: --colour"},
        MisuseCase{"option_without_value", {"PACKAGE", "--alias"}, 2, "--alias needs a value"},
        MisuseCase{"unknown_signer",
                   {"--signer", "signtool", "--alias", "a", "PACKAGE"},
                   2,
                   "--signer must be apksigner or jarsigner"},
        MisuseCase{"no_package", {"--signer", "apksigner", "--alias", "a"}, 2, "no package given"},
        MisuseCase{"two_packages",
                   {"--signer", "apksigner", "--alias", "a", "PACKAGE", "PACKAGE"},
                   2,
                   "more than one package"},
        MisuseCase{"missing_package",
                   {"--signer", "apksigner", "--alias", "a", "/nonexistent/演示.apk"},
                   1,
                   "no such package: /nonexistent/演示.apk"},
        MisuseCase{"missing_keystore",
                   {"--signer", "jarsigner", "--keystore", "/nonexistent/debug.keystore", "--alias",
                    "a", "PACKAGE"},
                   1,
                   "no keystore at: /nonexistent/debug.keystore"}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace velmora::test
