#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "apk/format_error.h"
#include "apk/string_pool.h"
#include "apk/typed_value.h"

namespace velmora::apk {

// A string reference that refers to no string.
inline constexpr std::uint32_t kNoString = 0xffffffff;

struct XmlAttribute {
  std::uint32_t ns = kNoString;  // the namespace's URI
  std::uint32_t name = kNoString;
  std::uint32_t rawValue = kNoString;  // the value as written, when it was kept
  TypedValue value;
};

// One chunk of a binary XML tree after its string pool and resource map. A
// chunk of a type this reader does not know is kept whole in `raw` and
// written back as it was.
struct XmlNode {
  enum class Kind { StartNamespace, EndNamespace, StartElement, EndElement, Text, Other };
  Kind kind = Kind::Other;
  std::uint32_t lineNumber = 0;
  std::uint32_t comment = kNoString;
  std::uint32_t ns = kNoString;    // namespace: its prefix; element: its namespace's URI
  std::uint32_t name = kNoString;  // namespace: its URI; element: its name; text: the text
  TypedValue textValue;            // text only
  // Start element only: the attribute that holds the element's id, class and
  // style, counted from 1; 0 when it has none.
  std::uint16_t idIndex = 0;
  std::uint16_t classIndex = 0;
  std::uint16_t styleIndex = 0;
  std::vector<XmlAttribute> attributes;  // start element only
  std::string raw;                       // Other only: the whole chunk
};

// A compiled XML file (AndroidManifest.xml, res/*.xml): its strings, the
// resource ids of the first strings (attribute names), and its nodes.
struct XmlDocument {
  StringPool pool;
  std::vector<std::uint32_t> resourceIds;
  std::vector<XmlNode> nodes;
};

// Reads a compiled XML file. Fails on a chunk that does not fit its parent, a
// size or count that points past the end, a missing or second string pool.
Parsed<XmlDocument> ReadBinaryXml(std::string_view bytes);

// The compiled file for `document`, with every size and offset computed anew.
std::string WriteBinaryXml(const XmlDocument& document);

// The string at `index` of the document's pool, empty for a reference out of
// range or to no string.
std::string_view StringAt(const XmlDocument& document, std::uint32_t index);

// The resource id of the attribute name at `index`; 0 when it has none.
std::uint32_t ResourceIdAt(const XmlDocument& document, std::uint32_t index);

}  // namespace velmora::apk
