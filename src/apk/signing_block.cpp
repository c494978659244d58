#include "apk/signing_block.h"

#include "apk/chunk.h"

namespace velmora::apk {
namespace {

constexpr std::string_view kMagic = "APK Sig Block 42";
constexpr std::uint64_t kFooterSize = 24;  // the second size field and the magic
// Signing blocks hold a few signers and some padding; a block claiming more
// is damaged, and reading it would cost memory for nothing.
constexpr std::uint64_t kLargestBlock = 64u << 20;

std::uint64_t U64At(std::string_view bytes, std::size_t offset) {
  return std::uint64_t{U32At(bytes, offset)} | std::uint64_t{U32At(bytes, offset + 4)} << 32;
}

// Reads the parts of a signing scheme's records: each is prefixed with its
// length in four bytes, and every read is checked against what is left.
class Records {
 public:
  explicit Records(std::string_view bytes) : rest_(bytes) {}

  bool Empty() const { return rest_.empty(); }

  bool U32(std::uint32_t& value) {
    if (rest_.size() < 4) return false;
    value = U32At(rest_, 0);
    rest_.remove_prefix(4);
    return true;
  }

  bool Prefixed(std::string_view& value) {
    std::uint32_t length = 0;
    if (!U32(length) || length > rest_.size()) return false;
    value = rest_.substr(0, length);
    rest_.remove_prefix(length);
    return true;
  }

  std::string_view Rest() const { return rest_; }

 private:
  std::string_view rest_;
};

// Calls `read` on every length-prefixed record of the sequence `bytes`;
// false when a record does not fit or `read` refuses one.
template <typename ReadRecord>
bool EachRecord(std::string_view bytes, ReadRecord read) {
  Records records(bytes);
  while (!records.Empty()) {
    std::string_view record;
    if (!records.Prefixed(record) || !read(record)) return false;
  }
  return true;
}

bool ReadIdValue(std::string_view record, std::uint32_t& id, std::string& value) {
  Records fields(record);
  std::string_view bytes;
  if (!fields.U32(id) || !fields.Prefixed(bytes)) return false;
  value = bytes;
  return true;
}

bool ReadSignedData(std::string_view bytes, bool v3, SchemeSigner& signer) {
  Records fields(bytes);
  std::string_view digests, certificates, attributes;
  if (!fields.Prefixed(digests) || !fields.Prefixed(certificates)) return false;
  if (v3 && (!fields.U32(signer.minSdk) || !fields.U32(signer.maxSdk))) return false;
  if (!fields.Prefixed(attributes)) return false;
  return EachRecord(digests,
                    [&](std::string_view record) {
                      SignedDigest digest;
                      if (!ReadIdValue(record, digest.algorithm, digest.digest)) return false;
                      signer.digests.push_back(std::move(digest));
                      return true;
                    }) &&
         EachRecord(certificates,
                    [&](std::string_view record) {
                      signer.certificates.emplace_back(record);
                      return true;
                    }) &&
         EachRecord(attributes, [&](std::string_view record) {
           Records attribute(record);
           std::uint32_t id = 0;
           if (!attribute.U32(id)) return false;
           signer.attributes.emplace_back(id, std::string(attribute.Rest()));
           return true;
         });
}

bool ReadSigner(std::string_view bytes, bool v3, SchemeSigner& signer) {
  Records fields(bytes);
  std::string_view signedData, signatures, publicKey;
  if (!fields.Prefixed(signedData)) return false;
  if (v3 && (!fields.U32(signer.outerMinSdk) || !fields.U32(signer.outerMaxSdk))) return false;
  if (!fields.Prefixed(signatures) || !fields.Prefixed(publicKey)) return false;
  signer.signedData = signedData;
  signer.publicKey = publicKey;
  return ReadSignedData(signedData, v3, signer) &&
         EachRecord(signatures, [&](std::string_view record) {
           SignerSignature signature;
           if (!ReadIdValue(record, signature.algorithm, signature.signature)) return false;
           signer.signatures.push_back(std::move(signature));
           return true;
         });
}

}  // namespace

std::optional<std::string_view> SigningBlock::Value(std::uint32_t id) const {
  for (const auto& [pairId, value] : pairs) {
    if (pairId == id) return std::string_view(value);
  }
  return std::nullopt;
}

Parsed<std::optional<SigningBlock>> FindSigningBlock(const ArchiveBytes& archive,
                                                     const ZipSections& sections) {
  const std::uint64_t end = sections.centralDirectoryOffset;
  std::string footer;
  if (end < kFooterSize + 8 || !archive.Read(end - kFooterSize, kFooterSize, footer) ||
      std::string_view(footer).substr(8) != kMagic) {
    return std::optional<SigningBlock>();
  }
  const std::uint64_t size = U64At(footer, 0);
  if (size < kFooterSize || size > kLargestBlock || size > end - 8) {
    return FormatError{"APK 签名块的大小不对"};
  }
  std::string block;
  if (!archive.Read(end - size - 8, size + 8, block)) return FormatError{"无法读取 APK 签名块"};
  Parsed<SigningBlock> read = ReadSigningBlock(block);
  if (auto* failure = std::get_if<FormatError>(&read)) return *failure;
  std::get<SigningBlock>(read).offset = end - size - 8;
  return std::optional<SigningBlock>(std::move(std::get<SigningBlock>(read)));
}

Parsed<SigningBlock> ReadSigningBlock(std::string_view block) {
  if (block.size() < 8 + kFooterSize || U64At(block, 0) != block.size() - 8 ||
      U64At(block, block.size() - kFooterSize) != block.size() - 8 || !block.ends_with(kMagic)) {
    return FormatError{"APK 签名块的大小不对"};
  }
  SigningBlock signingBlock;
  std::string_view pairs = block.substr(8, block.size() - 8 - kFooterSize);
  while (!pairs.empty()) {
    if (pairs.size() < 8) return FormatError{"APK 签名块被截断"};
    const std::uint64_t length = U64At(pairs, 0);
    if (length < 4 || length > pairs.size() - 8)
      return FormatError{"APK 签名块中的一项超出了块的末尾"};
    signingBlock.pairs.emplace_back(U32At(pairs, 8), std::string(pairs.substr(12, length - 4)));
    pairs.remove_prefix(8 + length);
  }
  return signingBlock;
}

Parsed<std::vector<SchemeSigner>> ReadSchemeSigners(std::string_view value, bool v3) {
  Records block(value);
  std::string_view signerRecords;
  if (!block.Prefixed(signerRecords)) return FormatError{"签名方案块被截断"};
  std::vector<SchemeSigner> signers;
  const bool read = EachRecord(signerRecords, [&](std::string_view record) {
    SchemeSigner signer;
    if (!ReadSigner(record, v3, signer)) return false;
    signers.push_back(std::move(signer));
    return true;
  });
  if (!read) return FormatError{"签名方案块中的签名者记录已损坏"};
  if (signers.empty()) return FormatError{"签名方案块中没有签名者"};
  return signers;
}

}  // namespace velmora::apk
