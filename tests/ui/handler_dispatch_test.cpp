// Exceptions leaving a handler become error boxes: the text with its full
// stop, the icon, the caption, and the rest of the handler skipped.

#include "ui/handler_dispatch.h"

#include <gtest/gtest.h>

#include <QMessageBox>
#include <ostream>
#include <stdexcept>

#include "ui/modal_answers.h"

namespace velmora {
namespace {

struct FullStopCase {
  const char* name;
  const char* message;
  const char* shown;
};

void PrintTo(const FullStopCase& stop, std::ostream* out) {
  *out << stop.name;
}

class FullStop : public ::testing::TestWithParam<FullStopCase> {};

TEST_P(FullStop, is_added_after_a_character_that_sorts_after_the_dot) {
  EXPECT_EQ(WithFullStop(QString::fromUtf8(GetParam().message)),
            QString::fromUtf8(GetParam().shown));
}

const FullStopCase kFullStops[] = {
    {"letter", "Unable to write to /p/Velmora.ini", "Unable to write to /p/Velmora.ini."},
    {"quote", "'abc' is not a valid integer value'", "'abc' is not a valid integer value'"},
    {"digit", "error 2", "error 2."},
    {"slash", "path/", "path/."},
    {"dot", "done.", "done."},
    {"hyphen", "a-", "a-"},
    {"exclamation", "stop!", "stop!"},
    {"closing_parenthesis", "(x)", "(x)"},
    {"chinese", "路径不存在", "路径不存在."},
    {"empty", "", ""},
};

INSTANTIATE_TEST_SUITE_P(Messages, FullStop, ::testing::ValuesIn(kFullStops),
                         [](const auto& info) { return std::string(info.param.name); });

class Dispatch : public ::testing::Test {
 protected:
  Dispatch() {
    AnswerMessageBoxesWith([this](QMessageBox& box) {
      ++shown;
      caption = box.windowTitle();
      text = box.text();
      icon = box.icon();
    });
  }
  ~Dispatch() override { AnswerMessageBoxesWith({}); }

  int shown = 0;
  QString caption;
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
};

TEST_F(Dispatch, runs_a_handler_that_succeeds_without_a_box) {
  bool ran = false;
  DispatchHandler(nullptr, [&] { ran = true; });
  EXPECT_TRUE(ran);
  EXPECT_EQ(shown, 0);
}

TEST_F(Dispatch, shows_an_escaping_exception_as_an_error_box_and_skips_the_rest) {
  bool rest = false;
  DispatchHandler(nullptr, [&] {
    throw std::runtime_error("Unable to write to /p/Velmora.ini");
    rest = true;
  });
  EXPECT_FALSE(rest);
  EXPECT_EQ(shown, 1);
  EXPECT_EQ(text, QStringLiteral("Unable to write to /p/Velmora.ini."));
  EXPECT_EQ(caption, QStringLiteral("Velmora"));
  EXPECT_EQ(icon, QMessageBox::Critical);
}

TEST_F(Dispatch, shows_an_unknown_exception_as_an_empty_box) {
  DispatchHandler(nullptr, [] { throw 7; });
  EXPECT_EQ(shown, 1);
  EXPECT_EQ(text, QString());
}

TEST_F(Dispatch, shows_utf8_messages_as_they_are) {
  DispatchHandler(nullptr, [] { throw std::runtime_error("无法写入 /p/设置.ini"); });
  EXPECT_EQ(text, QStringLiteral("无法写入 /p/设置.ini."));
}

}  // namespace
}  // namespace velmora
