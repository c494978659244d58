#pragma once

#include <string>
#include <string_view>

#include "config/settings.h"
#include "exec/process_runner.h"
#include "exec/run_request.h"
#include "exec/window_operations.h"

namespace velmora {

// The variables in which every captured tool finds the keystore passwords of
// its run: what %storepass% and %keypass% expand to. Only the same user can
// read a process's environment, while its command line shows to everyone.
// An empty value leaves an inherited variable of the name as it was, so the
// passwords may be kept out of the settings file and exported instead.
inline constexpr std::string_view kStorePassVariable = "VELMORA_STOREPASS";
inline constexpr std::string_view kKeyPassVariable = "VELMORA_KEYPASS";

// How a run ended, for callers that need more than its result.
enum class RunEnding {
  kToolRan,              // a captured run of the tool; see RunReport::tool
  kShellOpened,          // a "normal" command handed to ShellOpen
  kSettingsTooLarge,     // the settings file is too large to be read
  kValueCut,             // a value the run uses is longer than a settings value may be
  kSourceMissing,        // the source check failed
  kCancelled,            // the save prompt was cancelled
  kDestinationIsSource,  // the chosen destination is the source itself
  kCopyFailed,           // copying the source to the destination failed
  kExpansionNeverEnds,   // a template's placeholders never stopped expanding
  kTemplateCut,          // a template is longer than a settings value may be
  kPathNotPassable,      // a path holds what the command line cannot carry
};

struct RunReport {
  std::string result;  // what RunSection returns
  RunEnding ending = RunEnding::kToolRan;
  RunOutcome tool;  // meaningful for kToolRan

  // The run started its tool and the tool exited with status 0. A tool that
  // could not start, exited with another status or was ended by a signal (as a
  // stopped run is) did not succeed; neither did a run that stopped before its
  // tool or handed it to the desktop unwatched.
  bool ToolSucceeded() const;
};

// The section a run of `section` uses: Signer becomes Signer_JDK for signer
// types 1 and 2.
std::string SectionToRun(std::string_view section, int signerTypeIndex);

// Runs one section of the settings file from start to end: signer switch,
// source check, save prompt, copy, expansion, banners, the tool. Reads the
// section's keys afresh on every run. Returns the destination, or the empty
// text when the run stopped before its tool; expected failures are lines in
// the output area.
//
// The paths are passed literally: a quote, backslash or placeholder name in a
// file name is part of the name, never of the command. A settings file too
// large to be read, and any value the run uses that is longer than a settings
// value may be, stop the run before its start banner; so does a destination
// chosen in the save prompt that is the source itself (the same file, through
// a link too), before anything is copied or started. A destination the request
// names itself is the caller's choice: the rebuild-and-sign chain signs in
// place. When the run copied the source onto a destination where nothing was,
// and its tool then does not succeed (or never starts), that copy is removed
// again. A captured tool gets kStorePassVariable and kKeyPassVariable.
std::string RunSection(const RunRequest& request, const Settings& settings,
                       WindowOperations& window);

// RunSection, telling also how the run ended.
RunReport RunSectionReport(const RunRequest& request, const Settings& settings,
                           WindowOperations& window);

}  // namespace velmora
