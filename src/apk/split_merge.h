#pragma once

#include <string>
#include <vector>

#include "apk/format_error.h"
#include "apk/step_report.h"
#include "apk/zip_archive.h"

namespace velmora::apk {

// Merges the APKs of a split set (`SplitSet::Open`) into one unsigned APK at
// `output`. The base is the APK whose manifest has no split attribute; every
// other one must be a config split of the same package and version code.
// The result holds the base's entries with its manifest rid of the split
// declarations and the merged resources table (stored), then every other
// entry of the splits, each with the compression method it had; on a name
// clash the earlier APK's entry wins and a line says so. The old signature
// files are left out, and so is, with a line, an entry whose name no APK may
// hold (WhyUnsafeEntryName). `output` is replaced only when the whole merge
// worked.
//
// Fails, in a line for the user, on a set with no base or several, a split of
// another package or version code, a feature split or asset pack, and on any
// APK, manifest, table or entry that cannot be read or whose data does not
// match its recorded size or CRC; nothing is written then.
Parsed<std::monostate> MergeSplitSet(std::vector<ZipReader> apks, const std::string& output,
                                     const StepReport& report);

}  // namespace velmora::apk
