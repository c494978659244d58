#include "apk/jar_verifier.h"

#include <openssl/evp.h>
#include <openssl/objects.h>
#include <openssl/pkcs7.h>
#include <openssl/x509.h>

#include <algorithm>
#include <array>
#include <map>
#include <memory>
#include <optional>
#include <set>

#include "apk/jar_manifest.h"
#include "config/text.h"

namespace velmora::apk {
namespace {

constexpr std::string_view kManifestName = "META-INF/MANIFEST.MF";
constexpr std::string_view kMetaInf = "META-INF/";
// Signature files and manifests are small; a larger one is damaged.
constexpr std::uint64_t kLargestSignatureFile = 64u << 20;

// A digest algorithm of manifests and signature files, by the name their
// attributes carry, and the first API level whose verifier knows it.
struct DigestName {
  std::string_view name;
  const EVP_MD* (*md)();
  std::uint32_t minSdk;
};
constexpr std::array kDigestNames{
    DigestName{"md5", EVP_md5, 1},         DigestName{"sha1", EVP_sha1, 1},
    DigestName{"sha-1", EVP_sha1, 1},      DigestName{"sha-256", EVP_sha256, 18},
    DigestName{"sha-384", EVP_sha384, 21}, DigestName{"sha-512", EVP_sha512, 21},
};

// The digests a section names with attributes "<algorithm><suffix>".
struct NamedDigest {
  const DigestName* algorithm;
  std::string_view base64;
};
std::vector<NamedDigest> DigestsOf(const JarSection& section, std::string_view suffix) {
  std::vector<NamedDigest> digests;
  for (const auto& [attribute, value] : section.attributes) {
    const std::string name = LowerAscii(attribute);
    if (!name.ends_with(suffix)) continue;
    const std::string_view algorithm =
        std::string_view(name).substr(0, name.size() - suffix.size());
    for (const DigestName& known : kDigestNames) {
      if (known.name == algorithm) digests.push_back({&known, value});
    }
  }
  return digests;
}

std::string Base64(const unsigned char* bytes, unsigned int length) {
  std::string text(4 * ((length + 2) / 3) + 1, '\0');
  const int written = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text.data()), bytes,
                                      static_cast<int>(length));
  text.resize(static_cast<std::size_t>(written));
  return text;
}

std::string Base64Digest(const EVP_MD* md, std::string_view bytes) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_Digest(bytes.data(), bytes.size(), digest, &length, md, nullptr);
  return Base64(digest, length);
}

enum class DigestCheck { kMatches, kDiffers, kNoneKnown };

// Whether every known digest of `digests` matches `bytes`; kNoneKnown when
// no digest there is one Android knows on every level of `range`.
DigestCheck CheckDigests(const std::vector<NamedDigest>& digests, std::string_view bytes,
                         SdkRange range) {
  bool covered = false;
  for (const NamedDigest& digest : digests) {
    if (Base64Digest(digest.algorithm->md(), bytes) != digest.base64) return DigestCheck::kDiffers;
    covered = covered || digest.algorithm->minSdk <= range.min;
  }
  return covered ? DigestCheck::kMatches : DigestCheck::kNoneKnown;
}

// Whether an entry must be listed in the manifest. Android skips every file
// directly in META-INF/, and only those, and folders.
bool NeedsDigest(std::string_view name) {
  if (name.ends_with('/')) return false;
  if (!name.starts_with(kMetaInf)) return true;
  return name.find('/', kMetaInf.size()) != std::string_view::npos;
}

// The first API level that verifies JAR signatures of this digest with this
// key type, as apksigner knows them; 0 for a pair no version supports.
std::uint32_t SignatureMinSdk(int digestNid, int keyType) {
  const bool sha1 = digestNid == NID_sha1 || digestNid == NID_md5;
  const bool sha256 = digestNid == NID_sha224 || digestNid == NID_sha256;
  const bool sha512 = digestNid == NID_sha384 || digestNid == NID_sha512;
  switch (keyType) {
    case EVP_PKEY_RSA:
      return sha1 ? 1 : sha256 ? 18 : sha512 ? 21 : 0;
    case EVP_PKEY_EC:
      return sha1 ? 18 : (sha256 || sha512) ? 21 : 0;
    case EVP_PKEY_DSA:
      return sha1 ? 1 : (sha256 || sha512) ? 21 : 0;
    default:
      return 0;
  }
}

