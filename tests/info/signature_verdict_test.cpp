#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>

#include "info/info_test_app.h"
#include "support/forged_zip.h"
#include "support/required_tools.h"
#include "support/split_app.h"

namespace velmora::test {
namespace {

enum class Signer { kNone, kApksigner, kJarsigner };
enum class Change { kNone, kByteAfterSigning, kFileAddedAfterSigning, kSigningBlockStripped };

// A key that keytool makes.
struct Key {
  const char* algorithm;
  int bits;
};
constexpr Key kRsa{"RSA", 2048}, kRsa4096{"RSA", 4096}, kEc{"EC", 256}, kDsa{"DSA", 2048};

struct VerdictCase {
  const char* name;
  AppShape shape;
  Key key;
  Signer signer;
  std::vector<std::string> options;  // apksigner's
  Change change;
};

VerdictCase Row(const char* name, AppShape shape, Key key, Signer signer,
                std::vector<std::string> options = {}, Change change = Change::kNone) {
  return {name, shape, key, signer, std::move(options), change};
}

// Flips a byte of the stored asset: the entries no longer hash to what was signed.
void ChangeAByte(const std::string& apk) {
  std::string bytes = TempDir::ReadFile(apk);
  bytes[bytes.find(InfoTestApp::kMarker)] ^= 1;
  std::ofstream(apk, std::ios::binary | std::ios::trunc) << bytes;
}

class SignatureVerdictTest : public ::testing::TestWithParam<VerdictCase> {
 protected:
  static void SetUpTestSuite() {
    if (!MissingTools({"aapt2", "apksigner", "jarsigner", "keytool"}).empty()) return;
    dir_ = std::make_unique<TempDir>();
    app_ = std::make_unique<InfoTestApp>(*dir_);
  }
  static void TearDownTestSuite() {
    app_.reset();
    dir_.reset();
  }

  void SetUp() override {
    RequireTools({"aapt2", "apksigner", "jarsigner", "keytool"});
    if (IsSkipped() || HasFailure()) return;
    ASSERT_EQ(app_->Error(), "");
  }

  std::string Make(const VerdictCase& row) const {
    const std::string apk = app_->Build(row.name, row.shape);
    const std::string keystore = row.signer == Signer::kNone
                                     ? ""
                                     : app_->Keystore(row.name, row.key.algorithm, row.key.bits);
    if (row.signer == Signer::kApksigner) app_->SignWithApksigner(apk, keystore, row.options);
    if (row.signer == Signer::kJarsigner) app_->SignWithJarsigner(apk, keystore);
    if (row.change == Change::kByteAfterSigning) ChangeAByte(apk);
    // Writing the entries again into a new archive drops the signing block
    // and keeps the JAR signature.
    if (row.change == Change::kSigningBlockStripped) SplitApp::AddToArchive(apk, {}, 8);
    if (row.change == Change::kFileAddedAfterSigning) {
      SplitApp::AddToArchive(apk, {{"assets/added.txt", "added after signing"}}, 8);
    }
    return apk;
  }

