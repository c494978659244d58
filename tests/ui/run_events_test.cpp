// Waiting for a tool inside the window's event loop: the wait ends when the
// pipe or the child's descriptor is readable or the time is up, and the
// window's events go on meanwhile.

#include "ui/qt_run_events.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <array>
#include <chrono>

namespace velmora {
namespace {

using std::chrono::milliseconds;

// Generous: these tell waking from timing out, not measure speed.
constexpr milliseconds kLongTimeout{10000};

class Pipe {
 public:
  Pipe() {
    if (::pipe2(ends_.data(), O_CLOEXEC) != 0) {
      throw std::runtime_error("pipe2 failed");
    }
  }
  ~Pipe() {
    ::close(ends_[0]);
    ::close(ends_[1]);
  }
  int ReadEnd() const { return ends_[0]; }
  void WriteByte() const { EXPECT_EQ(::write(ends_[1], "x", 1), 1); }

 private:
  std::array<int, 2> ends_{};
};

TEST(QtRunEvents, wait_ends_when_the_output_pipe_becomes_readable) {
  Pipe output;
  QtRunEvents events;
  QTimer::singleShot(20, [&output] { output.WriteByte(); });
  QElapsedTimer clock;
  clock.start();
  events.WaitForActivity(output.ReadEnd(), -1, kLongTimeout);
  EXPECT_LT(clock.elapsed(), kLongTimeout.count() / 2);
}

TEST(QtRunEvents, wait_ends_when_the_child_descriptor_becomes_readable) {
  Pipe output;
  Pipe child;
  QtRunEvents events;
  QTimer::singleShot(20, [&child] { child.WriteByte(); });
  QElapsedTimer clock;
  clock.start();
  events.WaitForActivity(output.ReadEnd(), child.ReadEnd(), kLongTimeout);
  EXPECT_LT(clock.elapsed(), kLongTimeout.count() / 2);
}

TEST(QtRunEvents, wait_ends_after_the_timeout_without_activity) {
  Pipe output;
  QtRunEvents events;
  QElapsedTimer clock;
  clock.start();
  events.WaitForActivity(output.ReadEnd(), -1, milliseconds(100));
  EXPECT_GE(clock.elapsed(), 100);
}

TEST(QtRunEvents, window_events_are_handled_while_waiting) {
  Pipe output;
  QtRunEvents events;
  int ticks = 0;
  QTimer ticker;
  QObject::connect(&ticker, &QTimer::timeout, [&ticks] { ++ticks; });
  ticker.start(5);
  events.WaitForActivity(output.ReadEnd(), -1, milliseconds(200));
  EXPECT_GT(ticks, 3);
}

TEST(QtRunEvents, pending_events_are_handled_on_request) {
  QtRunEvents events;
  bool handled = false;
  QTimer::singleShot(0, [&handled] { handled = true; });
  events.ProcessPendingEvents();
  EXPECT_TRUE(handled);
}

milliseconds ProcessorTime() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  const auto total = std::chrono::seconds(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                     std::chrono::microseconds(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
  return std::chrono::duration_cast<milliseconds>(total);
}

TEST(QtRunEvents, outer_wait_woken_during_a_nested_one_neither_cuts_it_short_nor_spins) {
  Pipe outer;
  Pipe inner;
  QtRunEvents events;
  QElapsedTimer clock;
  milliseconds innerWall{0};
  milliseconds innerProcessor{0};
  // The outer pipe turns readable, and stays so, while the nested wait
  // sleeps; the nested wait still ends by its own pipe, the outer right after.
  QTimer::singleShot(10, [&] {
    outer.WriteByte();
    QTimer::singleShot(300, [&inner] { inner.WriteByte(); });
    const milliseconds processorBefore = ProcessorTime();
    QElapsedTimer nested;
    nested.start();
    events.WaitForActivity(inner.ReadEnd(), -1, kLongTimeout);
    innerWall = milliseconds(nested.elapsed());
    innerProcessor = ProcessorTime() - processorBefore;
  });
  clock.start();
  events.WaitForActivity(outer.ReadEnd(), -1, kLongTimeout);
  EXPECT_GE(innerWall.count(), 300);
  EXPECT_LT(innerProcessor, innerWall / 2) << "the nested wait spun";
  EXPECT_LT(clock.elapsed(), kLongTimeout.count() / 2);
}

TEST(QtRunEvents, wait_still_sleeps_once_the_application_is_quitting) {
  Pipe output;
  QtRunEvents events;
  QCoreApplication::exit(0);
  QElapsedTimer clock;
  clock.start();
  events.WaitForActivity(output.ReadEnd(), -1, milliseconds(100));
  EXPECT_GE(clock.elapsed(), 100);
  output.WriteByte();
  clock.restart();
  events.WaitForActivity(output.ReadEnd(), -1, kLongTimeout);
  EXPECT_LT(clock.elapsed(), kLongTimeout.count() / 2);
  // Running the application's loop once clears the quitting state again.
  QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
  QCoreApplication::exec();
}

}  // namespace
}  // namespace velmora
