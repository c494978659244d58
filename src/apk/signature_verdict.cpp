#include "apk/signature_verdict.h"

#include <algorithm>
#include <optional>

#include "apk/archive_bytes.h"
#include "apk/certificate.h"
#include "apk/content_digest.h"
#include "apk/jar_verifier.h"
#include "apk/scheme_verifier.h"
#include "apk/signing_block.h"
#include "apk/zip_sections.h"

namespace velmora::apk {
namespace {

constexpr std::uint32_t kNougat = 24;    // v2
constexpr std::uint32_t kPie = 28;       // v3
constexpr std::uint32_t kTiramisu = 33;  // v3.1
constexpr int kTargetNeedingV2 = 30;

std::vector<std::string> FirstCertificates(const std::vector<SchemeSigner>& signers) {
  std::vector<std::string> certificates;
  for (const SchemeSigner& signer : signers) {
    if (!signer.certificates.empty()) certificates.push_back(signer.certificates.front());
  }
  return certificates;
}

bool SameSigners(std::vector<std::string> a, std::vector<std::string> b) {
  std::sort(a.begin(), a.end());
  std::sort(b.begin(), b.end());
  return a == b;
}

bool RotatesKey(const std::vector<SchemeSigner>& signers) {
  return std::any_of(signers.begin(), signers.end(), [](const SchemeSigner& signer) {
    return std::any_of(
        signer.attributes.begin(), signer.attributes.end(),
        [](const auto& attribute) { return attribute.first == kProofOfRotationAttribute; });
  });
}

// Whether a v2 signer says the APK also carries a v3 signature.
bool PromisesV3(const std::vector<SchemeSigner>& signers) {
  return std::any_of(signers.begin(), signers.end(), [](const SchemeSigner& signer) {
    return std::any_of(
        signer.attributes.begin(), signer.attributes.end(), [](const auto& attribute) {
          return attribute.first == kStrippingProtectionAttribute && attribute.second.size() >= 4 &&
                 static_cast<unsigned char>(attribute.second[0]) == 3;
        });
  });
}

// Checks the blocks of the signing block in apksigner's order; fills
// `verdict` and returns the first problem, or nothing.
std::optional<std::string> CheckSchemes(const ZipReader& apk, SdkRange range, int targetSdk,
                                        SignatureVerdict& verdict) {
  Parsed<ArchiveBytes> archive = ArchiveBytes::Of(apk);
  if (auto* failure = std::get_if<FormatError>(&archive)) return failure->message;
  Parsed<ZipSections> sections = FindZipSections(std::get<ArchiveBytes>(archive));
  if (auto* failure = std::get_if<FormatError>(&sections)) return failure->message;
  Parsed<std::optional<SigningBlock>> found =
      FindSigningBlock(std::get<ArchiveBytes>(archive), std::get<ZipSections>(sections));
  if (auto* failure = std::get_if<FormatError>(&found)) return failure->message;
  const std::optional<SigningBlock>& block = std::get<std::optional<SigningBlock>>(found);

  std::optional<std::string_view> v2, v3, v31;
  if (block) {
    v2 = block->Value(kSchemeV2BlockId);
    v3 = block->Value(kSchemeV3BlockId);
    v31 = block->Value(kSchemeV31BlockId);
  }
  verdict.v2 = v2.has_value();
  verdict.v3 = v3.has_value() || v31.has_value();
  verdict.v31 = v31.has_value();
  ContentDigests content(std::get<ArchiveBytes>(archive), std::get<ZipSections>(sections),
                         block ? block->offset : 0);

  std::vector<std::string> v3Signers, v2Signers;
  bool v3Rotates = false;
  if (v31) {
    SchemeVerification checked =
        VerifySchemeBlock(*v31, true, SdkRange{std::max(range.min, kTiramisu), range.max}, content);
    verdict.certificates = FirstCertificates(checked.signers);
    if (!checked.verified) return "v3.1 签名：" + checked.problem;
  }
  if (v3) {
    SchemeVerification checked = VerifySchemeBlock(
        *v3, true, SdkRange{std::max(range.min, kPie), v31 ? kTiramisu - 1 : range.max}, content);
    if (!v31) verdict.certificates = FirstCertificates(checked.signers);
    if (!checked.verified) return "v3 签名：" + checked.problem;
    v3Signers = FirstCertificates(checked.signers);
    v3Rotates = RotatesKey(checked.signers);
  }
  const bool v3Covers = verdict.v3 && range.min >= kPie;
  if (v2 && !v3Covers) {
    SchemeVerification checked =
        VerifySchemeBlock(*v2, false, SdkRange{std::max(range.min, kNougat), range.max}, content);
    if (!verdict.v3) verdict.certificates = FirstCertificates(checked.signers);
    if (!checked.verified) return "v2 签名：" + checked.problem;
    if (PromisesV3(checked.signers) && !verdict.v3) {
      return "v2 签名说明 APK 还带有 v3 签名，但它已被去掉";
    }
    v2Signers = FirstCertificates(checked.signers);
    if (!v3Signers.empty() && !v3Rotates && !SameSigners(v2Signers, v3Signers)) {
      return "v2 与 v3 签名的签名者不一致";
    }
  }
  const bool anyBlock = verdict.v2 || verdict.v3;
  if (range.min < kNougat || !anyBlock) {
    JarVerification jar = VerifyJarSignature(
        apk, SdkRange{range.min, anyBlock ? kNougat - 1 : range.max}, {verdict.v2, verdict.v3});
    verdict.v1 = jar.present;
    if (!anyBlock) verdict.certificates = jar.certificates;
    if (!jar.present && !anyBlock) return "APK 没有签名";
    if (!jar.verified) return "v1 签名：" + jar.problem;
    if (!v2Signers.empty() && !SameSigners(jar.certificates, v2Signers)) {
      return "v1 与 v2 签名的签名者不一致";
    }
  } else {
    verdict.v1 = CarriesJarSignature(apk);
  }
  if (targetSdk >= kTargetNeedingV2 && !anyBlock) {
    return "目标 API " + std::to_string(targetSdk) + " 至少需要 v2 签名，而 APK 只有 v1 签名";
  }
  return std::nullopt;
}

}  // namespace

SignatureVerdict VerifyApkSignature(const ZipReader& apk, int minSdk, int targetSdk) {
  SignatureVerdict verdict;
  const SdkRange range{static_cast<std::uint32_t>(std::max(minSdk, 1)), 0x7fffffff};
  if (auto problem = CheckSchemes(apk, range, targetSdk, verdict)) {
    verdict.problem = *problem;
  } else {
    verdict.verified = true;
  }
  return verdict;
}

}  // namespace velmora::apk
