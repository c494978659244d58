#pragma once

#include <string>

#include "config/settings.h"
#include "exec/process_runner.h"
#include "exec/run_request.h"
#include "exec/window_operations.h"

namespace velmora {

// How a run ended, for callers that need more than its result.
enum class RunEnding {
  kToolRan,             // a captured run of the tool; see RunReport::tool
  kShellOpened,         // a "normal" command handed to ShellOpen
  kSourceMissing,       // the source check failed
  kCancelled,           // the save prompt was cancelled
  kCopyFailed,          // copying the source to the destination failed
  kExpansionNeverEnds,  // a template's placeholders never stopped expanding
};

struct RunReport {
  std::string result;  // what RunSection returns
  RunEnding ending = RunEnding::kToolRan;
  RunOutcome tool;  // meaningful for kToolRan
};

// Runs one section of the settings file from start to end: signer switch,
// source check, save prompt, copy, expansion, banners, the tool. Reads the
// section's keys afresh on every run. Returns the destination, or the empty
// text when the run stopped before its tool; expected failures are lines in
// the output area.
std::string RunSection(const RunRequest& request, const Settings& settings,
                       WindowOperations& window);

// RunSection, telling also how the run ended.
RunReport RunSectionReport(const RunRequest& request, const Settings& settings,
                           WindowOperations& window);

}  // namespace velmora
