#include "exec/poll_run_events.h"

#include <gtest/gtest.h>

#include <chrono>

#include "exec/child_process.h"
#include "exec/output_pipe.h"
#include "run_test_support.h"

namespace velmora {
namespace {

using namespace std::chrono_literals;

struct StartedHelper {
  OutputPipe pipe = OpenOutputPipe();
  HiddenChild child;

  explicit StartedHelper(std::vector<std::string> arguments) {
    HiddenChildPlan plan;
    plan.program = arguments.front();
    plan.arguments = std::move(arguments);
    plan.outputFd = pipe.writeEnd.Get();
    child = StartHidden(plan);
  }
  ~StartedHelper() { Reap(child.pid); }
};

TEST(PollForActivity, wakes_when_output_arrives) {
  StartedHelper started({test::Helper("write_bytes"), "x"});
  ASSERT_EQ(started.child.error, 0);
  EXPECT_TRUE(PollForActivity(started.pipe.readEnd.Get(), -1, 1min));
}

TEST(PollForActivity, wakes_when_the_child_ends) {
  StartedHelper started({test::Helper("exit_with"), "0"});
  ASSERT_EQ(started.child.error, 0);
  ASSERT_TRUE(started.child.endFd.IsOpen());
  EXPECT_TRUE(PollForActivity(started.pipe.readEnd.Get(), started.child.endFd.Get(), 1min));
  EXPECT_TRUE(HasEnded(started.child.pid));
}

TEST(PollForActivity, times_out_when_nothing_happens) {
  OutputPipe pipe = OpenOutputPipe();
  EXPECT_FALSE(PollForActivity(pipe.readEnd.Get(), -1, 1ms));
}

}  // namespace
}  // namespace velmora
