#pragma once

#include <string_view>

#include "exec/output_sink.h"
#include "exec/run_events.h"

namespace velmora {

struct RunOptions {
  // The child's standard error shares the pipe of its standard output.
  bool showErrorOutput = false;
};

struct RunOutcome {
  // The child was created (no "File not exists:", "CreatePipe error:" or
  // "CreateProcess error:" line was appended).
  bool started = false;
  // The child's status as waitpid reports it; meaningful when `started`.
  int waitStatus = 0;
};

// Starts `command` (or, when it is empty, the program named by the first field
// of `argumentLine`, searched on PATH) hidden, in a session of its own, with
// standard input from /dev/null, standard output on a pipe and standard error
// discarded, and appends to `output` every chunk the child writes, as it comes.
// `argumentLine` is split by the Windows command-line rules; no shell sees it.
// Returns when the child has ended and what it wrote has been shown; the child
// is reaped and every descriptor of the run closed. While waiting it calls
// `events`, so the caller stays responsive (a nested run may happen there).
//
// Failures are lines in `output`: "File not exists:" + command when a non-empty
// command is not a regular file; "CreatePipe error:" / "CreateProcess error:"
// followed by the errno of the failed step.
RunOutcome RunCaptured(std::string_view command, std::string_view argumentLine, OutputSink& output,
                       RunEvents& events, RunOptions options = {});

// What ShellOpen's command came from.
enum class OpenTarget {
  kNamedByTemplate,  // the settings name it: it may be a program to start
  kUserPath,         // it holds a path the user chose: a document, never run
};

// The desktop's default "open" action: a `command` named by the template that
// is a real program (an ELF binary or a "#!" script we may execute, or such a
// program of that bare name on PATH) is started detached with the split
// argument line; anything else is handed to xdg-open. Returns at once and
// reports nothing.
void ShellOpen(std::string_view command, std::string_view argumentLine, OpenTarget origin);

}  // namespace velmora
