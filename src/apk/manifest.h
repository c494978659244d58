#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "apk/format_error.h"

namespace velmora::apk {

// What the compiled AndroidManifest.xml of an APK says about its place in a
// split set.
struct ManifestFacts {
  std::string package;
  std::optional<std::int64_t> versionCode;  // none when the manifest gives none
  std::string split;                        // empty for the base APK
  std::string configForSplit;               // the feature split a config split belongs to
  bool featureSplit = false;                // android:isFeatureSplit
  bool assetPack = false;                   // <dist:module dist:type="asset-pack">
};

// Reads the facts from a compiled manifest. Fails on a malformed file or one
// without a <manifest> element.
Parsed<ManifestFacts> ReadManifestFacts(std::string_view manifest);

// A manifest rewritten to describe one whole APK, and how much was removed.
struct UnsplitManifest {
  std::string bytes;
  int attributes = 0;  // split attributes of <manifest> and <application>
  int usesSplits = 0;  // <uses-split> elements
  int metaData = 0;    // the store's <meta-data> about splits
};

// Removes from a compiled manifest what makes it part of a split set: the
// split attributes (split, isFeatureSplit, splitTypes, requiredSplitTypes,
// isSplitRequired, isolatedSplits), the <uses-split> elements and the
// <meta-data> by which the store requires the set or stamps its source.
// Everything else is written back as it was.
Parsed<UnsplitManifest> RemoveSplitDeclarations(std::string_view manifest);

}  // namespace velmora::apk
