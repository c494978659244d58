#include "exec/process_runner.h"

#include <algorithm>
#include <cerrno>
#include <span>
#include <string>
#include <vector>

#include "exec/argument_line.h"
#include "exec/child_process.h"
#include "exec/output_chunk.h"
#include "exec/output_pipe.h"
#include "exec/program_files.h"

namespace velmora {
namespace {

using namespace std::chrono_literals;

// How long one wait lasts at most when nothing happens. The wait wakes at once
// on output or the child's end; this only bounds how long the caller's events
// may go unprocessed when the wait cannot see them.
constexpr std::chrono::milliseconds kPollInterval = 100ms;

// One read takes up to sixteen chunks at once and shows them chunk by chunk,
// just as sixteen reads of one chunk would have returned them from a pipe that
// held that much, at a sixteenth of the system calls and of the wake-ups of a
// writer waiting on a full pipe.
constexpr std::size_t kReadSize = 16 * kChunkSize;

void AppendError(OutputSink& output, std::string_view prefix, int error) {
  std::string line(prefix);
  line += std::to_string(error);
  output.AppendLine(line);
}

HiddenChildPlan DescribeChild(std::string_view command, std::string_view argumentLine, int outputFd,
                              const RunOptions& options) {
  HiddenChildPlan plan;
  plan.outputFd = outputFd;
  plan.errorToOutput = options.showErrorOutput;
  if (command.empty()) {
    plan.arguments = SplitCommandLine(argumentLine);
    plan.program = plan.arguments.empty() ? std::string() : plan.arguments.front();
    plan.searchPath = true;
    return plan;
  }
  plan.program = command;
  plan.arguments = SplitArguments(argumentLine);
  plan.arguments.insert(plan.arguments.begin(), plan.program);
  return plan;
}

void AppendChunks(OutputSink& output, std::string_view bytes) {
  for (std::size_t at = 0; at < bytes.size(); at += kChunkSize) {
    output.AppendLine(ChunkAsLine(bytes.substr(at, kChunkSize)));
  }
}

// Reads what is waiting and shows it; returns whether there was anything.
bool ShowWaitingRead(int outputFd, OutputSink& output, std::span<char> buffer) {
  const std::size_t size = ReadWaiting(outputFd, buffer);
  AppendChunks(output, std::string_view(buffer.data(), size));
  return size > 0;
}

// Everything the child wrote is in the pipe once it has ended; reading only
// what is there now keeps a grandchild that goes on writing from holding the
// run.
void ShowOutputLeftBehind(int outputFd, OutputSink& output, std::span<char> buffer) {
  for (std::size_t left = BytesWaiting(outputFd); left > 0;) {
    const std::size_t size = ReadWaiting(outputFd, buffer.first(std::min(left, buffer.size())));
    if (size == 0) {
      return;
    }
    AppendChunks(output, std::string_view(buffer.data(), size));
    left -= size;
  }
}

// The pipe's write end stays open here for the whole run, so the pipe never
// reports end-of-data: the run ends when the child has ended, never earlier.
// The child's end is looked at after a read that found output too, not only
// when the pipe is empty, so a writer that never pauses (a grandchild flooding
// the pipe it inherited) cannot hold the run once the child has ended.
void ShowOutputUntilChildEnds(int outputFd, const HiddenChild& child, OutputSink& output,
                              RunEvents& events) {
  std::vector<char> buffer(kReadSize);
  while (true) {
    events.ProcessPendingEvents();
    const bool hadOutput = ShowWaitingRead(outputFd, output, buffer);
    if (HasEnded(child.pid)) {
      ShowOutputLeftBehind(outputFd, output, buffer);
      return;
    }
    if (!hadOutput) {
      events.WaitForActivity(outputFd, child.endFd.Get(), kPollInterval);
    }
  }
}

}  // namespace

RunOutcome RunCaptured(std::string_view command, std::string_view argumentLine, OutputSink& output,
                       RunEvents& events, RunOptions options) {
  RunOutcome outcome;
  if (!command.empty() && !IsRegularFile(std::string(command))) {
    output.AppendLine("File not exists:" + std::string(command));
    return outcome;
  }
  const OutputPipe pipe = OpenOutputPipe();
  if (pipe.error != 0) {
    AppendError(output, "CreatePipe error:", pipe.error);
    return outcome;
  }
  const HiddenChildPlan plan = DescribeChild(command, argumentLine, pipe.writeEnd.Get(), options);
  if (plan.arguments.empty()) {
    AppendError(output, "CreateProcess error:", ENOENT);
    return outcome;
  }
  const HiddenChild child = StartHidden(plan);
  if (child.error != 0) {
    AppendError(output, "CreateProcess error:", child.error);
    return outcome;
  }
  outcome.started = true;
  ShowOutputUntilChildEnds(pipe.readEnd.Get(), child, output, events);
  outcome.waitStatus = Reap(child.pid);
  return outcome;
}

}  // namespace velmora
