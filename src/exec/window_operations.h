#pragma once

#include <optional>
#include <string>

#include "exec/destination.h"
#include "exec/output_sink.h"
#include "exec/run_events.h"

namespace velmora {

// Everything the command pipeline needs of the window. The window supplies it;
// velmora-run and the tests supply their own.
class WindowOperations : public OutputSink {
 public:
  // Makes the results page the active page.
  virtual void ShowResultsPage() = 0;
  // Empties the output area.
  virtual void ClearOutput() = 0;
  // The text of the path field, untrimmed.
  virtual std::string SourcePathField() = 0;
  // The selected signer type: 0, 1, 2, or -1 when none is selected.
  virtual int SignerTypeIndex() = 0;
  // Shows the save prompt; the chosen path, or nothing when cancelled.
  virtual std::optional<std::string> AskDestination(const SavePrompt& prompt) = 0;
  // What a captured run calls while it waits.
  virtual RunEvents& Events() = 0;
};

}  // namespace velmora
