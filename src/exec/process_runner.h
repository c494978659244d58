#pragma once

#include <string_view>
#include <vector>

#include "exec/child_environment.h"
#include "exec/output_sink.h"
#include "exec/run_events.h"

namespace velmora {

struct RunOptions {
  // The child's standard error shares the pipe of its standard output.
  bool showErrorOutput = false;
  // Set in the child's environment, in the place of inherited ones.
  std::vector<EnvironmentVariable> environment = {};
};

// The line a run stopped on request ends with, before its end banner.
inline constexpr std::string_view kStoppedByUserLine = "程序已被用户停止运行";

struct RunOutcome {
  // The child was created (no "File not exists:", "CreatePipe error:" or
  // "CreateProcess error:" line was appended).
  bool started = false;
  // The run was stopped through RunEvents::Tools() before its tool ended.
  bool stopped = false;
  // The child's status as waitpid reports it; meaningful when `started`. A
  // stopped tool never shows as having exited with status 0: one that ended
  // cleanly on SIGTERM is reported as ended by it, for it did not finish.
  int waitStatus = 0;
};

// Starts `command` (or, when it is empty, the program named by the first field
// of `argumentLine`, searched on PATH) hidden, in a session of its own, with
// standard input from /dev/null, standard output on a pipe and standard error
// discarded, and shows in `output` what the child writes as it comes, its
// lines as it broke them (see ToolTextDecoder).
// `argumentLine` is split by the Windows command-line rules; no shell sees it.
// Returns when the child has ended and what it wrote has been shown; the child
// is reaped and every descriptor of the run closed. While waiting it calls
// `events`, so the caller stays responsive (a nested run may happen there).
//
// The tool is one of `events.Tools()` while it runs, and a stop asked for
// there ends it (SIGTERM to its process group, SIGKILL after the grace
// period). A stopped run returns once the whole group has gone, and appends
// kStoppedByUserLine after everything the tool wrote.
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
