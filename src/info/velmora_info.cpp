#include "info/velmora_info.h"

#include <algorithm>
#include <filesystem>
#include <string_view>

#include "apk/split_set.h"
#include "config/text.h"
#include "info/report_output.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kUsage =
    "usage: velmora-info [--json] [--] PATH...\n"
    "  PATH    an APK, or a split set: a folder of APKs, an .xapk, .apks or .apkm file\n"
    "  --json  one JSON object a PATH (an array for several)\n";

struct InfoArguments {
  std::vector<std::string> paths;
  bool json = false;
  bool help = false;
  std::string problem;  // why the arguments make no sense; empty when they do
};

InfoArguments ParseArguments(const std::vector<std::string>& arguments) {
  InfoArguments parsed;
  bool options = true;
  for (const std::string& argument : arguments) {
    if (options && argument == "--") {
      options = false;
    } else if (options && argument == "--json") {
      parsed.json = true;
    } else if (options && (argument == "-h" || argument == "--help")) {
      parsed.help = true;
    } else if (options && argument.starts_with("-") && argument != "-") {
      parsed.problem = "unknown option: " + argument;
      return parsed;
    } else {
      parsed.paths.push_back(argument);
    }
  }
  if (!parsed.help && parsed.paths.empty()) parsed.problem = "no PATH given";
  return parsed;
}

bool IsSetArchive(const std::string& path) {
  const std::string extension = LowerAscii(fs::path(path).extension().string());
  return extension == ".xapk" || extension == ".apks" || extension == ".apkm";
}

apk::Parsed<info::PathReport> ReportSet(const std::string& path) {
  apk::Parsed<std::vector<apk::ZipReader>> opened = apk::OpenSplitSet(path);
  if (auto* failure = std::get_if<apk::FormatError>(&opened)) return *failure;
  info::PathReport report{true, path, {}};
  for (const apk::ZipReader& apk : std::get<std::vector<apk::ZipReader>>(opened)) {
    apk::Parsed<info::ApkReport> read = info::ReportApk(apk, apk.DisplayName());
    if (auto* failure = std::get_if<apk::FormatError>(&read)) return *failure;
    report.apks.push_back(std::move(std::get<info::ApkReport>(read)));
  }
  std::stable_partition(report.apks.begin(), report.apks.end(),
                        [](const info::ApkReport& apk) { return apk.split.empty(); });
  return report;
}

apk::Parsed<info::PathReport> ReportPath(const std::string& path) {
  std::error_code error;
  const fs::file_status status = fs::status(path, error);
  if (!fs::exists(status)) return apk::FormatError{"找不到 " + path};
  if (fs::is_directory(status) || IsSetArchive(path)) return ReportSet(path);
  apk::Parsed<apk::ZipReader> opened = apk::ZipReader::OpenFile(path, path);
  if (auto* failure = std::get_if<apk::FormatError>(&opened)) return *failure;
  apk::Parsed<info::ApkReport> read = info::ReportApk(std::get<apk::ZipReader>(opened), path);
  if (auto* failure = std::get_if<apk::FormatError>(&read)) return *failure;
  return info::PathReport{false, path, {std::move(std::get<info::ApkReport>(read))}};
}

void Write(std::FILE* out, std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), out);
  // A window shows the facts as they come only if each PATH is sent at once.
  std::fflush(out);
}

}  // namespace

int RunVelmoraInfo(const std::vector<std::string>& arguments, std::FILE* out, std::FILE* err) {
  const InfoArguments parsed = ParseArguments(arguments);
  if (parsed.help) {
    Write(out, kUsage);
    return kInfoRead;
  }
  if (!parsed.problem.empty()) {
    std::fprintf(err, "velmora-info: %s\n%.*s", parsed.problem.c_str(),
                 static_cast<int>(kUsage.size()), kUsage.data());
    return kInfoUsage;
  }
  int status = kInfoRead;
  std::vector<info::Json> objects;
  bool first = true;
  for (const std::string& path : parsed.paths) {
    apk::Parsed<info::PathReport> report = ReportPath(path);
    if (auto* failure = std::get_if<apk::FormatError>(&report)) {
      std::fprintf(err, "velmora-info: %s\n", failure->message.c_str());
      std::fflush(err);
      status = kInfoUnreadable;
      continue;
    }
    const info::PathReport& read = std::get<info::PathReport>(report);
    if (parsed.json) {
      objects.push_back(info::ReportJson(read));
    } else {
      Write(out, (first ? "" : "\n") + info::ReportText(read));
      first = false;
    }
  }
  if (parsed.json) {
    const info::Json whole = parsed.paths.size() == 1 && objects.size() == 1
                                 ? std::move(objects.front())
                                 : info::Json(info::Json::Array(std::move(objects)));
    if (!(parsed.paths.size() == 1 && status != kInfoRead)) Write(out, whole.Print() + "\n");
  }
  return status;
}

}  // namespace velmora
