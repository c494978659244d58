#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "apk/certificate.h"
#include "apk/format_error.h"
#include "apk/zip_archive.h"

namespace velmora::info {

// A value of the manifest as shown: a number where it is one, text where it
// is text (an SDK given by a preview's code name), nothing where it is absent.
struct ShownValue {
  std::optional<std::int64_t> number;
  std::optional<std::string> text;

  bool Present() const { return number || text; }
};

struct SignatureReport {
  bool verified = false;
  std::vector<std::string> schemes;  // "v1", "v2", "v3" as present
  bool v31 = false;                  // a v3.1 block among the v3 ones
  std::string problem;               // why it does not verify
  std::vector<apk::CertificateFacts> signers;
};

// Everything velmora-info tells about one APK.
struct ApkReport {
  std::string file;
  std::string package;
  std::optional<std::int64_t> versionCode;
  std::optional<std::string> versionName;
  std::optional<std::string> label;
  ShownValue minSdk;
  ShownValue targetSdk;
  ShownValue compileSdk;
  std::string split;
  std::optional<std::string> launchActivity;
  std::vector<std::string> permissions;
  std::vector<std::string> abis;  // sorted
  int dexFiles = 0;
  std::uint64_t size = 0;
  SignatureReport signature;
};

// Reads the facts of `apk`, named `file` in the report. Fails, naming the
// APK, when it has no manifest or its manifest or resources table is
// malformed; a signature that does not verify is a fact of the report.
apk::Parsed<ApkReport> ReportApk(const apk::ZipReader& apk, const std::string& file);

}  // namespace velmora::info
