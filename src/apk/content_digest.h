#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "apk/archive_bytes.h"
#include "apk/format_error.h"
#include "apk/zip_sections.h"

namespace velmora::apk {

// The chunked digests that APK Signature Scheme v2 and v3 sign.
enum class ChunkedDigest { kSha256, kSha512 };

// The digests of an APK's content as v2 and v3 signers sign it: the entries
// up to the signing block, the central directory, and the End of Central
// Directory record with its central directory offset pointing at the signing
// block, each cut into chunks of 1 MiB. Each digest is computed once, when it
// is first asked for.
class ContentDigests {
 public:
  ContentDigests(const ArchiveBytes& archive, const ZipSections& sections,
                 std::uint64_t signingBlockOffset)
      : archive_(archive), sections_(sections), signingBlockOffset_(signingBlockOffset) {}

  // The digest for `algorithm`; fails when the archive cannot be read.
  Parsed<std::string> Of(ChunkedDigest algorithm);

 private:
  const ArchiveBytes& archive_;
  const ZipSections& sections_;
  std::uint64_t signingBlockOffset_;
  std::map<ChunkedDigest, std::string> computed_;
};

}  // namespace velmora::apk
