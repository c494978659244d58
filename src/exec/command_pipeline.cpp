#include "exec/command_pipeline.h"

#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>

#include "config/ini_text.h"
#include "config/placeholders.h"
#include "config/text.h"
#include "exec/argument_line.h"
#include "exec/button_requests.h"
#include "exec/destination.h"
#include "exec/file_copy.h"
#include "exec/program_files.h"

namespace velmora {
namespace {

// The keys of its section a run reads besides its templates (which are
// checked as they are read), those of a user's button, and the values every
// expansion pass reads.
constexpr std::array<std::string_view, 7> kSectionKeys{
    "SourceFileType", "DestFileType",    "CopyFile",    "Comments",
    "CommandType",    "ShowErrorOutput", "ShowExitCode"};
constexpr std::array<std::string_view, 2> kUserButtonKeys{"DestFileName", "DestFileExt"};
constexpr std::array<std::pair<std::string_view, std::string_view>, 7> kSharedValues{{
    {"General", "JAVA_HOME"},
    {"General", "apktool_path"},
    {"General", "framework_path"},
    {"KeystoreFile", "keystore"},
    {"KeystoreFile", "storepass"},
    {"KeystoreFile", "keypass"},
    {"KeystoreFile", "alias"},
}};

constexpr std::array<std::pair<std::string_view, std::string_view>, 2> kPasswordVariables{{
    {kStorePassVariable, "%storepass%"},
    {kKeyPassVariable, "%keypass%"},
}};

// Everything one run needs, so that the steps below read as the run does.
class SectionRun {
 public:
  SectionRun(const RunRequest& request, const Settings& settings, WindowOperations& window)
      : request_(request), settings_(settings), window_(window), section_(request.Section) {}

  RunReport Run() {
    window_.ShowResultsPage();
    if (request_.ClearOutput) window_.ClearOutput();
    section_ = SectionToRun(section_, window_.SignerTypeIndex());

    const SettingsReading reading = settings_.ReadAll();
    if (reading.TooLarge()) {
      window_.AppendLine(SettingsFileTooLargeMessage(settings_.IniPath()));
      return Stopped(RunEnding::kSettingsTooLarge);
    }
    if (!CheckValuesFit(reading)) return Stopped(RunEnding::kValueCut);
    if (!CheckSource()) return Stopped(RunEnding::kSourceMissing);
    if (!ChooseDestination()) return Stopped(RunEnding::kCancelled);
    if (!CheckDestinationIsNotSource()) return Stopped(RunEnding::kDestinationIsSource);
    if (!CopySourceWhenAsked()) return Stopped(RunEnding::kCopyFailed);
    if (std::optional<RunEnding> refused = ExpandTemplates()) {
      RemoveCopyMadeByThisRun();
      return Stopped(*refused);
    }

    window_.AppendLine("------" + Read("Comments") + " 开始------");
    auto started = std::chrono::steady_clock::now();
    RunReport report = StartTool();
    if (report.ending == RunEnding::kToolRan && !report.ToolSucceeded()) RemoveCopyMadeByThisRun();
    auto elapsed = std::chrono::steady_clock::now() - started;
    long long seconds = std::chrono::duration_cast<std::chrono::seconds>(elapsed).count();
    window_.AppendLine("------" + Read("Comments") + " 结束------用时：" + std::to_string(seconds) +
                       "秒------");
    return report;
  }

 private:
  std::string Read(std::string_view key) const { return settings_.ReadSetting(section_, key, ""); }
  std::string Keyword(std::string_view key) const { return LowerAscii(Read(key)); }

  RunReport Stopped(RunEnding ending) const { return RunReport{"", ending, {}}; }

  // A value read cut would be another path, password or word than the one
  // written; every such value the run would use is named, and nothing runs.
  bool CheckValuesFit(const SettingsReading& reading) {
    bool fit = true;
    auto check = [this, &reading, &fit](std::string_view section, std::string_view key) {
      if (!reading.IsCut(section, key)) return;
      window_.AppendLine(CutSettingMessage(section, key));
      fit = false;
    };
    for (std::string_view key : kSectionKeys) check(section_, key);
    if (IsUserDefinedSection(request_.Section)) {
      for (std::string_view key : kUserButtonKeys) check(request_.Section, key);
    }
    for (const auto& [section, key] : kSharedValues) check(section, key);
    return fit;
  }

