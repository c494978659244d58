#pragma once

#include <map>
#include <string>
#include <vector>

#include "info/apk_report.h"
#include "support/child_program.h"
#include "support/temp_dir.h"

namespace velmora::test {

// What the tests vary in the small app they build with aapt2.
struct AppShape {
  int minSdk = 19;
  int targetSdk = 29;
  bool launcherAlias = false;  // the launcher is an activity-alias, not the activity
  std::string versionName = "@string/version";
};

// Builds small apps with Debian's aapt2 (a label and a version name from
// resources, permissions, a launcher, two dex files, native libraries for two
// CPU types, a stored asset) and signs them with the real tools.
class InfoTestApp {
 public:
  static constexpr const char* kPackage = "org.velmora.infodemo";
  static constexpr const char* kMarker = "VELMORA-STORED-ASSET-MARKER";

  explicit InfoTestApp(const TempDir& dir) : dir_(dir) {}

  // The unsigned APK of `shape` as `name`.apk; empty, with Error() set, when
  // aapt2 failed.
  std::string Build(const std::string& name, const AppShape& shape);

  // Makes the keystore `name` (RSA, EC or DSA keys of `bits`) with keytool.
  std::string Keystore(const std::string& name, const std::string& algorithm, int bits);

  // Signs `apk` in place with apksigner and `extra` options, or with jarsigner.
  void SignWithApksigner(const std::string& apk, const std::string& keystore,
                         const std::vector<std::string>& extra);
  void SignWithJarsigner(const std::string& apk, const std::string& keystore);

  const std::string& Error() const { return error_; }

 private:
  void Run(const std::vector<std::string>& argv);

  const TempDir& dir_;
  std::string error_;
};

// The lines of `text` that start with `prefix`, without it.
std::vector<std::string> LinesAfter(const std::string& text, const std::string& prefix);

// The value between the quotes after `key='` in `text`, or empty.
std::string QuotedValue(const std::string& text, const std::string& key);

// velmora-info's report of one APK, read in this process; fails the test when
// it cannot be read.
info::ApkReport ReportOf(const std::string& apk);

}  // namespace velmora::test
