#include "exec/process_runner.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "exec/poll_run_events.h"
#include "helpers/flood_pattern.h"
#include "helpers/tool_stream.h"
#include "run_test_support.h"

namespace velmora {
namespace {

using test::Helper;
using test::RecordingSink;
using test::WatchfulEvents;
using Lines = std::vector<std::string>;

constexpr auto kExecutable = std::filesystem::perms::owner_all;
constexpr auto kNotExecutable =
    std::filesystem::perms::owner_read | std::filesystem::perms::owner_write;

struct WriteCase {
  std::string name;
  std::string written;  // write_bytes' arguments, one write each: \r \n \0 escaped
  Lines expected;
};

// Names the case in failure messages instead of dumping its bytes.
void PrintTo(const WriteCase& c, std::ostream* out) {
  *out << c.name;
}

class LineBreakTest : public testing::TestWithParam<WriteCase> {};

TEST_P(LineBreakTest, shows_the_lines_as_the_tool_broke_them) {
  RecordingSink output;
  WatchfulEvents events;
  RunCaptured(Helper("write_bytes"), GetParam().written, output, events);
  EXPECT_EQ(output.lines, GetParam().expected);
  EXPECT_EQ(events.waitsThatRanOut, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Writes, LineBreakTest,
    testing::Values(
        WriteCase{"no_output_shows_nothing", "", {}},
        WriteCase{"an_unended_last_line_is_ended_with_the_run", "abc", {"abc"}},
        WriteCase{"crlf_ends_a_line", R"(one\r\ntwo\r\n)", {"one", "two"}},
        WriteCase{"lone_carriage_return_breaks_the_line", R"(a\rb\r)", {"a", "b"}},
        WriteCase{"empty_lines_stay", R"(\na\n\n\r\n)", {"", "a", "", ""}},
        WriteCase{"nul_is_dropped_and_what_follows_stays", R"(\0ab\0cd\nef)", {"abcd", "ef"}},
        WriteCase{
            "writes_without_a_break_make_one_line", "pro gress ... done", {"progress...done"}}),
    [](const testing::TestParamInfo<WriteCase>& info) { return info.param.name; });

TEST(RunCaptured, shows_a_stream_written_in_random_pieces_with_pauses_line_for_line) {
  for (const unsigned seed : {1U, 2U, 3U}) {
    RecordingSink output;
    WatchfulEvents events;
    RunCaptured(Helper("write_stream"), std::to_string(seed), output, events);
    EXPECT_EQ(output.lines, test::MakeToolStream(seed).lines) << "seed " << seed;
  }
}

void ExpectWholeFlood(const RecordingSink& output, std::size_t size) {
  EXPECT_EQ(output.text, test::FloodBytes(size) + "\n");
}

TEST(RunCaptured, shows_every_byte_of_a_megabyte_in_order) {
  constexpr std::size_t kMegabyte = 1 << 20;
  for (const char* writeSize : {"1008", "65536"}) {
    SCOPED_TRACE(writeSize);
    RecordingSink output;
    WatchfulEvents events;
    const RunOutcome outcome =
        RunCaptured(Helper("flood"), std::to_string(kMegabyte) + " " + writeSize, output, events);
    EXPECT_TRUE(outcome.started);
    ExpectWholeFlood(output, kMegabyte);
    EXPECT_EQ(events.waitsThatRanOut, 0);
  }
}

TEST(RunCaptured, loses_nothing_with_a_wait_that_returns_early) {
  RecordingSink output;
  test::ImpatientEvents events;
  RunCaptured(Helper("flood"), "300000 4096", output, events);
  ExpectWholeFlood(output, 300000);
}

TEST(RunCaptured, shows_output_written_just_before_the_child_exits) {
  RecordingSink output;
  WatchfulEvents events;
  RunCaptured(Helper("write_bytes"), "first last-words", output, events);
  EXPECT_EQ(output.lines, Lines{"firstlast-words"});
  EXPECT_EQ(events.waitsThatRanOut, 0);
}

TEST(RunCaptured, does_not_show_standard_error) {
  RecordingSink output;
  WatchfulEvents events;
  RunCaptured(Helper("write_bytes"), "-e to-stderr -o to-stdout", output, events);
  EXPECT_EQ(output.Joined(), "to-stdout");
}

TEST(RunCaptured, shows_standard_error_in_the_same_stream_when_asked) {
  RecordingSink output;
  WatchfulEvents events;
  RunCaptured(Helper("write_bytes"), "-e to-stderr -o to-stdout", output, events,
              {.showErrorOutput = true});
  EXPECT_EQ(output.Joined(), "to-stderrto-stdout");
}

TEST(RunCaptured, reports_the_wait_status_without_a_line_for_a_failing_tool) {
  RecordingSink output;
  WatchfulEvents events;
  const RunOutcome outcome = RunCaptured(Helper("exit_with"), "7", output, events);
  EXPECT_TRUE(outcome.started);
  ASSERT_TRUE(WIFEXITED(outcome.waitStatus));
  EXPECT_EQ(WEXITSTATUS(outcome.waitStatus), 7);
  EXPECT_EQ(output.lines, Lines{});
}

TEST(RunCaptured, passes_the_command_as_argv0_and_every_field_of_the_line_as_an_argument) {
  RecordingSink output;
  WatchfulEvents events;
  RunCaptured(Helper("print_args"), R"( -a "b c" \"d\")", output, events);
  EXPECT_EQ(output.lines, Lines{"[" + Helper("print_args") + R"(][-a][b c]["d"])"});
}

TEST(RunCaptured, passes_shell_metacharacters_verbatim) {
  RecordingSink output;
  WatchfulEvents events;
  RunCaptured(Helper("print_args"), R"("my file;$(touch x).apk" `id` * 'q' a|b>c)", output, events);
  EXPECT_EQ(output.lines,
            Lines{"[" + Helper("print_args") + "][my file;$(touch x).apk][`id`][*]['q'][a|b>c]"});
}

TEST(RunCaptured, searches_path_for_the_first_field_when_the_command_is_empty) {
  test::ScopedEnvironment path("PATH", std::string(VELMORA_TEST_HELPERS) + ":/usr/bin:/bin");
  RecordingSink output;
  WatchfulEvents events;
  const RunOutcome outcome = RunCaptured("", R"(print_args "x y" z)", output, events);
  EXPECT_TRUE(outcome.started);
  EXPECT_EQ(output.lines, Lines{"[print_args][x y][z]"});
}

TEST(RunCaptured, reports_a_command_that_is_not_a_regular_file) {
  test::TempDir directory;
  const std::string folder = directory.path();
  for (const std::string& command : {std::string("sh"), folder, directory / "missing"}) {
    RecordingSink output;
    WatchfulEvents events;
    EXPECT_FALSE(RunCaptured(command, "", output, events).started);
    EXPECT_EQ(output.lines, Lines{"File not exists:" + command});
  }
}

TEST(RunCaptured, reports_a_program_that_cannot_be_executed_with_its_errno) {
  test::TempDir directory;
  test::WriteFile(directory / "plain.txt", "echo hi\n", kNotExecutable);
  test::WriteFile(directory / "garbage", "\x01\x02 not a program", kExecutable);
  const struct {
    std::string command;
    std::string line;
    int error;
  } cases[] = {{directory / "plain.txt", "", EACCES},
               {directory / "garbage", "", ENOEXEC},
               {"", "", ENOENT},
               {"", " \t ", ENOENT},
               {"", "velmora-no-such-program --flag", ENOENT}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.command + "|" + c.line);
    RecordingSink output;
    WatchfulEvents events;
    EXPECT_FALSE(RunCaptured(c.command, c.line, output, events).started);
    EXPECT_EQ(output.lines, Lines{"CreateProcess error:" + std::to_string(c.error)});
  }
  EXPECT_TRUE(test::HasNoChildren());
}

TEST(RunCaptured, reports_a_pipe_that_cannot_be_created_with_its_errno) {
#ifdef VELMORA_SANITIZED
  GTEST_SKIP() << "the sanitizers' own checks need new descriptors too";
#endif
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
  rlimit noNewDescriptors = saved;
  noNewDescriptors.rlim_cur = 3;
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &noNewDescriptors), 0);
  RecordingSink output;
  WatchfulEvents events;
  const RunOutcome outcome = RunCaptured(Helper("exit_with"), "0", output, events);
  ::setrlimit(RLIMIT_NOFILE, &saved);
  EXPECT_FALSE(outcome.started);
  EXPECT_EQ(output.lines, Lines{"CreatePipe error:" + std::to_string(EMFILE)});
}