// Android before API 19 mishandles PKCS#7 signatures with signed attributes.
constexpr std::uint32_t kSignedAttributesMinSdk = 19;

struct Pkcs7Free {
  void operator()(PKCS7* p7) const { PKCS7_free(p7); }
};
struct BioFree {
  void operator()(BIO* bio) const { BIO_free(bio); }
};
struct StoreFree {
  void operator()(X509_STORE* store) const { X509_STORE_free(store); }
};

std::string CertificateDer(X509* certificate) {
  unsigned char* der = nullptr;
  const int length = i2d_X509(certificate, &der);
  if (length <= 0) return {};
  std::string bytes(reinterpret_cast<char*>(der), static_cast<std::size_t>(length));
  OPENSSL_free(der);
  return bytes;
}

// Why the PKCS#7 `block` does not sign `signatureFile`, or nothing; fills
// `certificate` with the signer's.
std::optional<std::string> SignatureBlockProblem(std::string_view block,
                                                 std::string_view signatureFile, SdkRange range,
                                                 std::string& certificate) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(block.data());
  std::unique_ptr<PKCS7, Pkcs7Free> p7(d2i_PKCS7(nullptr, &bytes, static_cast<long>(block.size())));
  if (!p7 || !PKCS7_type_is_signed(p7.get())) return "签名块不是 PKCS#7 签名数据";
  STACK_OF(PKCS7_SIGNER_INFO)* infos = PKCS7_get_signer_info(p7.get());
  if (infos == nullptr || sk_PKCS7_SIGNER_INFO_num(infos) < 1) return "签名块中没有签名者";
  STACK_OF(X509)* signers = PKCS7_get0_signers(p7.get(), nullptr, 0);
  if (signers == nullptr) return "签名块中没有签名者的证书";
  X509* signer = sk_X509_value(signers, 0);
  certificate = CertificateDer(signer);
  const EVP_PKEY* key = X509_get0_pubkey(signer);
  sk_X509_free(signers);
  PKCS7_SIGNER_INFO* info = sk_PKCS7_SIGNER_INFO_value(infos, 0);
  X509_ALGOR* digestAlgorithm = nullptr;
  PKCS7_SIGNER_INFO_get0_algs(info, nullptr, &digestAlgorithm, nullptr);
  const ASN1_OBJECT* digestObject = nullptr;
  X509_ALGOR_get0(&digestObject, nullptr, nullptr, digestAlgorithm);
  const std::uint32_t minSdk =
      key == nullptr ? 0 : SignatureMinSdk(OBJ_obj2nid(digestObject), EVP_PKEY_get_base_id(key));
  if (minSdk == 0 || minSdk > range.min) {
    return "签名的算法在 API " + std::to_string(range.min) + " 上不受支持（从 API " +
           std::to_string(minSdk) + " 起才支持）";
  }
  if (PKCS7_get_signed_attributes(info) != nullptr &&
      sk_X509_ATTRIBUTE_num(PKCS7_get_signed_attributes(info)) > 0 &&
      range.min < kSignedAttributesMinSdk) {
    return "签名带有签名属性，API 19 以下的 Android 无法校验";
  }
  std::unique_ptr<BIO, BioFree> content(
      BIO_new_mem_buf(signatureFile.data(), static_cast<int>(signatureFile.size())));
  std::unique_ptr<X509_STORE, StoreFree> store(X509_STORE_new());
  // The certificate is the signer's identity, not one a chain vouches for.
  if (PKCS7_verify(p7.get(), nullptr, store.get(), content.get(), nullptr,
                   PKCS7_NOVERIFY | PKCS7_BINARY) != 1) {
    return "签名文件的签名校验失败";
  }
  return std::nullopt;
}

// One signer of the JAR signature: the manifest sections its signature file
// covers.
struct JarSigner {
  std::string name;
  std::set<std::string> signedEntries;
};

