#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "apk/binary_xml.h"
#include "apk/format_error.h"

namespace velmora::apk {

// How the readers of a compiled manifest find elements and attributes.

inline constexpr std::string_view kAndroidNamespace = "http://schemas.android.com/apk/res/android";

// An attribute as a manifest names it: android attributes by their framework
// resource id where the file gives one (names can be stripped), otherwise by
// namespace and name.
struct AttributeName {
  std::string_view ns;
  std::string_view name;
  std::uint32_t id = 0;
};

inline constexpr AttributeName kPackage{"", "package"};
inline constexpr AttributeName kSplit{"", "split"};
inline constexpr AttributeName kVersionCode{kAndroidNamespace, "versionCode", 0x0101021b};
inline constexpr AttributeName kAndroidName{kAndroidNamespace, "name", 0x01010003};

bool Names(const XmlDocument& document, const XmlAttribute& attribute, AttributeName wanted);

// Whether `node` starts an element `name` of the namespace `ns`.
bool IsElement(const XmlDocument& document, const XmlNode& node, std::string_view ns,
               std::string_view name);

// The attribute `wanted` of `element`, or nullptr.
const XmlAttribute* FindAttribute(const XmlDocument& document, const XmlNode& element,
                                  AttributeName wanted);

// The attribute's text as written, or its string value; empty for none.
std::string_view StringValue(const XmlDocument& document, const XmlAttribute* attribute);

// The attribute's integer, given as one or as decimal text; none otherwise.
std::optional<std::int64_t> IntegerValue(const XmlDocument& document,
                                         const XmlAttribute* attribute);

// Whether the attribute is there and true.
bool BooleanValue(const XmlDocument& document, const XmlAttribute* attribute);

// The <manifest> element that starts the document, or nullptr.
const XmlNode* ManifestElement(const XmlDocument& document);
inline constexpr std::string_view kNoManifestElement = "AndroidManifest.xml 没有 <manifest> 元素";

// The compiled manifest's document; a failure says it is the manifest.
Parsed<XmlDocument> ReadManifest(std::string_view manifest);

}  // namespace velmora::apk
