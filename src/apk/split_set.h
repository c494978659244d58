#pragma once

#include <string>
#include <vector>

#include "apk/format_error.h"
#include "apk/zip_archive.h"

namespace velmora::apk {

// Opens the APKs of a split set: every *.apk file of a folder, or every .apk
// entry of an .xapk, .apks or .apkm archive (an .apks of standalone APKs
// beside its splits gives the splits), in name order, each named by its file
// or entry name. Fails, in a line for the user, when the set cannot be read,
// holds no APK, is a single APK rather than a set, or is encrypted (an .apkm
// that is no ZIP archive, or an archive with encrypted entries).
Parsed<std::vector<ZipReader>> OpenSplitSet(const std::string& path);

}  // namespace velmora::apk
