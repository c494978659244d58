#pragma once

#include <string>
#include <vector>

#include "apk/zip_archive.h"

namespace velmora::apk {

// Whether an APK's signature holds, and who signed it.
struct SignatureVerdict {
  bool v1 = false;  // the schemes whose signatures the APK carries
  bool v2 = false;
  bool v3 = false;
  bool v31 = false;
  bool verified = false;
  std::string problem;  // why it does not verify, for the user; empty when it does
  // The certificate (DER) of each signer of the newest scheme that decided,
  // or of the newest one present when none verified.
  std::vector<std::string> certificates;
};

// Verifies `apk` for the Android versions from `minSdk` on, with the rules
// apksigner applies: v3.1 speaks for API 33 and later, v3 for API 28 and
// later (up to 32 when v3.1 is there); v2 is checked unless v3 covers every
// version; the JAR signature is checked for versions before 24, or for all
// when the APK carries no newer scheme. Every scheme that is checked must
// verify, at least one must be there, signers of the schemes checked must be
// the same (unless v3 rotates its key), and an app targeting API 30 or later
// needs v2 or v3. A scheme block that cannot be read is a problem of the
// verdict, not a failure to read the APK.
SignatureVerdict VerifyApkSignature(const ZipReader& apk, int minSdk, int targetSdk);

}  // namespace velmora::apk
