#pragma once

#include <cstdio>
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
  // Written as it comes; a line the tool has not ended yet is ended before
  // the next line of our own.
  void AppendToolText(std::string_view text) override;
  std::string SourcePathField() override { return source_; }
  int SignerTypeIndex() override { return signerType_; }
  std::optional<std::string> AskDestination(const SavePrompt& prompt) override;
  RunEvents& Events() override { return events_; }

  // Whether standard output turned out to be a closed pipe (its reader went,
  // as `| head -1` does). The tool running then was stopped, as is any that
  // starts later.
  bool OutputClosed() const { return outputClosed_; }

 private:
  // A terminal's pending events are the stop signals it caught.
  class SignalEvents : public PollRunEvents {
   public:
    void ProcessPendingEvents() override;
  };

  void Write(std::FILE* stream, std::string_view text);
  std::string ProposedBesideSource(const std::string& fileName) const;

  int signerType_;
  std::optional<std::string> output_;
  bool force_;
  std::string source_;
  bool bannerSeen_ = false;
  bool refused_ = false;
  bool lineOpen_ = false;
  bool outputClosed_ = false;
  SignalEvents events_;
};

}  // namespace velmora
