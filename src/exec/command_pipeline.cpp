#include "exec/command_pipeline.h"

#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>

#include "config/placeholders.h"
#include "config/text.h"
#include "exec/destination.h"
#include "exec/file_copy.h"

namespace velmora {
namespace {

bool IsExistingDirectory(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool IsExistingFile(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// Everything one run needs, so that the steps below read as the run does.
class SectionRun {
 public:
  SectionRun(const RunRequest& request, const Settings& settings, WindowOperations& window)
      : request_(request), settings_(settings), window_(window), section_(request.Section) {}

  RunReport Run() {
    window_.ShowResultsPage();
    if (request_.ClearOutput) window_.ClearOutput();
    if (section_ == "Signer" && UsesJdkSigner()) section_ = "Signer_JDK";

    if (!CheckSource()) return Stopped(RunEnding::kSourceMissing);
    if (!ChooseDestination()) return Stopped(RunEnding::kCancelled);
    if (!CopySourceWhenAsked()) return Stopped(RunEnding::kCopyFailed);
    if (!ExpandTemplates()) return Stopped(RunEnding::kExpansionNeverEnds);

    window_.AppendLine("------" + Read("Comments") + " 开始------");
    auto started = std::chrono::steady_clock::now();
    RunReport report = StartTool();
    auto elapsed = std::chrono::steady_clock::now() - started;
    long long seconds = std::chrono::duration_cast<std::chrono::seconds>(elapsed).count();
    window_.AppendLine("------" + Read("Comments") + " 结束------用时：" + std::to_string(seconds) +
                       "秒------");
    return report;
  }

 private:
  std::string Read(std::string_view key) const { return settings_.ReadSetting(section_, key, ""); }
  std::string Keyword(std::string_view key) const { return LowerAscii(Read(key)); }

  bool UsesJdkSigner() {
    int index = window_.SignerTypeIndex();
    return index == 1 || index == 2;
  }

  RunReport Stopped(RunEnding ending) const { return RunReport{"", ending, {}}; }

  bool CheckSource() {
    source_ = request_.Source;
    if (Keyword("SourceFileType") == "none") return true;
    if (source_.empty()) source_ = std::string(TrimBlanks(window_.SourcePathField()));
    const std::string type = Keyword("SourceFileType");
    bool exists = type == "directory" ? IsExistingDirectory(source_)
                  : type == "any"     ? IsExistingDirectory(source_) || IsExistingFile(source_)
                                      : IsExistingFile(source_);
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
    return true;
  }

  bool CopySourceWhenAsked() {
    if (!request_.AllowCopy || Keyword("CopyFile") != "true") return true;
    if (CopyFileReplacing(source_, destination_)) return true;
    window_.AppendLine("复制文件 " + source_ + " -> " + destination_ + " 失败，请检查");
    return false;
  }

  // A template whose placeholders never stop expanding is shown and stops the run.
  std::optional<std::string> Expand(const std::string& templateText) {
    auto expanded = ExpandPlaceholders(settings_, templateText, source_, destination_);
    if (!expanded) window_.AppendLine(ExpansionNeverEndsMessage(templateText));
    return expanded;
  }

  bool ExpandTemplates() {
    auto program = Expand(Read("Command"));
    if (!program) return false;
    auto arguments = Expand(Read("CommandLine"));
    if (!arguments) return false;
    program_ = *program;
    arguments_ = *arguments;
    if (section_ == "Signer_JDK" && window_.SignerTypeIndex() == 2) {
      auto extra = Expand(Read("CommandLine_1"));
      if (!extra) return false;
      arguments_ += " " + *extra;
    }
    return true;
  }

  RunReport StartTool() {
    if (Keyword("CommandType") == "normal") {
      ShellOpen(program_, arguments_);
      return RunReport{destination_, RunEnding::kShellOpened, {}};
    }
    RunOptions options{.showErrorOutput = Keyword("ShowErrorOutput") == "true"};
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
  std::string program_;
  std::string arguments_;
};

}  // namespace

RunReport RunSectionReport(const RunRequest& request, const Settings& settings,
                           WindowOperations& window) {
  return SectionRun(request, settings, window).Run();
}

std::string RunSection(const RunRequest& request, const Settings& settings,
                       WindowOperations& window) {
  return RunSectionReport(request, settings, window).result;
}

}  // namespace velmora
