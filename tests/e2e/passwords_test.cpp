#include <gtest/gtest.h>
#include <unistd.h>

#include <set>
#include <string>
#include <vector>

#include "e2e/shipped_program_test.h"
#include "support/command_line_watch.h"
#include "support/required_tools.h"

namespace velmora::test {
namespace {

using Lines = std::vector<std::string>;

// The shipped signing sections through velmora-run, with a key of the test's
// own whose two passwords are unlike anything else on the machine.
class PasswordsTest : public ShippedProgramTest {
 protected:
  void SetUp() override {
    ShippedProgramTest::SetUp();
    if (IsSkipped() || HasFailure()) return;
    ASSERT_EQ(RunToEnd({"keytool", "-genkeypair", "-keystore", keystore_, "-storetype", "JKS",
                        "-storepass", storepass_, "-keypass", keypass_, "-alias", "watched",
                        "-keyalg", "RSA", "-dname", "CN=Velmora Watch", "-validity", "30"})
                  .exitStatus,
              0);
    Settings settings = Program().ChangedSettings(ini_, "KeystoreFile", "keystore", keystore_);
    settings.WriteSetting("KeystoreFile", "storepass", storepass_);
    settings.WriteSetting("KeystoreFile", "keypass", keypass_);
    settings.WriteSetting("KeystoreFile", "alias", "watched");
    ASSERT_NO_FATAL_FAILURE(CopyUnsignedPackageTo(package_));
  }

  // velmora-run on the test's settings, with neither password variable in its
  // environment: the passwords reach the tools from [KeystoreFile] alone.
  FinishedProgram Run(Lines arguments) const {
    arguments.insert(arguments.begin(), {Program().VelmoraRun(), "--ini", ini_});
    return RunToEnd(arguments, {{"VELMORA_STOREPASS", ""}, {"VELMORA_KEYPASS", ""}});
  }

  bool SignedByTheTestsKey(const std::string& package) const {
    return Holds(VerifySignature(package).out, "certificate DN: CN=Velmora Watch");
  }

  const std::string storepass_ = "store-" + std::to_string(::getpid()) + "-geheim";
  const std::string keypass_ = "key-" + std::to_string(::getpid()) + "-geheim";
  const std::string keystore_ = work_ / "watched.keystore";
  const std::string ini_ = work_ / "Velmora.ini";
  const std::string package_ = folder_ + "/演示 app.apk";
};

TEST_F(PasswordsTest, no_command_line_shows_a_password_while_the_shipped_sections_sign) {
  RequireTools({"aapt2", "keytool"});
  if (IsSkipped() || HasFailure()) return;
  ASSERT_NO_FATAL_FAILURE(CopySplitSetTo(folder_ + "/集"));
  CommandLineWatch watch;

  for (const Lines& arguments :
       {Lines{"-o", folder_ + "/v3.apk", "Signer", package_},
        {"--signer", "1", "-o", folder_ + "/v1.apk", "Signer", package_},
        {"UserDefine11", folder_ + "/集"},
        {"-o", folder_ + "/merged.apk", "UserDefine13", folder_ + "/集"}}) {
    const FinishedProgram run = Run(arguments);
    EXPECT_EQ(run.exitStatus, 0) << run.out << run.err;
  }
  watch.Stop();

  for (const std::string signed_ : {"/v3.apk", "/v1.apk", "/集/base.apk", "/merged.apk"}) {
    EXPECT_TRUE(SignedByTheTestsKey(folder_ + signed_)) << signed_;
  }
  EXPECT_EQ(watch.Holding(storepass_), std::set<std::string>{});
  EXPECT_EQ(watch.Holding(keypass_), std::set<std::string>{});
  EXPECT_FALSE(watch.Holding("--ks-pass env:VELMORA_STOREPASS").empty()) << "apksigner not seen";
  EXPECT_FALSE(watch.Holding("-storepass:env VELMORA_STOREPASS").empty()) << "jarsigner not seen";
}

TEST_F(PasswordsTest, a_template_of_old_that_passes_the_passwords_still_signs) {
  Settings settings(Program().Directory(), ini_);
  settings.WriteSetting("Signer", "CommandLine",
                        "--storepass \"%storepass%\" --keypass \"%keypass%\" " +
                            settings.ReadSetting("Signer", "CommandLine", ""));
  CommandLineWatch watch;

  const FinishedProgram run = Run({"-o", folder_ + "/v3.apk", "Signer", package_});
  watch.Stop();

  EXPECT_EQ(run.exitStatus, 0) << run.out << run.err;
  EXPECT_TRUE(SignedByTheTestsKey(folder_ + "/v3.apk"));
  for (const std::string& shown : watch.Holding(storepass_)) {
    EXPECT_TRUE(Holds(shown, "/tool/sign-apk.sh ")) << "only the template's own line: " << shown;
  }
}

}  // namespace
}  // namespace velmora::test
