#pragma once

#include <optional>
#include <string>

#include "exec/poll_run_events.h"
#include "exec/window_operations.h"

namespace velmora {

// The window operations answered from the command line: output lines go to
// standard output as they come, the path field is the source argument, and the
// save prompt is answered by --output or by the proposed name beside the source.
class TerminalWindow : public WindowOperations {
 public:
  TerminalWindow(int signerType, std::optional<std::string> output, bool force);

  // Starts the runs for one source argument (empty when there is none).
  void BeginSource(std::string source);
  // Whether a destination was refused for this source (it existed without
  // --force, or no name could be proposed).
  bool RefusedDestination() const { return refused_; }

  void ShowResultsPage() override {}
  void ClearOutput() override {}
  // Lines before the first banner of a source are the pipeline's own messages
  // (a missing source, a failed copy) and go to standard error.
  void AppendLine(std::string_view line) override;
  std::string SourcePathField() override { return source_; }
  int SignerTypeIndex() override { return signerType_; }
  std::optional<std::string> AskDestination(const SavePrompt& prompt) override;
  RunEvents& Events() override { return events_; }

 private:
  std::string ProposedBesideSource(const std::string& fileName) const;

  int signerType_;
  std::optional<std::string> output_;
  bool force_;
  std::string source_;
  bool bannerSeen_ = false;
  bool refused_ = false;
  PollRunEvents events_;
};

}  // namespace velmora