  static std::unique_ptr<TempDir> dir_;
  static std::unique_ptr<InfoTestApp> app_;
};

std::unique_ptr<TempDir> SignatureVerdictTest::dir_;
std::unique_ptr<InfoTestApp> SignatureVerdictTest::app_;

TEST_P(SignatureVerdictTest, is_the_verdict_and_signer_apksigner_gives) {
  const std::string apk = Make(GetParam());
  ASSERT_EQ(app_->Error(), "");

  const FinishedProgram apksigner =
      RunToEnd({"apksigner", "verify", "--verbose", "--print-certs", apk});
  const info::ApkReport report = ReportOf(apk);

  const bool verifies = apksigner.exitStatus == 0;
  EXPECT_EQ(report.signature.verified, verifies)
      << "apksigner:\n"
      << apksigner.out << apksigner.err << "velmora-info: " << report.signature.problem;
  const auto& schemes = report.signature.schemes;
  for (const char* scheme : {"v1", "v2", "v3"}) {
    const bool verifiedThere =
        apksigner.out.find(std::string("Verified using ") + scheme + " scheme") !=
            std::string::npos &&
        !LinesAfter(apksigner.out, std::string("Verified using ") + scheme).empty() &&
        LinesAfter(apksigner.out, std::string("Verified using ") + scheme)
            .front()
            .ends_with("true");
    if (verifiedThere) {
      EXPECT_NE(std::find(schemes.begin(), schemes.end(), scheme), schemes.end()) << scheme;
    }
  }
  if (!verifies) return;
  ASSERT_EQ(report.signature.signers.size(), 1u);
  const apk::CertificateFacts& signer = report.signature.signers.front();
  EXPECT_EQ(LinesAfter(apksigner.out, "Signer #1 certificate SHA-256 digest: "),
            std::vector{signer.sha256});
  EXPECT_EQ(LinesAfter(apksigner.out, "Signer #1 certificate DN: "), std::vector{signer.subject});
  EXPECT_EQ(LinesAfter(apksigner.out, "Signer #1 key algorithm: "),
            std::vector{signer.keyAlgorithm});
  EXPECT_EQ(LinesAfter(apksigner.out, "Signer #1 key size (bits): "),
            std::vector{std::to_string(signer.keyBits)});
  EXPECT_LT(signer.notBefore, signer.notAfter);
}

const std::vector<std::string> kV1Only{"--v2-signing-enabled", "false", "--v3-signing-enabled",
                                       "false"};
const std::vector<std::string> kV3Only{"--v1-signing-enabled", "false", "--v2-signing-enabled",
                                       "false"};
const std::vector<std::string> kV2Only{"--v1-signing-enabled", "false", "--v3-signing-enabled",
                                       "false"};

INSTANTIATE_TEST_SUITE_P(
    Packages, SignatureVerdictTest,
    ::testing::Values(
        Row("unsigned", {}, kRsa, Signer::kNone),
        Row("jarsigner_rsa", {19, 29}, kRsa, Signer::kJarsigner),
        Row("jarsigner_rsa_before_api_19", {18, 29}, kRsa, Signer::kJarsigner),
        Row("jarsigner_ec_before_api_21", {19, 29}, kEc, Signer::kJarsigner),
        Row("jarsigner_ec", {21, 29}, kEc, Signer::kJarsigner),
        Row("jarsigner_dsa", {21, 29}, kDsa, Signer::kJarsigner),
        Row("jarsigner_only_for_api_24_and_later", {24, 29}, kRsa, Signer::kJarsigner),
        Row("jarsigner_only_targeting_api_30", {24, 30}, kRsa, Signer::kJarsigner),
        Row("jarsigner_then_file_added", {21, 29}, kRsa, Signer::kJarsigner, {},
            Change::kFileAddedAfterSigning),
        Row("apksigner_all_schemes", {19, 33}, kRsa, Signer::kApksigner),
        Row("apksigner_v1_only_for_api_24", {24, 29}, kRsa, Signer::kApksigner, kV1Only),
        Row("apksigner_v1_only_for_api_14", {14, 29}, kRsa, Signer::kApksigner, kV1Only),
        Row("apksigner_v2_only_ec", {24, 33}, kEc, Signer::kApksigner, kV2Only),
        Row("apksigner_v2_only_below_api_24", {21, 33}, kEc, Signer::kApksigner, kV2Only),
        Row("apksigner_v3_only", {28, 33}, kRsa, Signer::kApksigner, kV3Only),
        Row("apksigner_v3_only_below_api_28", {26, 33}, kRsa, Signer::kApksigner, kV3Only),
        Row("apksigner_with_verity", {24, 33}, kEc, Signer::kApksigner,
            {"--verity-enabled", "true"}),
        Row("apksigner_rsa_4096_sha512", {24, 33}, kRsa4096, Signer::kApksigner),
        Row("apksigner_dsa", {24, 29}, kDsa, Signer::kApksigner),
        Row("apksigner_then_byte_changed", {24, 33}, kRsa, Signer::kApksigner, {},
            Change::kByteAfterSigning),
        Row("apksigner_then_file_added", {24, 33}, kRsa, Signer::kApksigner, {},
            Change::kFileAddedAfterSigning),
        Row("apksigner_then_signing_block_stripped", {19, 29}, kRsa, Signer::kApksigner, {},
            Change::kSigningBlockStripped)),
    [](const auto& info) { return std::string(info.param.name); });

TEST(JarSignatureEntries, one_that_inflates_past_its_recorded_size_is_refused_at_the_first_byte) {
  RequireTools({"aapt2", "jarsigner", "keytool"});
  if (IsSkipped()) return;
  TempDir dir;
  InfoTestApp app(dir);
  const std::string apk = app.Build("bomb", {21, 29});
  SplitApp::AddToArchive(apk, {{"assets/bomb.bin", std::string(10, '\0')}}, 8);
  app.SignWithJarsigner(apk, app.Keystore("bomb", "RSA", 2048));
  ASSERT_EQ(app.Error(), "");
  // The signed entry's data replaced by 64 MB of zeros, its headers still
  // recording 10 bytes.
  std::vector<ForgedEntry> entries = ForgedZip::EntriesOf(apk);
  for (ForgedEntry& entry : entries) {
    if (entry.name == "assets/bomb.bin")
      entry = {.name = entry.name, .zeros = 64 << 20, .recordedSize = 10};
  }
  ForgedZip::Write(apk, entries);

  const info::ApkReport report = ReportOf(apk);

  EXPECT_FALSE(report.signature.verified);
  EXPECT_NE(report.signature.problem.find("assets/bomb.bin 已损坏：解压后比记录的 10 字节更长"),
            std::string::npos)
      << report.signature.problem;
}

}  // namespace
}  // namespace velmora::test
