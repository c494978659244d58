#include "apk/manifest.h"

#include <algorithm>
#include <array>
#include <vector>

#include "apk/binary_xml.h"
#include "apk/manifest_attributes.h"

namespace velmora::apk {
namespace {

constexpr std::string_view kDistributionNamespace = "http://schemas.android.com/apk/distribution";

constexpr AttributeName kConfigForSplit{"", "configForSplit"};
constexpr AttributeName kIsFeatureSplit{kAndroidNamespace, "isFeatureSplit", 0x0101055b};
constexpr AttributeName kDistributionType{kDistributionNamespace, "type"};

constexpr std::array kSplitAttributes{
    kSplit,
    kIsFeatureSplit,
    AttributeName{kAndroidNamespace, "splitTypes"},
    AttributeName{kAndroidNamespace, "requiredSplitTypes"},
    AttributeName{kAndroidNamespace, "isSplitRequired", 0x01010591},
    AttributeName{kAndroidNamespace, "isolatedSplits", 0x0101054b},
};

// The meta-data by which the store requires the whole set, or stamps the
// source of its APKs; neither holds for one merged, re-signed APK.
constexpr std::array<std::string_view, 5> kSplitMetaData{
    "com.android.vending.splits", "com.android.vending.splits.required", "com.android.stamp.source",
    "com.android.stamp.type",     "com.android.vending.derived.apk.id",
};

bool IsSplitMetaData(const XmlDocument& document, const XmlNode& node) {
  if (!IsElement(document, node, "", "meta-data")) return false;
  const std::string_view name = StringValue(document, FindAttribute(document, node, kAndroidName));
  return std::find(kSplitMetaData.begin(), kSplitMetaData.end(), name) != kSplitMetaData.end();
}

// Removes the split attributes of `element` and keeps its id, class and style
// indices pointing at the attributes they named. Returns how many it removed.
int RemoveSplitAttributes(const XmlDocument& document, XmlNode& element) {
  const std::size_t count = element.attributes.size();
  std::vector<std::uint16_t> newIndex(count + 1, 0);
  std::vector<XmlAttribute> kept;
  for (std::size_t i = 0; i < count; ++i) {
    const XmlAttribute& attribute = element.attributes[i];
    const bool isSplit =
        std::any_of(kSplitAttributes.begin(), kSplitAttributes.end(),
                    [&](AttributeName name) { return Names(document, attribute, name); });
    if (isSplit) continue;
    kept.push_back(attribute);
    newIndex[i + 1] = static_cast<std::uint16_t>(kept.size());
  }
  auto remap = [&](std::uint16_t index) { return index > count ? index : newIndex[index]; };
  element.idIndex = remap(element.idIndex);
  element.classIndex = remap(element.classIndex);
  element.styleIndex = remap(element.styleIndex);
  element.attributes = std::move(kept);
  return static_cast<int>(count - element.attributes.size());
}

}  // namespace

Parsed<ManifestFacts> ReadManifestFacts(std::string_view manifest) {
  Parsed<XmlDocument> parsed = ReadManifest(manifest);
  if (auto* error = std::get_if<FormatError>(&parsed)) return *error;
  const XmlDocument& document = std::get<XmlDocument>(parsed);
  const XmlNode* root = ManifestElement(document);
  if (root == nullptr) return FormatError{std::string(kNoManifestElement)};
  ManifestFacts facts;
  facts.package = StringValue(document, FindAttribute(document, *root, kPackage));
  facts.versionCode = IntegerValue(document, FindAttribute(document, *root, kVersionCode));
  facts.split = StringValue(document, FindAttribute(document, *root, kSplit));
  facts.configForSplit = StringValue(document, FindAttribute(document, *root, kConfigForSplit));
  facts.featureSplit = BooleanValue(document, FindAttribute(document, *root, kIsFeatureSplit));
  facts.assetPack =
      std::any_of(document.nodes.begin(), document.nodes.end(), [&](const XmlNode& node) {
        return IsElement(document, node, kDistributionNamespace, "module") &&
               StringValue(document, FindAttribute(document, node, kDistributionType)) ==
                   "asset-pack";
      });
  return facts;
}

Parsed<UnsplitManifest> RemoveSplitDeclarations(std::string_view manifest) {
  Parsed<XmlDocument> parsed = ReadManifest(manifest);
  if (auto* error = std::get_if<FormatError>(&parsed)) return *error;
  XmlDocument& document = std::get<XmlDocument>(parsed);
  UnsplitManifest result;
  std::vector<XmlNode> kept;
  int skippedDepth = 0;  // inside a removed element, how deep
  for (XmlNode& node : document.nodes) {
    if (skippedDepth > 0) {
      if (node.kind == XmlNode::Kind::StartElement) ++skippedDepth;
      if (node.kind == XmlNode::Kind::EndElement) --skippedDepth;
      continue;
    }
    const bool splitMetaData = IsSplitMetaData(document, node);
    if (splitMetaData || IsElement(document, node, "", "uses-split")) {
      ++(splitMetaData ? result.metaData : result.usesSplits);
      skippedDepth = 1;
      continue;
    }
    if (IsElement(document, node, "", "manifest") || IsElement(document, node, "", "application")) {
      result.attributes += RemoveSplitAttributes(document, node);
    }
    kept.push_back(std::move(node));
  }
  // An element that never ends would have taken the rest of the file with it.
  if (skippedDepth > 0) return FormatError{"AndroidManifest.xml 中有元素没有结束"};
  document.nodes = std::move(kept);
  result.bytes = WriteBinaryXml(document);
  return result;
}

}  // namespace velmora::apk
