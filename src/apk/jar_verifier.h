#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "apk/scheme_verifier.h"
#include "apk/zip_archive.h"

namespace velmora::apk {

// What checking an APK's JAR signature (v1) found.
struct JarVerification {
  bool present = false;  // a signature file META-INF/*.SF is there
  bool verified = false;
  std::string problem;                    // why not, for the user; empty when verified
  std::vector<std::string> certificates;  // each signer's certificate, DER
};

// The schemes whose blocks the APK carries, for the stripping protection of
// signature files (X-Android-APK-Signed).
struct FoundSchemes {
  bool v2 = false;
  bool v3 = false;
};

// Checks the JAR signature of `apk` as apksigner does for the API levels
// `range`: every signature file has a PKCS#7 signature block (.RSA, .DSA,
// .EC) whose signature over it verifies with the certificate it holds, in a
// digest and key algorithm that Android supports on all of `range` (signed
// attributes only from API 19); the signature file's digest of the whole
// manifest, or else of its main section and of each entry's section, is
// right; every entry outside META-INF/ (and in its subfolders) is named in
// the manifest, signed by every signer, with digests that match its bytes,
// and every entry named there is in the archive; and no scheme that a
// signature file says was applied beside it (X-Android-APK-Signed) has been
// stripped.
JarVerification VerifyJarSignature(const ZipReader& apk, SdkRange range, FoundSchemes found);

// Checks one PKCS#7 signature block (META-INF/*.RSA, .DSA, .EC) over its
// signature file with the certificate it holds, and that Android supports
// its algorithms on all of `range`. Returns the signer's certificate (DER),
// or why the block does not sign the file.
Parsed<std::string> CheckJarSignatureBlock(std::string_view block, std::string_view signatureFile,
                                           SdkRange range);

// Whether `apk` carries a JAR signature: a signature file directly in META-INF/.
bool CarriesJarSignature(const ZipReader& apk);

}  // namespace velmora::apk