TEST(RunCaptured, gives_the_child_only_null_input_the_pipe_null_error_and_a_session_of_its_own) {
  // Opened without close-on-exec, as a careless library might.
  const int stray = ::open("/dev/null", O_RDONLY);
  ASSERT_GE(stray, 0);
  RecordingSink output;
  WatchfulEvents events;
  RunCaptured(Helper("fd_report"), "", output, events);
  ::close(stray);
  EXPECT_EQ(output.lines, Lines{"fds:0,1,2 stdin:/dev/null stderr:/dev/null own-session:yes"});
}

TEST(RunCaptured, ends_when_the_child_ends_though_a_quiet_grandchild_holds_the_pipe) {
  RecordingSink output;
  WatchfulEvents events;
  const RunOutcome outcome = RunCaptured(Helper("leave_grandchild"), "quiet", output, events);
  EXPECT_TRUE(outcome.started);
  EXPECT_EQ(output.Joined(), "child done");
  EXPECT_EQ(events.waitsThatRanOut, 0);
}

// Stands for a window whose appends take time, so a writer that never pauses
// keeps the pipe from ever being found empty.
class SlowSink : public RecordingSink {
 public:
  void AppendLine(std::string_view line) override {
    RecordingSink::AppendLine(line);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
};

TEST(RunCaptured, ends_when_the_child_ends_though_a_grandchild_floods_the_pipe) {
  SlowSink output;
  WatchfulEvents events;
  RunCaptured(Helper("leave_grandchild"), "flood", output, events);
  EXPECT_NE(output.Joined().find("child done"), std::string::npos);
}

TEST(RunCaptured, ends_when_the_child_is_reaped_by_someone_else) {
  // With SIGCHLD ignored the kernel reaps children itself, so the run never
  // sees an ended child of its own.
  struct sigaction ignore {};
  struct sigaction saved {};
  ignore.sa_handler = SIG_IGN;
  ASSERT_EQ(::sigaction(SIGCHLD, &ignore, &saved), 0);
  RecordingSink output;
  WatchfulEvents events;
  const RunOutcome outcome = RunCaptured(Helper("write_bytes"), "out", output, events);
  ::sigaction(SIGCHLD, &saved, nullptr);
  EXPECT_TRUE(outcome.started);
  EXPECT_EQ(output.Joined(), "out");
}

// Starts a second run from inside the first run's event processing, as a
// button pressed during a run does.
class NestingEvents : public WatchfulEvents {
 public:
  explicit NestingEvents(OutputSink& output) : output_(output) {}
  void ProcessPendingEvents() override {
    WatchfulEvents::ProcessPendingEvents();
    if (!nested_) {
      nested_ = true;
      RunCaptured(Helper("print_args"), "nested", output_, *this);
    }
  }

