#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "apk/format_error.h"

namespace velmora::apk {

// A manifest attribute that may hold its value or name a resource: a string
// or an integer as written, or the id of the resource that holds it.
struct ManifestValue {
  std::optional<std::string> text;
  std::optional<std::int64_t> number;
  std::uint32_t reference = 0;

  bool Present() const { return text || number || reference != 0; }
};

// What a compiled AndroidManifest.xml says about the app, as a user asks it.
struct PackageFacts {
  std::string package;
  ManifestValue versionCode;
  ManifestValue versionName;
  ManifestValue label;  // of <application>
  ManifestValue minSdk;
  ManifestValue targetSdk;
  // android:compileSdkVersion, or platformBuildVersionCode where the build
  // recorded only that.
  ManifestValue compileSdk;
  std::string split;  // empty for a base APK
  // The first activity with an intent filter for MAIN and LAUNCHER, or else
  // the first activity-alias with one; fully qualified.
  std::string launchActivity;
  // uses-permission and uses-permission-sdk-23 names, in order, each once.
  std::vector<std::string> permissions;
};

// Reads the facts from a compiled manifest. Fails on a malformed file or one
// without a <manifest> element.
Parsed<PackageFacts> ReadPackageFacts(std::string_view manifest);

}  // namespace velmora::apk
