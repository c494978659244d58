#include "exec/process_runner.h"

#include <sys/wait.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <span>
#include <string>
#include <vector>

#include "exec/argument_line.h"
#include "exec/child_process.h"
#include "exec/output_pipe.h"
#include "exec/program_files.h"
#include "exec/tool_text.h"

namespace velmora {
namespace {

using namespace std::chrono_literals;

// How long one wait lasts at most when nothing happens. The wait wakes at once
// on output or the child's end; this only bounds how long the caller's events
// may go unprocessed when the wait cannot see them.
constexpr std::chrono::milliseconds kPollInterval = 100ms;

// One read takes up to 64 KiB at once: a sixteenth of the system calls and
// of the wake-ups of a writer waiting on a full pipe that reads of one page
// would cost.
constexpr std::size_t kReadSize = 64 * 1024;

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
  plan.environment = options.environment;
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

// One run's view of its tool: reads the pipe and shows what is there, and
// follows the tool's end and, once stopped, its process group's.
class CapturedTool {
 public:
  CapturedTool(int outputFd, const HiddenChild& child, OutputSink& output, RunEvents& events)
      : outputFd_(outputFd), child_(child), output_(output), events_(events), buffer_(kReadSize) {
    events_.Tools().Add(child_.pid);
  }
  ~CapturedTool() { events_.Tools().Remove(child_.pid); }
  CapturedTool(const CapturedTool&) = delete;
  CapturedTool& operator=(const CapturedTool&) = delete;

  // The pipe's write end stays open here for the whole run, so the pipe never
  // reports end-of-data: the run ends when the child has ended, never
  // earlier. The child's end is looked at after a read that found output too,
  // not only when the pipe is empty, so a writer that never pauses (a
  // grandchild flooding the pipe it inherited) cannot hold the run once the
  // child has ended. A stopped run also waits for the rest of the tool's
  // process group, which the grace period bounds. The child is reaped only
  // then: until it is, the number of its group is its own, so neither the
  // stop nor the watch over the group can reach another process's.
  RunOutcome ShowOutputUntilEnd() {
    RunOutcome outcome{.started = true};
    bool ended = false;
    while (true) {
      events_.ProcessPendingEvents();
      events_.Tools().KillOverdue();
      const bool hadOutput = ShowWaiting(buffer_.size());
      if (!ended && HasEnded(child_.pid)) {
        ShowWaiting(BytesWaiting(outputFd_));
        ended = true;
      }
      outcome.stopped = events_.Tools().StopRequested(child_.pid);
      if (ended && !(outcome.stopped && ProcessGroupAlive(child_.pid))) break;
      if (!hadOutput) {
        events_.WaitForActivity(outputFd_, ended ? -1 : child_.endFd.Get(), kPollInterval);
      }
    }
    outcome.waitStatus = Reap(child_.pid);
    FinishText();
    if (outcome.stopped) ReportStop(outcome);
    return outcome;
  }

 private:
  // Reads and shows at most `most` bytes of what is waiting now; returns
  // whether there was anything. Reading only what is there keeps a writer
  // that goes on from holding the caller.
  bool ShowWaiting(std::size_t most) {
    bool any = false;
    while (most > 0) {
      const std::size_t asked = std::min(most, buffer_.size());
      const std::size_t size = ReadWaiting(outputFd_, std::span(buffer_).first(asked));
      if (size == 0) break;
      any = true;
      most -= size;
      text_.clear();
      decoder_.Decode(std::string_view(buffer_.data(), size), text_);
      if (!text_.empty()) output_.AppendToolText(text_);
      if (size < asked) break;
    }
    return any;
  }

  void FinishText() {
    text_.clear();
    decoder_.Finish(text_);
    if (!text_.empty()) output_.AppendToolText(text_);
  }

  // A caller that goes on only after a clean exit (signing after a rebuild)
  // must not go on after a stop, however the tool took it.
  void ReportStop(RunOutcome& outcome) const {
    output_.AppendLine(kStoppedByUserLine);
    if (WIFEXITED(outcome.waitStatus) && WEXITSTATUS(outcome.waitStatus) == 0) {
      outcome.waitStatus = SIGTERM;  // the wait status of a process ended by SIGTERM
    }
  }

  int outputFd_;
  const HiddenChild& child_;
  OutputSink& output_;
  RunEvents& events_;
  std::vector<char> buffer_;
  std::string text_;
  ToolTextDecoder decoder_;
};

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
  return CapturedTool(pipe.readEnd.Get(), child, output, events).ShowOutputUntilEnd();
}

}  // namespace velmora
