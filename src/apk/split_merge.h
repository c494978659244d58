#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "apk/format_error.h"
#include "apk/zip_archive.h"

namespace velmora::apk {

// Receives one line for the user per step of a merge, as the step happens.
using StepReport = std::function<void(std::string_view line)>;

// Merges the APKs of a split set (`OpenSplitSet`) into one unsigned APK at
// `output`. The base is the APK whose manifest has no split attribute; every
// other one must be a config split of the same package and version code.
// The result holds the base's entries with its manifest rid of the split
// declarations and the merged resources table (stored), then every other
// entry of the splits, each with the compression method it had; on a name
// clash the earlier APK's entry wins and a line says so. The old signature
// files are left out. `output` is replaced only when the whole merge worked.
//
// Fails, in a line for the user, on a set with no base or several, a split of
// another package or version code, a feature split or asset pack, and on any
// APK, manifest or table that cannot be read; nothing is written then.
Parsed<std::monostate> MergeSplitSet(std::vector<ZipReader> apks, const std::string& output,
                                     const StepReport& report);

}  // namespace velmora::apk