  bool CheckSource() {
    source_ = request_.Source;
    if (Keyword("SourceFileType") == "none") return true;
    if (source_.empty()) source_ = std::string(TrimBlanks(window_.SourcePathField()));
    const std::string type = Keyword("SourceFileType");
    bool exists = type == "directory" ? IsExistingDirectory(source_)
                  : type == "any"     ? IsExistingDirectory(source_) || IsRegularFile(source_)
                                      : IsRegularFile(source_);
    if (!exists) window_.AppendLine("路径不存在，请重新选择路径");
    return exists;
  }

  bool ChooseDestination() {
    destination_ = request_.Destination;
    if (Keyword("DestFileType") == "none" || !destination_.empty()) return true;
    SavePrompt prompt =
        ProposeDestination(settings_, section_, source_, request_.Tag, request_.Extension);
    std::optional<std::string> chosen = window_.AskDestination(prompt);
    if (!chosen) return false;
    destination_ = *chosen;
    destinationChosen_ = true;
    return true;
  }

  // Whatever the tool or the copy writes to the destination would destroy the
  // source when both are one file (zipalign truncates its output first).
  bool CheckDestinationIsNotSource() {
    if (!destinationChosen_ || !NameTheSameFile(source_, destination_)) return true;
    window_.AppendLine("目标 " + destination_ + " 与源文件 " + source_ + " 是同一个文件，请检查");
    return false;
  }

  bool CopySourceWhenAsked() {
    if (!request_.AllowCopy || Keyword("CopyFile") != "true") return true;
    CopyResult copied = CopyFileReplacing(source_, destination_);
    copyMadeDestination_ = copied == CopyResult::kCreatedDestination;
    if (copied != CopyResult::kFailed) return true;
    window_.AppendLine("复制文件 " + source_ + " -> " + destination_ + " 失败，请检查");
    return false;
  }

  // A copy left under the destination's name after the tool failed would pass
  // for its result (an unsigned package named as signed). A file that was
  // there before the run stays: the user only agreed to replace it.
  void RemoveCopyMadeByThisRun() {
    if (!copyMadeDestination_) return;
    copyMadeDestination_ = false;
    if (::unlink(destination_.c_str()) == 0) {
      window_.AppendLine("已删除本次复制的文件 " + destination_);
    } else if (errno != ENOENT) {
      window_.AppendLine("删除复制的文件 " + destination_ + " 失败，请检查");
    }
  }

  // Reads a template; a value cut to the length a setting may have would run
  // a different command, so it is refused.
  std::optional<std::string> ReadTemplate(std::string_view key) {
    std::optional<std::string> value = settings_.ReadUncutSetting(section_, key);
    if (!value) window_.AppendLine(CutSettingMessage(section_, key));
    return value;
  }

  // A template whose placeholders never stop expanding is shown and stops the run.
  std::optional<ExpandedTemplate> Expand(const std::string& templateText) {
    auto expanded = ExpandTemplate(settings_, templateText, source_, destination_);
    if (!expanded) window_.AppendLine(ExpansionNeverEndsMessage(templateText));
    return expanded;
  }

  // Reads and expands the templates; what stopped the run, if anything did.
  std::optional<RunEnding> ExpandTemplates() {
    auto commandTemplate = ReadTemplate("Command");
    if (!commandTemplate) return RunEnding::kTemplateCut;
    auto program = Expand(*commandTemplate);
    if (!program) return RunEnding::kExpansionNeverEnds;
    auto argumentsTemplate = ReadTemplate("CommandLine");
    if (!argumentsTemplate) return RunEnding::kTemplateCut;
    auto arguments = Expand(*argumentsTemplate);
    if (!arguments) return RunEnding::kExpansionNeverEnds;
    if (section_ == "Signer_JDK" && window_.SignerTypeIndex() == 2) {
      auto extraTemplate = ReadTemplate("CommandLine_1");
      if (!extraTemplate) return RunEnding::kTemplateCut;
      auto extra = Expand(*extraTemplate);
      if (!extra) return RunEnding::kExpansionNeverEnds;
      arguments->push_back({" ", false});
      arguments->insert(arguments->end(), extra->begin(), extra->end());
    }
    if (!ExpandPasswords()) return RunEnding::kExpansionNeverEnds;
    program_ = JoinedText(*program);
    programIsUserPath_ = HoldsPath(*program);
    if (!WriteArgumentLine(*arguments)) return RunEnding::kPathNotPassable;
    return std::nullopt;
  }

