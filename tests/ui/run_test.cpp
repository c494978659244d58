// Tools run through the window: their output in the output area, the window
// answering clicks meanwhile, nested runs, and closing while a tool runs.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QTimer>
#include <algorithm>
#include <fstream>

#include "exec/helpers/tool_stream.h"
#include "exec/process_runner.h"
#include "form_fixture.h"

namespace velmora::test {
namespace {

const QString kClosesAfterRun =
    QStringLiteral("程序正在运行，窗口将在程序结束后关闭；按Esc键可立即停止运行");

class RunInWindow : public FormTest {
 protected:
  RunInWindow() {
    ShowForm();
    form->ClearOutput();
  }

  // A run as a command button makes it, framed like the pipeline frames it.
  void Run(const std::string& label, const std::string& arguments,
           const std::string& tool = kSignalFile) {
    form->RunCommand([this, label, arguments, tool] {
      form->AppendLine(label + " start");
      RunCaptured(tool, arguments, *form, form->Events());
      form->AppendLine(label + " end");
    });
  }

  std::string Flag(const char* name) const { return work / name; }
  void Raise(const char* name) const { std::ofstream(Flag(name)).put('x'); }

  TempDir work;
};

TEST_F(RunInWindow, shows_the_tools_output_between_the_frame_lines) {
  Raise("go");
  Run("run", "wait " + Flag("go"));
  EXPECT_EQ(MemoText(), QStringLiteral("run start\nwaiting\ndone\nrun end"));
}

TEST_F(RunInWindow, shows_a_line_the_tool_has_not_ended_at_once_and_continues_it) {
  QString shownMeanwhile;
  WhenShown(QStringLiteral("step 1..."), [&] {
    shownMeanwhile = MemoText();
    Raise("go");
  });
  Run("run",
      "-c \"printf 'step 1...'; while [ ! -e '" + Flag("go") +
          "' ]; do sleep 0.01; done; printf ' done'\"",
      "/bin/sh");
  EXPECT_EQ(shownMeanwhile, QStringLiteral("run start\nstep 1..."));
  EXPECT_EQ(MemoText(), QStringLiteral("run start\nstep 1... done\nrun end"));
}

TEST_F(RunInWindow, shows_a_stream_written_in_random_pieces_with_pauses_line_for_line) {
  Run("run", "7", VELMORA_WRITE_STREAM_TOOL);
  QString expected = QStringLiteral("run start");
  for (const std::string& line : MakeToolStream(7).lines) {
    expected += QLatin1Char('\n') + QString::fromStdString(line);
  }
  expected += QStringLiteral("\nrun end");
  const QString shown = MemoText();
  EXPECT_EQ(shown.size(), expected.size());
  const auto difference =
      std::mismatch(shown.begin(), shown.end(), expected.begin(), expected.end()).first;
  EXPECT_TRUE(shown == expected) << "first difference at " << difference - shown.begin();
}

TEST_F(RunInWindow, answers_a_click_while_the_tool_runs) {
  // The tool ends only after the click has been handled.
  AnswerFileDialogsWith([this](QFileDialog&) {
    form->AppendLine("clicked");
    Raise("go");
    return std::optional<QString>(QString::fromStdString(work.path()));
  });
  WhenShown(QStringLiteral("waiting"), [this] { Find<QAbstractButton>("BtnOpenDir").click(); });
  Run("run", "wait " + Flag("go"));
  EXPECT_EQ(MemoText(), QStringLiteral("run start\nwaiting\nclicked\ndone\nrun end"));
  EXPECT_EQ(Find<QLineEdit>("EditSourceFile").text(), QString::fromStdString(work.path()));
}

TEST_F(RunInWindow, runs_a_second_command_started_meanwhile_inside_the_first) {
  WhenShown(QStringLiteral("waiting"), [this] { Run("nested", "create " + Flag("go")); });
  Run("outer", "wait " + Flag("go"));
  EXPECT_EQ(MemoText(), QStringLiteral("outer start\nwaiting\nnested start\ncreated\nnested "
                                       "end\ndone\nouter end"));
}

TEST_F(RunInWindow, shows_an_exception_leaving_a_command_and_carries_on) {
  form->RunCommand([] { throw SettingsWriteError("Unable to write to /p/Velmora.ini"); });
  ASSERT_EQ(boxes.size(), 1U);
  EXPECT_EQ(boxes.front().text, QStringLiteral("Unable to write to /p/Velmora.ini."));
  Raise("go");
  Run("run", "wait " + Flag("go"));
  EXPECT_EQ(MemoText(), QStringLiteral("run start\nwaiting\ndone\nrun end"));
}

// Closing the window ends the program, as it does on a desktop.
class CloseDuringRun : public RunInWindow {
 protected:
  CloseDuringRun() { QApplication::setQuitOnLastWindowClosed(true); }
  ~CloseDuringRun() override { QApplication::setQuitOnLastWindowClosed(false); }

  // Runs the application's event loop as the program does; false when it had
  // to be stopped because the program would not have ended.
  bool ProgramEnds() {
    bool stopped = false;
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [&stopped] {
      stopped = true;
      QApplication::quit();
    });
    watchdog.start(30000);
    QApplication::exec();
    return !stopped;
  }
};

TEST_F(CloseDuringRun, keeps_the_window_until_the_run_has_ended_then_exits) {
  bool shownAfterClose = false;
  QTimer::singleShot(0, form.get(), [this] { Run("run", "wait " + Flag("go")); });
  WhenShown(QStringLiteral("waiting"), [&] {
    form->close();
    shownAfterClose = form->isVisible();
    Raise("go");
  });
  EXPECT_TRUE(ProgramEnds());
  EXPECT_TRUE(shownAfterClose);
  EXPECT_FALSE(form->isVisible());
  EXPECT_EQ(MemoText(), QStringLiteral("run start\nwaiting\n") + kClosesAfterRun +
                            QStringLiteral("\ndone\nrun end"));
}

TEST_F(CloseDuringRun, waits_for_the_outermost_of_nested_runs) {
  bool shownAfterNested = false;
  QTimer::singleShot(0, form.get(), [this] { Run("outer", "wait " + Flag("outer")); });
  QTimer::singleShot(50, form.get(), [&] {
    QTimer::singleShot(50, form.get(), [&] {
      form->close();
      Raise("nested");
    });
    Run("nested", "wait " + Flag("nested"));
    shownAfterNested = form->isVisible();
    Raise("outer");
  });
  EXPECT_TRUE(ProgramEnds());
  EXPECT_TRUE(shownAfterNested);
  EXPECT_FALSE(form->isVisible());
  EXPECT_TRUE(MemoText().endsWith(QStringLiteral("done\nouter end")));
}

TEST_F(CloseDuringRun, without_a_run_closes_at_once) {
  QTimer::singleShot(0, form.get(), [this] { form->close(); });
  EXPECT_TRUE(ProgramEnds());
  EXPECT_FALSE(form->isVisible());
}

}  // namespace
}  // namespace velmora::test
