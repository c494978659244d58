#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "apk/content_digest.h"
#include "apk/signing_block.h"

namespace velmora::apk {

// The Android versions (API levels) a verification speaks for.
struct SdkRange {
  std::uint32_t min = 1;
  std::uint32_t max = 0x7fffffff;
};

// What checking one v2, v3 or v3.1 block found.
struct SchemeVerification {
  bool verified = false;
  std::string problem;  // why not, for the user; empty when verified
  // The signers checked (for v3, those whose SDK range meets the range
  // verified), or all that could be read when the check failed.
  std::vector<SchemeSigner> signers;
};

// Checks a scheme block's value as apksigner does: every signer has a
// certificate whose public key is the signer's, signatures of supported
// algorithms that verify over its signed data with that key (RSA PKCS#1 v1.5,
// RSA-PSS, ECDSA, DSA), digest records for the same algorithms as its
// signatures, and digests equal to the APK's content recomputed. For v3 and
// v3.1 (`v3`), the signed SDK range matches the signer record's, and the
// signers whose ranges meet `range` cover it without gaps or overlaps.
SchemeVerification VerifySchemeBlock(std::string_view value, bool v3, SdkRange range,
                                     ContentDigests& content);

}  // namespace velmora::apk
