#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "apk/format_error.h"
#include "apk/step_report.h"
#include "apk/zip_archive.h"

namespace velmora::apk {

// The APKs of a split set, found but not yet read: every *.apk file of a
// folder, or every .apk entry of an .xapk, .apks or .apkm archive (an .apks of
// standalone APKs beside its splits gives the splits), in name order.
class SplitSet {
 public:
  // Finds the set at `path`. Fails, in a line for the user, when the set
  // cannot be read, holds no APK, is a single APK rather than a set, or is
  // encrypted (an .apkm that is no ZIP archive, or an archive with encrypted
  // entries). An APK entry whose name no archive may hold (WhyUnsafeEntryName)
  // is left out, with a line to `report`.
  static Parsed<SplitSet> Find(const std::string& path, const StepReport& report);

  // What its APKs take: the sizes of the folder's files, or those the archive
  // records for its entries.
  std::uint64_t ApkBytes() const { return apkBytes_; }
  // Whether Open writes the APKs out first, as it does those of an archive.
  bool SpoolsApks() const { return archive_.has_value(); }

  // Opens the APKs, each named by its file or entry name. Those of an archive
  // are spooled to files in `spoolFolder` that are gone as soon as they are
  // made (OpenSpooled), never read past their recorded sizes. Fails on the
  // first APK that cannot be read or spooled.
  Parsed<std::vector<ZipReader>> Open(const std::string& spoolFolder) const;

 private:
  SplitSet() = default;

  std::vector<std::filesystem::path> files_;  // of a folder
  std::optional<ZipReader> archive_;          // of an archive: the archive
  std::vector<ZipEntry> entries_;             // and its APK entries
  std::uint64_t apkBytes_ = 0;
};

// Finds and opens the set at `path` at once, spooling the APKs of an archive
// into the system's folder for temporary files and saying nothing of the
// entries left out.
Parsed<std::vector<ZipReader>> OpenSplitSet(const std::string& path);

}  // namespace velmora::apk
