#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "apk/archive_bytes.h"
#include "apk/format_error.h"
#include "apk/zip_sections.h"

namespace velmora::apk {

// The APK Signing Block: the ID-value pairs that lie between an APK's entries
// and its central directory, and where the block starts.
struct SigningBlock {
  std::uint64_t offset = 0;
  std::vector<std::pair<std::uint32_t, std::string>> pairs;

  // The value of the first pair with `id`, or nothing.
  std::optional<std::string_view> Value(std::uint32_t id) const;
};

// The IDs of the signature schemes' blocks.
inline constexpr std::uint32_t kSchemeV2BlockId = 0x7109871a;
inline constexpr std::uint32_t kSchemeV3BlockId = 0xf05368c0;
inline constexpr std::uint32_t kSchemeV31BlockId = 0x1b93ad61;

// Attributes of a signer's signed data: the v2 signer's note that the APK
// also carries a v3 signature, and the v3 signer's proof of key rotation.
inline constexpr std::uint32_t kStrippingProtectionAttribute = 0xbeeff00d;
inline constexpr std::uint32_t kProofOfRotationAttribute = 0x3ba06f8c;

// The signing block in front of the central directory, or nothing when the
// APK has none (no magic there). Fails on a block whose sizes do not fit, or
// that is larger than any signature needs.
Parsed<std::optional<SigningBlock>> FindSigningBlock(const ArchiveBytes& archive,
                                                     const ZipSections& sections);

// The pairs of a whole signing block's bytes (both size fields and the magic
// included). Fails on a pair whose length runs past the block.
Parsed<SigningBlock> ReadSigningBlock(std::string_view block);

struct SignedDigest {
  std::uint32_t algorithm = 0;
  std::string digest;
};

struct SignerSignature {
  std::uint32_t algorithm = 0;
  std::string signature;
};

// One signer of an APK Signature Scheme v2, v3 or v3.1 block, as stored.
struct SchemeSigner {
  std::string signedData;  // the bytes the signatures cover
  std::vector<SignedDigest> digests;
  std::vector<std::string> certificates;  // X.509, DER
  std::vector<std::pair<std::uint32_t, std::string>> attributes;
  // v3 and v3.1 only: the SDK range as the signed data gives it, and as the
  // signer record outside the signed data repeats it.
  std::uint32_t minSdk = 0;
  std::uint32_t maxSdk = 0;
  std::uint32_t outerMinSdk = 0;
  std::uint32_t outerMaxSdk = 0;
  std::vector<SignerSignature> signatures;
  std::string publicKey;  // SubjectPublicKeyInfo, DER
};

// The signers of a scheme block's value; `v3` reads the SDK ranges that v3
// and v3.1 add. Fails on any length prefix that runs past its parent and on a
// block without signers.
Parsed<std::vector<SchemeSigner>> ReadSchemeSigners(std::string_view value, bool v3);

}  // namespace velmora::apk
