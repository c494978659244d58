#include "apk/package_facts.h"

#include <algorithm>

#include "apk/binary_xml.h"
#include "apk/manifest_attributes.h"

namespace velmora::apk {
namespace {

constexpr AttributeName kVersionName{kAndroidNamespace, "versionName", 0x0101021c};
constexpr AttributeName kLabel{kAndroidNamespace, "label", 0x01010001};
constexpr AttributeName kMinSdk{kAndroidNamespace, "minSdkVersion", 0x0101020c};
constexpr AttributeName kTargetSdk{kAndroidNamespace, "targetSdkVersion", 0x01010270};
constexpr AttributeName kCompileSdk{kAndroidNamespace, "compileSdkVersion", 0x01010572};
constexpr AttributeName kPlatformBuild{"", "platformBuildVersionCode"};

constexpr std::uint8_t kTypeReference = 0x01;
constexpr std::uint8_t kTypeDynamicReference = 0x07;

ManifestValue ValueOf(const XmlDocument& document, const XmlAttribute* attribute) {
  ManifestValue value;
  if (attribute == nullptr) return value;
  const TypedValue typed = attribute->value;
  if ((typed.dataType == kTypeReference || typed.dataType == kTypeDynamicReference) &&
      typed.data != 0) {
    value.reference = typed.data;
  } else if (typed.dataType == kTypeIntDec || typed.dataType == kTypeIntHex) {
    value.number = static_cast<std::int32_t>(typed.data);
  } else if (attribute->rawValue != kNoString || typed.dataType == kTypeString) {
    value.text = std::string(StringValue(document, attribute));
  }
  return value;
}

// A class name as Android reads it: one starting with a dot, or holding
// none, belongs to the package.
std::string QualifiedName(std::string_view name, std::string_view package) {
  if (name.starts_with('.')) return std::string(package) + std::string(name);
  if (name.find('.') == std::string_view::npos && !name.empty()) {
    return std::string(package) + "." + std::string(name);
  }
  return std::string(name);
}

// Walks the elements, tracking the activity and intent filter being read.
class LauncherSearch {
 public:
  LauncherSearch(const XmlDocument& document, std::string_view package)
      : document_(document), package_(package) {}

  void Start(const XmlNode& node) {
    ++depth_;
    const std::string_view name =
        StringValue(document_, FindAttribute(document_, node, kAndroidName));
    if (IsElement(document_, node, "", "activity") ||
        IsElement(document_, node, "", "activity-alias")) {
      component_ = QualifiedName(name, package_);
      alias_ = IsElement(document_, node, "", "activity-alias");
      componentDepth_ = depth_;
    } else if (componentDepth_ != 0 && IsElement(document_, node, "", "intent-filter")) {
      main_ = launcher_ = false;
      filterDepth_ = depth_;
    } else if (filterDepth_ != 0 && IsElement(document_, node, "", "action")) {
      main_ = main_ || name == "android.intent.action.MAIN";
    } else if (filterDepth_ != 0 && IsElement(document_, node, "", "category")) {
      launcher_ = launcher_ || name == "android.intent.category.LAUNCHER";
    }
  }

  void End() {
    if (depth_ == filterDepth_) {
      filterDepth_ = 0;
      std::string& found = alias_ ? aliasFound_ : activity_;
      if (main_ && launcher_ && found.empty()) found = component_;
    }
    if (depth_ == componentDepth_) componentDepth_ = 0;
    if (depth_ > 0) --depth_;
  }

  std::string Found() const { return activity_.empty() ? aliasFound_ : activity_; }

 private:
  const XmlDocument& document_;
  std::string_view package_;
  int depth_ = 0;
  int componentDepth_ = 0;
  int filterDepth_ = 0;
  std::string component_;
  bool alias_ = false;
  bool main_ = false;
  bool launcher_ = false;
  std::string activity_;
  std::string aliasFound_;
};

}  // namespace

Parsed<PackageFacts> ReadPackageFacts(std::string_view manifest) {
  Parsed<XmlDocument> parsed = ReadManifest(manifest);
  if (auto* error = std::get_if<FormatError>(&parsed)) return *error;
  const XmlDocument& document = std::get<XmlDocument>(parsed);
  const XmlNode* root = ManifestElement(document);
  if (root == nullptr) return FormatError{std::string(kNoManifestElement)};
  PackageFacts facts;
  facts.package = StringValue(document, FindAttribute(document, *root, kPackage));
  facts.versionCode = ValueOf(document, FindAttribute(document, *root, kVersionCode));
  facts.versionName = ValueOf(document, FindAttribute(document, *root, kVersionName));
  facts.split = StringValue(document, FindAttribute(document, *root, kSplit));
  facts.compileSdk = ValueOf(document, FindAttribute(document, *root, kCompileSdk));
  if (!facts.compileSdk.Present()) {
    facts.compileSdk = ValueOf(document, FindAttribute(document, *root, kPlatformBuild));
  }
  LauncherSearch launcher(document, facts.package);
  bool sdkSeen = false, labelSeen = false;
  for (const XmlNode& node : document.nodes) {
    if (node.kind == XmlNode::Kind::EndElement) launcher.End();
    if (node.kind != XmlNode::Kind::StartElement) continue;
    launcher.Start(node);
    if (!sdkSeen && IsElement(document, node, "", "uses-sdk")) {
      sdkSeen = true;
      facts.minSdk = ValueOf(document, FindAttribute(document, node, kMinSdk));
      facts.targetSdk = ValueOf(document, FindAttribute(document, node, kTargetSdk));
    } else if (!labelSeen && IsElement(document, node, "", "application")) {
      labelSeen = true;
      facts.label = ValueOf(document, FindAttribute(document, node, kLabel));
    } else if (IsElement(document, node, "", "uses-permission") ||
               IsElement(document, node, "", "uses-permission-sdk-23") ||
               IsElement(document, node, "", "uses-permission-sdk-m")) {
      const std::string name(StringValue(document, FindAttribute(document, node, kAndroidName)));
      if (!name.empty() && std::find(facts.permissions.begin(), facts.permissions.end(), name) ==
                               facts.permissions.end()) {
        facts.permissions.push_back(name);
      }
    }
  }
  facts.launchActivity = launcher.Found();
  return facts;
}

}  // namespace velmora::apk