// Checks one signature file against the manifest; fills `signer` and returns
// the problem, or nothing.
std::optional<std::string> CheckSignatureFile(std::string_view signatureFile,
                                              std::string_view manifest,
                                              const std::vector<JarSection>& manifestSections,
                                              SdkRange range, FoundSchemes found,
                                              JarSigner& signer) {
  Parsed<std::vector<JarSection>> parsed = ReadJarManifest(signatureFile);
  if (auto* failure = std::get_if<FormatError>(&parsed)) return failure->message;
  const std::vector<JarSection>& sections = std::get<std::vector<JarSection>>(parsed);
  const JarSection& main = sections.front();
  if (range.max >= 24) {
    std::string_view ids = main.Attribute("X-Android-APK-Signed").value_or("");
    while (!ids.empty()) {
      const std::size_t comma = std::min(ids.find(','), ids.size());
      const std::string_view scheme = TrimBlanks(ids.substr(0, comma));
      ids.remove_prefix(std::min(comma + 1, ids.size()));
      if ((scheme == "2" && !found.v2) || (scheme == "3" && !found.v3)) {
        return "签名文件说明 APK 还带有 v" + std::string(scheme) + " 签名，但它已被去掉";
      }
    }
  }
  if (CheckDigests(DigestsOf(main, "-digest-manifest"), manifest, range) == DigestCheck::kMatches) {
    for (std::size_t i = 1; i < manifestSections.size(); ++i) {
      signer.signedEntries.emplace(manifestSections[i].Name());
    }
    return std::nullopt;
  }
  const JarSection& manifestMain = manifestSections.front();
  const std::vector<NamedDigest> mainDigests = DigestsOf(main, "-digest-manifest-main-attributes");
  if (!mainDigests.empty() &&
      CheckDigests(mainDigests, manifest.substr(manifestMain.offset, manifestMain.size), range) !=
          DigestCheck::kMatches) {
    return "签名文件中清单主属性的摘要不对";
  }
  std::map<std::string_view, const JarSection*> byName;
  for (std::size_t i = 1; i < manifestSections.size(); ++i) {
    byName[manifestSections[i].Name()] = &manifestSections[i];
  }
  for (std::size_t i = 1; i < sections.size(); ++i) {
    const std::string_view name = sections[i].Name();
    auto entry = byName.find(name);
    if (entry == byName.end()) return "签名文件中的 " + std::string(name) + " 不在清单中";
    const JarSection& section = *entry->second;
    if (CheckDigests(DigestsOf(sections[i], "-digest"),
                     manifest.substr(section.offset, section.size),
                     range) != DigestCheck::kMatches) {
      return "签名文件中 " + std::string(name) + " 一节的摘要不对";
    }
    signer.signedEntries.emplace(name);
  }
  return std::nullopt;
}

// The digests of an entry's uncompressed bytes, read a block at a time.
std::optional<std::string> CheckEntry(const ZipReader& apk, const ZipEntry& entry,
                                      const JarSection& section, SdkRange range) {
  const std::vector<NamedDigest> digests = DigestsOf(section, "-digest");
  struct ContextFree {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
  };
  std::vector<std::unique_ptr<EVP_MD_CTX, ContextFree>> contexts;
  for (const NamedDigest& digest : digests) {
    contexts.emplace_back(EVP_MD_CTX_new());
    EVP_DigestInit_ex(contexts.back().get(), digest.algorithm->md(), nullptr);
  }
  // Read as every entry is, never past its recorded size: an entry that
  // inflates far beyond it would otherwise be hashed to its end.
  Parsed<std::monostate> read = apk.Stream(entry, [&](std::string_view piece) {
    for (auto& context : contexts) EVP_DigestUpdate(context.get(), piece.data(), piece.size());
    return std::optional<FormatError>();
  });
  if (auto* failure = std::get_if<FormatError>(&read)) return failure->message;
  bool covered = false;
  for (std::size_t i = 0; i < digests.size(); ++i) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestFinal_ex(contexts[i].get(), digest, &length);
    if (Base64(digest, length) != digests[i].base64) {
      return entry.name + " 的摘要与清单中的不一致：签名后被改动过";
    }
    covered = covered || digests[i].algorithm->minSdk <= range.min;
  }
  if (!covered)
    return "清单中 " + entry.name + " 的摘要算法在 API " + std::to_string(range.min) +
           " 上不受支持";
  return std::nullopt;
}

// The signature files directly in META-INF/.
std::vector<const ZipEntry*> SignatureFiles(const ZipReader& apk) {
  std::vector<const ZipEntry*> files;
  for (const ZipEntry& entry : apk.Entries()) {
    const std::string_view name = entry.name;
    if (name.starts_with(kMetaInf) && name.find('/', kMetaInf.size()) == std::string_view::npos &&
        name.ends_with(".SF")) {
      files.push_back(&entry);
    }
  }
  return files;
}