  // What %storepass% and %keypass% expand to, for the tool's environment.
  bool ExpandPasswords() {
    for (const auto& [variable, placeholder] : kPasswordVariables) {
      auto value = Expand(std::string(placeholder));
      if (!value) return false;
      std::string text = JoinedText(*value);
      if (!text.empty()) environment_.push_back({std::string(variable), std::move(text)});
    }
    return true;
  }

  // Without a program, the argument line names it in its first field.
  bool WriteArgumentLine(const ExpandedTemplate& pieces) {
    ArgumentLineWriter line(program_.empty());
    for (const TemplatePiece& piece : pieces) {
      if (!piece.isPath) {
        line.AppendTemplateText(piece.text);
      } else if (!line.AppendLiteral(piece.text)) {
        window_.AppendLine("路径 " + piece.text + " 含有双引号，不能用作程序名，请检查");
        return false;
      }
    }
    arguments_ = line.Line();
    return true;
  }

  RunReport StartTool() {
    if (Keyword("CommandType") == "normal") {
      ShellOpen(program_, arguments_,
                programIsUserPath_ ? OpenTarget::kUserPath : OpenTarget::kNamedByTemplate);
      return RunReport{destination_, RunEnding::kShellOpened, {}};
    }
    RunOptions options{.showErrorOutput = Keyword("ShowErrorOutput") == "true",
                       .environment = environment_};
    RunOutcome outcome = RunCaptured(program_, arguments_, window_, window_.Events(), options);
    if (outcome.started) ReportExitStatusWhenAsked(outcome.waitStatus);
    return RunReport{destination_, RunEnding::kToolRan, outcome};
  }

  void ReportExitStatusWhenAsked(int waitStatus) {
    bool failed =
        WIFSIGNALED(waitStatus) || (WIFEXITED(waitStatus) && WEXITSTATUS(waitStatus) != 0);
    if (!failed || Keyword("ShowExitCode") != "true") return;
    if (WIFSIGNALED(waitStatus)) {
      window_.AppendLine("程序被信号终止，信号：" + std::to_string(WTERMSIG(waitStatus)));
    } else {
      window_.AppendLine("程序运行出错，退出代码：" + std::to_string(WEXITSTATUS(waitStatus)));
    }
  }

  const RunRequest& request_;
  const Settings& settings_;
  WindowOperations& window_;
  std::string section_;
  std::string source_;
  std::string destination_;
  bool destinationChosen_ = false;
  std::string program_;
  bool programIsUserPath_ = false;
  std::string arguments_;
  std::vector<EnvironmentVariable> environment_;
  bool copyMadeDestination_ = false;
};

}  // namespace

bool RunReport::ToolSucceeded() const {
  return ending == RunEnding::kToolRan && tool.started && WIFEXITED(tool.waitStatus) &&
         WEXITSTATUS(tool.waitStatus) == 0;
}

std::string SectionToRun(std::string_view section, int signerTypeIndex) {
  bool jdkSigner = signerTypeIndex == 1 || signerTypeIndex == 2;
  return section == "Signer" && jdkSigner ? "Signer_JDK" : std::string(section);
}

RunReport RunSectionReport(const RunRequest& request, const Settings& settings,
                           WindowOperations& window) {
  return SectionRun(request, settings, window).Run();
}

std::string RunSection(const RunRequest& request, const Settings& settings,
                       WindowOperations& window) {
  return RunSectionReport(request, settings, window).result;
}

}  // namespace velmora
