// Stopping a tool from the window: Esc or the output area's "停止运行" ends
// the tool and whatever it started, innermost run first, and the output tells
// so before the end banner.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTest>
#include <chrono>

#include "exec/running_tools.h"
#include "form_fixture.h"
#include "support/child_program.h"
#include "support/stubborn_tool.h"

namespace velmora::test {
namespace {

using Clock = std::chrono::steady_clock;

// Both ways a user stops a run.
enum class StopBy { kEscapeKey, kContextMenu };

class StopInWindow : public FormTest, public ::testing::WithParamInterface<StopBy> {
 protected:
  StopInWindow() {
    WriteSettings(
        "[UserDefine1]\nEnabled=true\nComments=stubborn\nSourceFileType=none\n"
        "DestFileType=none\nShowExitCode=true\nCommand=" VELMORA_STUBBORN_TOOL "\nCommandLine=\"" +
        pids +
        "\"\n[UserDefine2]\nEnabled=true\nComments=outer\nSourceFileType=none\n"
        "DestFileType=none\nCommand=" +
        kSignalFile + "\nCommandLine=wait \"" + work / "never" + "\"\n");
    ShowForm();
    form->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(form.get()));
  }

  void Stop(StopBy how) {
    stopped = Clock::now();
    if (how == StopBy::kEscapeKey) {
      // The path field, a text field, is where Esc is likeliest to be taken.
      auto& field = Find<QLineEdit>("EditSourceFile");
      field.setFocus();
      QTest::keyClick(&field, Qt::Key_Escape);
      return;
    }
    auto& memo = Find<QPlainTextEdit>("MemoResult");
    const QPoint where(20, 20);
    QContextMenuEvent event(QContextMenuEvent::Mouse, where, memo.viewport()->mapToGlobal(where));
    QApplication::sendEvent(memo.viewport(), &event);
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    auto* stop = menu->findChild<QAction*>(QStringLiteral("MenuStopRun"));
    ASSERT_NE(stop, nullptr);
    ASSERT_TRUE(stop->isEnabled());
    stop->trigger();
    menu->close();
  }

  TempDir work;
  std::string pids = work / "pids";
  Clock::time_point stopped;
};

TEST_P(StopInWindow, ends_the_tool_and_its_grandchild_and_says_so_before_the_end_banner) {
  const QString before = MemoText();
  QTest::keyClick(form.get(), Qt::Key_Escape);
  EXPECT_TRUE(form->isVisible()) << "Esc without a run closed the window";
  EXPECT_EQ(MemoText(), before);

  WhenShown(QStringLiteral("started"), [this] { Stop(GetParam()); });
  Click("BtnUserDefine1");

  EXPECT_LT(Clock::now() - stopped, kStopGracePeriod + std::chrono::seconds(1));
  for (const pid_t pid : StubbornPids(pids)) EXPECT_TRUE(HasEnded(pid)) << pid;
  siginfo_t info{};
  EXPECT_NE(::waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT), 0) << "a zombie is left";
  EXPECT_TRUE(MemoText().contains(
      QStringLiteral("tick\n程序已被用户停止运行\n程序被信号终止，信号：9\n------stubborn "
                     "结束------用时：")))
      << MemoText().right(300).toStdString();
}

INSTANTIATE_TEST_SUITE_P(Ways, StopInWindow,
                         ::testing::Values(StopBy::kEscapeKey, StopBy::kContextMenu),
                         [](const auto& info) {
                           return info.param == StopBy::kEscapeKey ? "escape_key" : "context_menu";
                         });

TEST_F(StopInWindow, escape_stops_the_innermost_run_first_then_the_next_one_out) {
  WhenShown(QStringLiteral("waiting"), [this] {
    WhenShown(QStringLiteral("started"), [this] {
      QTest::keyClick(form.get(), Qt::Key_Escape);
      QTest::keyClick(form.get(), Qt::Key_Escape);
    });
    Click("BtnUserDefine1");
  });
  Click("BtnUserDefine2");
  const QString shown = MemoText();
  const qsizetype innerEnd = shown.indexOf(QStringLiteral("------stubborn 结束"));
  ASSERT_GE(innerEnd, 0) << shown.toStdString();
  EXPECT_TRUE(shown.left(innerEnd).endsWith(
      QStringLiteral("程序已被用户停止运行\n程序被信号终止，信号：9\n")));
  EXPECT_TRUE(shown.contains(QStringLiteral("秒------\n程序已被用户停止运行\n------outer 结束")))
      << shown.toStdString();
}

// However the window's process ends, its tool ends with it.
TEST(WindowProcess, killed_with_sigkill_takes_its_tool_and_what_the_tool_started_along) {
  TempDir programDir;
  const std::string pids = programDir / "pids";
  programDir.Write("Velmora.ini",
                   "[UserDefine1]\nEnabled=true\nSourceFileType=none\nDestFileType=none\n"
                   "Command=" VELMORA_STUBBORN_TOOL "\nCommandLine=\"" +
                       pids + "\"\n");
  ChildProgram window(
      {VELMORA_UI_TEST_HELPERS "/window_process", programDir.path(), "BtnUserDefine1"},
      {{"QT_QPA_PLATFORM", "offscreen"}});
  const std::vector<pid_t> started = StubbornPidsOnceStarted(pids, std::chrono::seconds(30));
  ASSERT_EQ(started.size(), 2U) << "the tool did not start";

  ::kill(window.Pid(), SIGKILL);
  window.Wait();

  EXPECT_TRUE(AllEndWithin(started, std::chrono::seconds(20)));
}

}  // namespace
}  // namespace velmora::test