std::optional<std::string> Verify(const ZipReader& apk, SdkRange range, FoundSchemes found,
                                  const std::vector<const ZipEntry*>& signatureFiles,
                                  JarVerification& verification) {
  const ZipEntry* manifestEntry = apk.Find(kManifestName);
  if (manifestEntry == nullptr) return "没有 META-INF/MANIFEST.MF";
  Parsed<std::string> manifest = apk.Read(*manifestEntry, kLargestSignatureFile);
  if (auto* failure = std::get_if<FormatError>(&manifest)) return failure->message;
  Parsed<std::vector<JarSection>> sections = ReadJarManifest(std::get<std::string>(manifest));
  if (auto* failure = std::get_if<FormatError>(&sections))
    return "MANIFEST.MF：" + failure->message;
  const std::vector<JarSection>& manifestSections = std::get<std::vector<JarSection>>(sections);

  std::vector<JarSigner> signers;
  for (const ZipEntry* file : signatureFiles) {
    const std::string base = file->name.substr(0, file->name.size() - 3);
    const ZipEntry* block = nullptr;
    for (const char* extension : {".RSA", ".DSA", ".EC"}) {
      if (block == nullptr) block = apk.Find(base + extension);
    }
    if (block == nullptr) return file->name + " 没有对应的签名块文件";
    Parsed<std::string> signatureFile = apk.Read(*file, kLargestSignatureFile);
    if (auto* failure = std::get_if<FormatError>(&signatureFile)) return failure->message;
    Parsed<std::string> blockBytes = apk.Read(*block, kLargestSignatureFile);
    if (auto* failure = std::get_if<FormatError>(&blockBytes)) return failure->message;
    std::string certificate;
    if (auto problem =
            SignatureBlockProblem(std::get<std::string>(blockBytes),
                                  std::get<std::string>(signatureFile), range, certificate)) {
      return block->name + "：" + *problem;
    }
    verification.certificates.push_back(certificate);
    JarSigner signer{file->name, {}};
    if (auto problem = CheckSignatureFile(std::get<std::string>(signatureFile),
                                          std::get<std::string>(manifest), manifestSections, range,
                                          found, signer)) {
      return file->name + "：" + *problem;
    }
    signers.push_back(std::move(signer));
  }

  std::map<std::string_view, const JarSection*> byName;
  for (std::size_t i = 1; i < manifestSections.size(); ++i) {
    byName[manifestSections[i].Name()] = &manifestSections[i];
  }
  std::set<std::string_view> inArchive;
  for (const ZipEntry& entry : apk.Entries()) {
    inArchive.insert(entry.name);
    if (!NeedsDigest(entry.name)) continue;
    auto section = byName.find(entry.name);
    if (section == byName.end()) return entry.name + " 不在 MANIFEST.MF 中，没有被签名";
    for (const JarSigner& signer : signers) {
      if (!signer.signedEntries.contains(entry.name)) {
        return entry.name + " 没有被 " + signer.name + " 签名";
      }
    }
    if (auto problem = CheckEntry(apk, entry, *section->second, range)) return problem;
  }
  for (const JarSigner& signer : signers) {
    for (const std::string& name : signer.signedEntries) {
      if (!inArchive.contains(name)) return "MANIFEST.MF 中的 " + name + " 不在 APK 中";
    }
  }
  return std::nullopt;
}

}  // namespace

Parsed<std::string> CheckJarSignatureBlock(std::string_view block, std::string_view signatureFile,
                                           SdkRange range) {
  std::string certificate;
  if (auto problem = SignatureBlockProblem(block, signatureFile, range, certificate)) {
    return FormatError{*problem};
  }
  return certificate;
}

bool CarriesJarSignature(const ZipReader& apk) {
  return !SignatureFiles(apk).empty();
}

JarVerification VerifyJarSignature(const ZipReader& apk, SdkRange range, FoundSchemes found) {
  JarVerification verification;
  const std::vector<const ZipEntry*> signatureFiles = SignatureFiles(apk);
  verification.present = !signatureFiles.empty();
  if (!verification.present) {
    verification.problem = "没有 JAR 签名";
    return verification;
  }
  if (auto problem = Verify(apk, range, found, signatureFiles, verification)) {
    verification.problem = *problem;
  } else {
    verification.verified = true;
  }
  return verification;
}

}  // namespace velmora::apk
