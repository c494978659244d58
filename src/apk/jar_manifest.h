#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "apk/format_error.h"

namespace velmora::apk {

// One section of a JAR manifest (META-INF/MANIFEST.MF) or signature file
// (*.SF): its attributes with continuation lines joined, and where its bytes
// lie, the blank line that ends it included, since signature files digest
// sections byte for byte.
struct JarSection {
  std::vector<std::pair<std::string, std::string>> attributes;
  std::size_t offset = 0;
  std::size_t size = 0;

  // The value of the attribute `name` (compared without regard to ASCII
  // case), or nothing.
  std::optional<std::string_view> Attribute(std::string_view name) const;
  // The entry the section is about: its Name attribute, empty for the main section.
  std::string_view Name() const { return Attribute("Name").value_or(""); }
};

// The sections of a manifest or signature file, the main section first.
// Lines end with CR LF, LF or CR; a line starting with one blank continues
// the one before. Fails on a line that is neither an attribute nor a
// continuation, and on a section after the main one without a Name.
Parsed<std::vector<JarSection>> ReadJarManifest(std::string_view bytes);

}  // namespace velmora::apk
