#include "exec/button_requests.h"

#include <array>

#include "config/text.h"

namespace velmora {
namespace {

struct ButtonRow {
  std::string_view section;
  std::string_view tag;
  std::string_view extension;
};

constexpr std::array<ButtonRow, 12> kBuiltInButtons{{
    {"Decompile", "", ""},
    {"Compile", "mod", "apk"},
    {"Signer", "signed", "apk"},
    {"ZipAlign", "zipalign", "apk"},
    {"InstallFramework", "", ""},
    {"EmptyFramework", "", ""},
    {"dex2jar", "", "jar"},
    {"OpenJar", "", ""},
    {"jar2dex", "", "dex"},
    {"dex2smali", "", ""},
    {"smali2dex", "mod", "dex"},
    {"odex2smali", "", ""},
}};

}  // namespace

bool IsUserDefinedSection(std::string_view section) {
  return LowerAscii(section).starts_with("userdefine");
}

RunRequest ButtonRequestFor(std::string_view section, const Settings& settings) {
  RunRequest request{.Section = std::string(section), .ClearOutput = true, .AllowCopy = true};
  if (IsUserDefinedSection(section)) {
    request.Tag = settings.ReadSetting(section, "DestFileName", "");
    request.Extension = settings.ReadSetting(section, "DestFileExt", "");
    return request;
  }
  for (const ButtonRow& row : kBuiltInButtons) {
    if (row.section == section) {
      request.Tag = row.tag;
      request.Extension = row.extension;
    }
  }
  return request;
}

RebuildThenSignReport RebuildThenSign(const Settings& settings, WindowOperations& window) {
  RunRequest rebuild{.Section = "Compile",
                     .Tag = "mod_signed",
                     .Extension = "apk",
                     .ClearOutput = true,
                     .AllowCopy = true};
  RebuildThenSignReport report{RunSectionReport(rebuild, settings, window), std::nullopt};
  const std::string& built = report.rebuild.result;
  if (built.empty()) return report;
  if (!report.rebuild.ToolSucceeded()) {
    window.AppendLine("回编译失败，已跳过签名");
    return report;
  }
  window.AppendLine("");
  RunRequest sign{.Section = "Signer", .Source = built, .Destination = built};
  report.signing = RunSectionReport(sign, settings, window);
  return report;
}

}  // namespace velmora
