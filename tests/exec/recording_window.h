#pragma once

#include <optional>
#include <string>
#include <vector>

#include "exec/poll_run_events.h"
#include "exec/window_operations.h"

namespace velmora::test {

// Stands in for the main window: answers the pipeline from its fields and
// records what the pipeline did to it, in order.
class RecordingWindow : public WindowOperations {
 public:
  std::string pathField;
  int signerIndex = 0;
  std::optional<std::string> answer;  // the save prompt's answer; nothing cancels

  std::vector<std::string> calls;  // "page", "clear", "ask", or the appended line
  std::vector<std::string> lines;  // the appended lines alone
  std::vector<SavePrompt> prompts;

  void ShowResultsPage() override { calls.push_back("page"); }
  void ClearOutput() override {
    calls.push_back("clear");
    lines.clear();
  }
  void AppendLine(std::string_view line) override {
    calls.emplace_back(line);
    lines.emplace_back(line);
  }
  std::string SourcePathField() override { return pathField; }
  int SignerTypeIndex() override { return signerIndex; }
  std::optional<std::string> AskDestination(const SavePrompt& prompt) override {
    calls.push_back("ask");
    prompts.push_back(prompt);
    return answer;
  }
  RunEvents& Events() override { return events_; }

 private:
  PollRunEvents events_;
};

}  // namespace velmora::test
