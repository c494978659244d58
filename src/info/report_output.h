#pragma once

#include <string>
#include <vector>

#include "info/apk_report.h"
#include "info/json_text.h"

namespace velmora::info {

// What one PATH gave: one APK, or the APKs of a set, base first.
struct PathReport {
  bool set = false;
  std::string path;
  std::vector<ApkReport> apks;
};

// The report as the output area shows it: Chinese labels, one fact a line,
// each item of a list on a line of its own, indented.
std::string ReportText(const PathReport& report);

// The report as JSON: an APK's object, or a set's with its APKs.
Json ReportJson(const PathReport& report);

}  // namespace velmora::info
