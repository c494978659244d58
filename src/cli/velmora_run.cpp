#include "cli/velmora_run.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "cli/command_line_options.h"
#include "cli/help_text.h"
#include "cli/terminal_window.h"
#include "config/settings.h"
#include "config/signer_type.h"
#include "config/text.h"
#include "exec/button_requests.h"
#include "exec/command_pipeline.h"
#include "exec/stop_signals.h"

namespace velmora {
namespace {

constexpr std::string_view kUsage =
    "usage: velmora-run [--ini FILE] [--signer 0|1|2] [--output DEST] [--force] SECTION "
    "[SOURCE...]\n"
    "       velmora-run [options] --build-sign SOURCE...\n"
    "       velmora-run [--ini FILE] --list\n"
    "       velmora-run --help\n";

int Refuse(const std::string& message) {
  std::fprintf(stderr, "%s\n", message.c_str());
  return kRunRefused;
}

int StatusOf(const RunReport& report, const TerminalWindow& window) {
  switch (report.ending) {
    case RunEnding::kToolRan:
      return report.ToolSucceeded() ? kAllToolsSucceeded : kToolFailed;
    case RunEnding::kShellOpened:
      return kAllToolsSucceeded;
    case RunEnding::kCancelled:
      // Only a refused destination cancels the prompt here.
      return window.RefusedDestination() ? kRunRefused : kAllToolsSucceeded;
    case RunEnding::kDestinationIsSource:
      // The run could not go ahead without destroying its source: it failed,
      // as a tool fails, rather than being started wrongly.
      return kToolFailed;
    case RunEnding::kSettingsTooLarge:
    case RunEnding::kValueCut:
    case RunEnding::kSourceMissing:
    case RunEnding::kCopyFailed:
    case RunEnding::kExpansionNeverEnds:
    case RunEnding::kTemplateCut:
    case RunEnding::kPathNotPassable:
      return kRunRefused;
  }
  return kRunRefused;
}

int BuildAndSign(const Settings& settings, TerminalWindow& window) {
  RebuildThenSignReport report = RebuildThenSign(settings, window);
  int status = StatusOf(report.rebuild, window);
  if (report.signing) status = std::max(status, StatusOf(*report.signing, window));
  return status;
}

// The signal velmora-run was stopped by (a closed output pipe counting as
// SIGPIPE, as it would have been without its handling); 0 when none.
int StopSignalOf(const TerminalWindow& window) {
  if (CaughtStopSignal() != 0) return CaughtStopSignal();
  return window.OutputClosed() ? SIGPIPE : 0;
}

int RunForEachSource(const CommandLineOptions& options, const Settings& settings,
                     TerminalWindow& window) {
  std::vector<std::string> sources = options.sources;
  if (sources.empty()) sources.emplace_back();
  int status = kAllToolsSucceeded;
  for (const std::string& source : sources) {
    if (StopSignalOf(window) != 0) break;
    window.BeginSource(source);
    if (options.mode == CommandLineOptions::Mode::kBuildSign) {
      status = std::max(status, BuildAndSign(settings, window));
      continue;
    }
    RunRequest request = ButtonRequestFor(options.section, settings);
    status = std::max(status, StatusOf(RunSectionReport(request, settings, window), window));
  }
  return status;
}

bool IsCommandSection(std::string_view name) {
  return !EqualsIgnoringAsciiCase(name, "General") &&
         !EqualsIgnoringAsciiCase(name, "KeystoreFile");
}

// One reading serves the whole list, so listing stays linear in the number
// of sections.
int ListSections(const SettingsReading& reading) {
  for (const std::string& name : reading.SectionNames()) {
    if (!IsCommandSection(name)) continue;
    std::string line = name;
    line.resize(std::max<std::size_t>(line.size() + 1, 18), ' ');
    line += reading.ReadSetting(name, "Comments", "");
    if (IsUserDefinedSection(name) &&
        LowerAscii(reading.ReadSetting(name, "Enabled", "")) == "true") {
      line += "  [enabled]";
    }
    std::printf("%s\n", line.c_str());
  }
  return kAllToolsSucceeded;
}

// A section name given on the command line that the settings file lacks is a
// mistake of the caller, not a tool that could not start.
bool HasSection(const SettingsReading& reading, std::string_view section) {
  const std::vector<std::string>& names = reading.SectionNames();
  return std::any_of(names.begin(), names.end(), [section](const std::string& name) {
    return EqualsIgnoringAsciiCase(name, section);
  });
}

std::optional<int> SignerTypeOf(const CommandLineOptions& options, const SettingsReading& reading,
                                std::string& error) {
  if (options.signerType) return options.signerType;
  if (reading.IsCut("General", "SignerType")) {
    error = CutSettingMessage("General", "SignerType");
    return std::nullopt;
  }
  std::string stored = reading.ReadSetting("General", "SignerType", "0");
  std::optional<int> value = ParseSignerType(stored);
  if (!value) error = "velmora-run: '" + stored + "' is not a valid integer value";
  return value ? std::optional<int>(ClampSignerType(*value)) : std::nullopt;
}

int RunCommandLine(const std::vector<std::string>& arguments) {
  ParsedCommandLine parsed = ParseCommandLine(arguments);
  if (!parsed.options) {
    std::fprintf(stderr, "velmora-run: %s\n%s", parsed.error.c_str(), kUsage.data());
    return kRunRefused;
  }
  const CommandLineOptions& options = *parsed.options;
  if (options.mode == CommandLineOptions::Mode::kHelp) {
    std::fwrite(kVelmoraRunHelp.data(), 1, kVelmoraRunHelp.size(), stdout);
    return kAllToolsSucceeded;
  }

  std::string programDirectory = Settings::DirectoryOfRunningExecutable();
  Settings settings =
      options.iniPath ? Settings(programDirectory, *options.iniPath) : Settings(programDirectory);
  if (!settings.SettingsFileExists()) {
    return Refuse("配置文件" + settings.IniPath() + "不存在，请检查");
  }
  // One reading serves the listing, the signer type and the section check.
  const SettingsReading reading = settings.ReadAll();
  if (reading.TooLarge()) return Refuse(SettingsFileTooLargeMessage(settings.IniPath()));
  if (options.mode == CommandLineOptions::Mode::kList) return ListSections(reading);

  std::string error;
  std::optional<int> signerType = SignerTypeOf(options, reading, error);
  if (!signerType) return Refuse(error);
  if (options.mode == CommandLineOptions::Mode::kRunSection) {
    std::string section = SectionToRun(options.section, *signerType);
    if (!HasSection(reading, section)) return Refuse("velmora-run: no such section: " + section);
  }
  // A closed output pipe is then a failed write, which stops the tool, not
  // the end of velmora-run with the tool left running.
  std::signal(SIGPIPE, SIG_IGN);
  CatchStopSignals();
  TerminalWindow window(*signerType, options.output, options.force);
  const int status = RunForEachSource(options, settings, window);
  const int stopSignal = StopSignalOf(window);
  return stopSignal != 0 ? kStoppedBySignal + stopSignal : status;
}

// Output that could not be written (a full disk, a closed descriptor) is lost
// output: the caller must not take the run for a success.
int WithOutputWritten(int status) {
  int error = std::fflush(stdout) == 0 ? 0 : errno;
  if (error == 0 && !std::ferror(stdout)) return status;
  std::fprintf(stderr, "velmora-run: cannot write to standard output%s%s\n", error ? ": " : "",
               error ? std::strerror(error) : "");
  return std::max(status, kToolFailed);
}

}  // namespace

int RunVelmoraCommandLine(const std::vector<std::string>& arguments) {
  return WithOutputWritten(RunCommandLine(arguments));
}

}  // namespace velmora
