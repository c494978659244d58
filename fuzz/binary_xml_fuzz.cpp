// Compiled XML from untrusted APKs: reading never crashes or hangs, whatever
// it reads is written back into a file that reads again to the same nodes,
// and the manifest's facts (those of a split set and those a user reads) and
// its clean-up take any input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "apk/binary_xml.h"
#include "apk/manifest.h"
#include "apk/package_facts.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace velmora::apk;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const Parsed<XmlDocument> document = ReadBinaryXml(bytes);
  if (const auto* read = std::get_if<XmlDocument>(&document)) {
    const Parsed<XmlDocument> again = ReadBinaryXml(WriteBinaryXml(*read));
    const auto* reread = std::get_if<XmlDocument>(&again);
    if (reread == nullptr || reread->nodes.size() != read->nodes.size() ||
        reread->pool.strings != read->pool.strings) {
      std::abort();
    }
  }
  (void)ReadManifestFacts(bytes);
  (void)RemoveSplitDeclarations(bytes);
  (void)ReadPackageFacts(bytes);
  return 0;
}
