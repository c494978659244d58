// APK Signing Blocks from untrusted APKs: reading the block, its v2, v3 and
// v3.1 signers and their certificates never crashes, hangs or reads past the
// input, whatever the sizes and length prefixes say.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "apk/certificate.h"
#include "apk/signing_block.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace velmora::apk;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  auto signers = [](std::string_view value, bool v3) {
    const Parsed<std::vector<SchemeSigner>> read = ReadSchemeSigners(value, v3);
    if (const auto* found = std::get_if<std::vector<SchemeSigner>>(&read)) {
      for (const SchemeSigner& signer : *found) {
        for (const std::string& certificate : signer.certificates) {
          (void)ReadCertificate(certificate);
        }
      }
    }
  };
  const Parsed<SigningBlock> block = ReadSigningBlock(bytes);
  if (const auto* read = std::get_if<SigningBlock>(&block)) {
    for (const auto& [id, value] : read->pairs) signers(value, id != kSchemeV2BlockId);
  }
  signers(bytes, false);
  signers(bytes, true);
  return 0;
}
