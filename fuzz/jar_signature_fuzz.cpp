// The parts of a JAR signature from untrusted APKs: manifests and signature
// files, PKCS#7 signature blocks and the certificates in them are read
// without crashing or hanging whatever they hold, and a section always lies
// inside the file it was read from.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "apk/certificate.h"
#include "apk/jar_manifest.h"
#include "apk/jar_verifier.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace velmora::apk;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const Parsed<std::vector<JarSection>> sections = ReadJarManifest(bytes);
  if (const auto* read = std::get_if<std::vector<JarSection>>(&sections)) {
    for (const JarSection& section : *read) {
      if (section.offset > bytes.size() || section.size > bytes.size() - section.offset) {
        std::abort();
      }
    }
  }
  (void)CheckJarSignatureBlock(bytes, "Signature-Version: 1.0\r\n\r\n", SdkRange{});
  (void)ReadCertificate(bytes);
  return 0;
}
