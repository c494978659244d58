// The output area shows exactly the lines appended, gathers those arriving
// together into one insertion, and follows the end.

#include "ui/output_area.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <string>
#include <vector>

namespace velmora {
namespace {

class OutputAreaTest : public ::testing::Test {
 protected:
  OutputAreaTest() {
    memo.setReadOnly(true);
    memo.resize(400, 200);
    memo.show();
  }

  QString Shown() {
    output.Flush();
    return memo.toPlainText();
  }

  QPlainTextEdit memo;
  OutputArea output{memo};
};

TEST_F(OutputAreaTest, shows_each_appended_line_on_a_line_of_its_own) {
  output.AppendLine("first");
  output.AppendLine("");
  output.AppendLine("third");
  EXPECT_EQ(Shown(), QStringLiteral("first\n\nthird"));
  EXPECT_EQ(memo.blockCount(), 3);
}

TEST_F(OutputAreaTest, keeps_an_empty_first_line) {
  output.AppendLine("");
  output.AppendLine("second");
  EXPECT_EQ(Shown(), QStringLiteral("\nsecond"));
}

TEST_F(OutputAreaTest, shows_line_breaks_inside_a_line_as_further_lines) {
  output.AppendLine("one\r\ntwo\nthree\rfour");
  output.AppendLine("five");
  EXPECT_EQ(Shown(), QStringLiteral("one\ntwo\nthree\nfour\nfive"));
  memo.repaint();
  const QTextLayout& first = *memo.document()->firstBlock().layout();
  ASSERT_EQ(first.lineCount(), 4);
  EXPECT_EQ(first.lineAt(1).textStart(), 4);
  EXPECT_EQ(first.lineAt(1).textLength(), 4);
}

TEST_F(OutputAreaTest, continues_after_the_text_it_started_with) {
  memo.setPlainText(QStringLiteral("\nnotice\n"));
  OutputArea withNotice(memo);
  withNotice.AppendLine("message");
  withNotice.Flush();
  EXPECT_EQ(memo.toPlainText(), QStringLiteral("\nnotice\n\nmessage"));
}

TEST_F(OutputAreaTest, clear_empties_the_area_and_drops_lines_not_yet_shown) {
  output.AppendLine("shown");
  output.Flush();
  output.AppendLine("waiting");
  output.Clear();
  EXPECT_EQ(Shown(), QString());
  output.AppendLine("after");
  EXPECT_EQ(Shown(), QStringLiteral("after"));
}

TEST_F(OutputAreaTest, shows_appended_lines_by_itself_soon_after) {
  output.AppendLine("later");
  EXPECT_EQ(memo.toPlainText(), QString());
  const QDeadlineTimer deadline(5000);
  while (memo.toPlainText().isEmpty() && !deadline.hasExpired()) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  }
  EXPECT_EQ(memo.toPlainText(), QStringLiteral("later"));
}

TEST_F(OutputAreaTest, inserts_lines_appended_between_two_flushes_in_one_edit) {
  int edits = 0;
  QObject::connect(memo.document(), &QTextDocument::contentsChange, &memo,
                   [&edits](int, int, int) { ++edits; });
  for (int line = 0; line < 500; ++line) {
    output.AppendLine("a line of tool output");
    QCoreApplication::processEvents();
  }
  output.Flush();
  EXPECT_LE(edits, 2);
  EXPECT_EQ(memo.blockCount(), 500);
}

TEST_F(OutputAreaTest, keeps_the_view_at_the_end) {
  for (int line = 0; line < 1000; ++line) {
    output.AppendLine("line " + std::to_string(line));
  }
  output.Flush();
  QCoreApplication::processEvents();
  const QScrollBar& bar = *memo.verticalScrollBar();
  EXPECT_GT(bar.maximum(), 0);
  EXPECT_EQ(bar.value(), bar.maximum());
  output.AppendLine("one more");
  output.Flush();
  EXPECT_EQ(bar.value(), bar.maximum());
}

// What a tool wrote ("tool:" text) and the program's own lines ("line:"),
// appended in turn, and the text the area then shows.
struct AppendCase {
  const char* name;
  std::vector<std::string> appends;
  QString shown;
};

class ToolTextInArea : public OutputAreaTest, public ::testing::WithParamInterface<AppendCase> {};

TEST_P(ToolTextInArea, continues_the_tools_line_and_starts_own_lines_on_their_own) {
  for (const std::string& append : GetParam().appends) {
    if (append.starts_with("tool:")) {
      output.AppendToolText(std::string_view(append).substr(5));
    } else {
      output.AppendLine(std::string_view(append).substr(5));
    }
  }
  EXPECT_EQ(Shown(), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Appends, ToolTextInArea,
    ::testing::Values(AppendCase{"text_continues_an_unended_line",
                                 {"tool:step 1", "tool:...", "tool: done\n", "line:end"},
                                 QStringLiteral("step 1... done\nend")},
                      AppendCase{"own_line_ends_an_unended_tool_line",
                                 {"line:start", "tool:50%", "line:stopped"},
                                 QStringLiteral("start\n50%\nstopped")},
                      AppendCase{"empty_tool_lines_stay",
                                 {"line:start", "tool:a\n\n", "tool:\n", "line:end"},
                                 QStringLiteral("start\na\n\n\nend")},
                      AppendCase{
                          "lines_longer_than_a_block_stay_whole",
                          {"tool:" + std::string(5000, 'x') + "\ny\n" + std::string(5000, 'z')},
                          QString(5000, QLatin1Char('x')) + QStringLiteral("\ny\n") +
                              QString(5000, QLatin1Char('z'))}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(OutputAreaTest, keeps_the_tab_key) {
  QWidget window;
  QPlainTextEdit area(&window);
  area.setReadOnly(true);
  const OutputArea kept(area);
  QPlainTextEdit next(&window);
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  area.setFocus();
  QTest::keyClick(&area, Qt::Key_Tab);
  EXPECT_TRUE(area.hasFocus());
}

TEST_F(OutputAreaTest, shows_invalid_utf8_as_replacement_characters) {
  output.AppendLine("bad \xff byte");
  EXPECT_EQ(Shown(), QStringLiteral("bad \uFFFD byte"));
}

}  // namespace
}  // namespace velmora