 private:
  OutputSink& output_;
  bool nested_ = false;
};

TEST(RunCaptured, runs_a_nested_run_to_its_end_inside_the_outer_one) {
  constexpr std::size_t kMoreThanAPipe = 300000;
  RecordingSink output;
  NestingEvents events(output);
  const RunOutcome outcome =
      RunCaptured(Helper("flood"), std::to_string(kMoreThanAPipe) + " 4096", output, events);
  EXPECT_TRUE(outcome.started);
  EXPECT_EQ(output.text,
            "[" + Helper("print_args") + "][nested]\n" + test::FloodBytes(kMoreThanAPipe) + "\n");
}

// Stops the run once its tool has written something, as a user would.
class StoppingEvents : public WatchfulEvents {
 public:
  explicit StoppingEvents(const RecordingSink& output) : output_(output) {}
  void ProcessPendingEvents() override {
    if (!output_.text.empty() && !asked_) asked_ = Tools().StopInnermost();
  }

 private:
  const RecordingSink& output_;
  bool asked_ = false;
};

TEST(RunCaptured, a_tool_that_ends_cleanly_when_stopped_is_reported_as_ended_by_the_stop) {
  RecordingSink output;
  StoppingEvents events(output);
  const RunOutcome outcome = RunCaptured(
      "/bin/sh", R"(-c "trap 'exit 0' TERM; echo started; while :; do sleep 0.05; done")", output,
      events);
  EXPECT_TRUE(outcome.stopped);
  ASSERT_TRUE(WIFSIGNALED(outcome.waitStatus));
  EXPECT_EQ(WTERMSIG(outcome.waitStatus), SIGTERM);
  EXPECT_EQ(output.lines, (Lines{"started", std::string(kStoppedByUserLine)}));
  EXPECT_TRUE(events.Tools().Empty());
}

std::size_t CountOpenDescriptors() {
  return static_cast<std::size_t>(std::distance(
      std::filesystem::directory_iterator("/proc/self/fd"), std::filesystem::directory_iterator()));
}

TEST(RunCaptured, leaves_no_zombie_and_no_descriptor_after_500_runs) {
  test::TempDir directory;
  test::WriteFile(directory / "plain.txt", "", kNotExecutable);
  PollRunEvents events;
  // The first run starts the watch over the tools' process groups, whose
  // socket stays open for as long as the process lives.
  RecordingSink first;
  RunCaptured(Helper("write_bytes"), "x", first, events);
  const std::size_t before = CountOpenDescriptors();
  for (int run = 0; run < 500; ++run) {
    RecordingSink output;
    const bool fails = run % 10 == 9;
    RunCaptured(fails ? directory / "plain.txt" : Helper("write_bytes"), "x", output, events);
    ASSERT_EQ(output.lines, Lines{fails ? "CreateProcess error:13" : "x"});
  }
  EXPECT_EQ(CountOpenDescriptors(), before);
  EXPECT_TRUE(test::HasNoChildren());
}

}  // namespace
}  // namespace velmora
