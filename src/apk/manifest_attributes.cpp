#include "apk/manifest_attributes.h"

#include <algorithm>
#include <charconv>

namespace velmora::apk {

bool Names(const XmlDocument& document, const XmlAttribute& attribute, AttributeName wanted) {
  const std::uint32_t id = ResourceIdAt(document, attribute.name);
  if (wanted.id != 0 && id != 0) return id == wanted.id;
  return StringAt(document, attribute.name) == wanted.name &&
         StringAt(document, attribute.ns) == wanted.ns;
}

bool IsElement(const XmlDocument& document, const XmlNode& node, std::string_view ns,
               std::string_view name) {
  return node.kind == XmlNode::Kind::StartElement && StringAt(document, node.ns) == ns &&
         StringAt(document, node.name) == name;
}

const XmlAttribute* FindAttribute(const XmlDocument& document, const XmlNode& element,
                                  AttributeName wanted) {
  auto found = std::find_if(
      element.attributes.begin(), element.attributes.end(),
      [&](const XmlAttribute& attribute) { return Names(document, attribute, wanted); });
  return found == element.attributes.end() ? nullptr : &*found;
}

std::string_view StringValue(const XmlDocument& document, const XmlAttribute* attribute) {
  if (attribute == nullptr) return {};
  if (attribute->rawValue != kNoString) return StringAt(document, attribute->rawValue);
  if (attribute->value.dataType == kTypeString) return StringAt(document, attribute->value.data);
  return {};
}

std::optional<std::int64_t> IntegerValue(const XmlDocument& document,
                                         const XmlAttribute* attribute) {
  if (attribute == nullptr) return std::nullopt;
  const TypedValue value = attribute->value;
  if (value.dataType == kTypeIntDec || value.dataType == kTypeIntHex) {
    return static_cast<std::int32_t>(value.data);
  }
  const std::string_view text = StringValue(document, attribute);
  std::int64_t number = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (error != std::errc() || end != text.data() + text.size() || text.empty()) {
    return std::nullopt;
  }
  return number;
}

bool BooleanValue(const XmlDocument& document, const XmlAttribute* attribute) {
  if (attribute == nullptr) return false;
  if (attribute->value.dataType == kTypeIntBoolean) return attribute->value.data != 0;
  return StringValue(document, attribute) == "true";
}

Parsed<XmlDocument> ReadManifest(std::string_view manifest) {
  Parsed<XmlDocument> document = ReadBinaryXml(manifest);
  if (auto* error = std::get_if<FormatError>(&document)) {
    return FormatError{"AndroidManifest.xml：" + error->message};
  }
  return document;
}

const XmlNode* ManifestElement(const XmlDocument& document) {
  auto root = std::find_if(document.nodes.begin(), document.nodes.end(), [](const XmlNode& node) {
    return node.kind == XmlNode::Kind::StartElement;
  });
  if (root == document.nodes.end() || !IsElement(document, *root, "", "manifest")) return nullptr;
  return &*root;
}

}  // namespace velmora::apk
