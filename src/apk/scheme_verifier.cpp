#include "apk/scheme_verifier.h"

#include <openssl/evp.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>

#include <algorithm>
#include <memory>
#include <optional>

#include "apk/certificate.h"
#include "apk/chunk.h"

namespace velmora::apk {
namespace {

enum class Padding { kNone, kPkcs1, kPss };

// A signature algorithm of the schemes: how the signed data is signed, and
// which content digest it signs.
struct SignatureAlgorithm {
  std::uint32_t id;
  const EVP_MD* (*md)();
  Padding padding;
  int saltLength;
  ChunkedDigest content;
};

// The verity algorithms (0x0421, 0x0423, 0x0425) sign a Merkle tree of the
// content that this reader does not build; signers add them beside these.
constexpr SignatureAlgorithm kAlgorithms[] = {
    {0x0101, EVP_sha256, Padding::kPss, 32, ChunkedDigest::kSha256},
    {0x0102, EVP_sha512, Padding::kPss, 64, ChunkedDigest::kSha512},
    {0x0103, EVP_sha256, Padding::kPkcs1, 0, ChunkedDigest::kSha256},
    {0x0104, EVP_sha512, Padding::kPkcs1, 0, ChunkedDigest::kSha512},
    {0x0201, EVP_sha256, Padding::kNone, 0, ChunkedDigest::kSha256},
    {0x0202, EVP_sha512, Padding::kNone, 0, ChunkedDigest::kSha512},
    {0x0301, EVP_sha256, Padding::kNone, 0, ChunkedDigest::kSha256},
};

const SignatureAlgorithm* FindAlgorithm(std::uint32_t id) {
  for (const SignatureAlgorithm& algorithm : kAlgorithms) {
    if (algorithm.id == id) return &algorithm;
  }
  return nullptr;
}

struct KeyFree {
  void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct ContextFree {
  void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};

bool SignatureVerifies(const SignatureAlgorithm& algorithm, EVP_PKEY* key,
                       std::string_view signedData, std::string_view signature) {
  std::unique_ptr<EVP_MD_CTX, ContextFree> context(EVP_MD_CTX_new());
  EVP_PKEY_CTX* keyContext = nullptr;
  if (EVP_DigestVerifyInit(context.get(), &keyContext, algorithm.md(), nullptr, key) != 1) {
    return false;
  }
  if (algorithm.padding != Padding::kNone && EVP_PKEY_get_base_id(key) != EVP_PKEY_RSA) {
    return false;
  }
  if (algorithm.padding == Padding::kPss &&
      (EVP_PKEY_CTX_set_rsa_padding(keyContext, RSA_PKCS1_PSS_PADDING) != 1 ||
       EVP_PKEY_CTX_set_rsa_mgf1_md(keyContext, algorithm.md()) != 1 ||
       EVP_PKEY_CTX_set_rsa_pss_saltlen(keyContext, algorithm.saltLength) != 1)) {
    return false;
  }
  return EVP_DigestVerify(context.get(), reinterpret_cast<const unsigned char*>(signature.data()),
                          signature.size(),
                          reinterpret_cast<const unsigned char*>(signedData.data()),
                          signedData.size()) == 1;
}

// Why `signer` does not verify, or nothing when it does.
std::optional<std::string> SignerProblem(const SchemeSigner& signer, bool v3,
                                         ContentDigests& content) {
  if (signer.certificates.empty()) return "签名者没有证书";
  Parsed<CertificateFacts> certificate = ReadCertificate(signer.certificates.front());
  if (auto* failure = std::get_if<FormatError>(&certificate)) return failure->message;
  if (std::get<CertificateFacts>(certificate).publicKey != signer.publicKey) {
    return "签名者的公钥与证书的公钥不一致";
  }
  const auto* keyBytes = reinterpret_cast<const unsigned char*>(signer.publicKey.data());
  std::unique_ptr<EVP_PKEY, KeyFree> key(
      d2i_PUBKEY(nullptr, &keyBytes, static_cast<long>(signer.publicKey.size())));
  if (!key) return "签名者的公钥无法读取";
  if (signer.digests.size() != signer.signatures.size() ||
      !std::equal(signer.digests.begin(), signer.digests.end(), signer.signatures.begin(),
                  [](const SignedDigest& digest, const SignerSignature& signature) {
                    return digest.algorithm == signature.algorithm;
                  })) {
    return "签名记录与摘要记录的算法不一致";
  }
  if (v3 && (signer.minSdk != signer.outerMinSdk || signer.maxSdk != signer.outerMaxSdk)) {
    return "签名数据中的 SDK 范围与签名者记录的不一致";
  }
  int checked = 0;
  for (std::size_t i = 0; i < signer.signatures.size(); ++i) {
    const SignatureAlgorithm* algorithm = FindAlgorithm(signer.signatures[i].algorithm);
    if (algorithm == nullptr) continue;
    if (!SignatureVerifies(*algorithm, key.get(), signer.signedData,
                           signer.signatures[i].signature)) {
      return "签名数据的签名校验失败（算法 " + Hex(algorithm->id, 4) + "）";
    }
    Parsed<std::string> digest = content.Of(algorithm->content);
    if (auto* failure = std::get_if<FormatError>(&digest)) return failure->message;
    if (std::get<std::string>(digest) != signer.digests[i].digest) {
      return "APK 内容的摘要与签名的不一致：签名后被改动过";
    }
    ++checked;
  }
  if (checked == 0) return "签名者没有支持的签名算法";
  return std::nullopt;
}

// Why the v3 signers' SDK ranges do not cover `range` exactly once, or nothing.
std::optional<std::string> CoverageProblem(std::vector<const SchemeSigner*> signers,
                                           SdkRange range) {
  if (signers.empty()) return "没有适用于 API " + std::to_string(range.min) + " 及以上的签名者";
  std::sort(signers.begin(), signers.end(),
            [](const SchemeSigner* a, const SchemeSigner* b) { return a->minSdk < b->minSdk; });
  std::uint64_t next = range.min;
  for (const SchemeSigner* signer : signers) {
    if (signer->minSdk > next) return "签名者的 SDK 范围不连续";
    if (signer->minSdk < next && signer != signers.front()) return "签名者的 SDK 范围重叠";
    next = std::uint64_t{signer->maxSdk} + 1;
  }
  if (next <= range.max) return "签名者的 SDK 范围没有覆盖到最新的 API";
  return std::nullopt;
}

}  // namespace

SchemeVerification VerifySchemeBlock(std::string_view value, bool v3, SdkRange range,
                                     ContentDigests& content) {
  SchemeVerification verification;
  Parsed<std::vector<SchemeSigner>> read = ReadSchemeSigners(value, v3);
  if (auto* failure = std::get_if<FormatError>(&read)) {
    verification.problem = failure->message;
    return verification;
  }
  std::vector<SchemeSigner>& signers = std::get<std::vector<SchemeSigner>>(read);
  if (v3) {
    std::erase_if(signers, [range](const SchemeSigner& signer) {
      return signer.outerMaxSdk < range.min || signer.outerMinSdk > range.max ||
             signer.outerMinSdk > signer.outerMaxSdk;
    });
    std::vector<const SchemeSigner*> applying;
    for (const SchemeSigner& signer : signers) applying.push_back(&signer);
    if (auto problem = CoverageProblem(applying, range)) {
      verification.problem = *problem;
      verification.signers = std::move(signers);
      return verification;
    }
  }
  for (std::size_t i = 0; i < signers.size(); ++i) {
    if (auto problem = SignerProblem(signers[i], v3, content)) {
      verification.problem = "签名者 " + std::to_string(i + 1) + "：" + *problem;
      verification.signers = std::move(signers);
      return verification;
    }
  }
  verification.verified = true;
  verification.signers = std::move(signers);
  return verification;
}

}  // namespace velmora::apk
