#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "config/settings.h"
#include "support/temp_dir.h"
#include "ui/form_main.h"
#include "ui/modal_answers.h"

namespace velmora::test {

// A message box as the window showed it.
struct ShownBox {
  QString caption;
  QString text;
  QMessageBox::Icon icon;
};

// A main window over a program directory of its own. Message boxes are
// recorded instead of shown; file dialogs are cancelled unless a test answers
// them.
class FormTest : public ::testing::Test {
 protected:
  FormTest() {
    AnswerMessageBoxesWith([this](QMessageBox& box) {
      boxes.push_back({box.windowTitle(), box.text(), box.icon()});
    });
    AnswerFileDialogsWith([](QFileDialog&) { return std::optional<QString>(); });
  }
  ~FormTest() override {
    AnswerMessageBoxesWith({});
    AnswerFileDialogsWith({});
  }

  // Writes the settings file of the program directory.
  void WriteSettings(std::string_view contents) { programDir.Write("Velmora.ini", contents); }
  std::string SettingsText() const { return programDir.Read("Velmora.ini"); }

  // Creates the window and shows it, which runs its start-up checks.
  TFormMain& ShowForm() {
    form = std::make_unique<TFormMain>(settings);
    form->show();
    return *form;
  }

  template <typename Widget = QWidget>
  Widget& Find(const char* name) const {
    auto* widget = form->findChild<Widget*>(QString::fromLatin1(name));
    if (widget == nullptr) {
      throw std::runtime_error(std::string("no widget ") + name);
    }
    return *widget;
  }

  void Click(const char* button) const { Find<QAbstractButton>(button).click(); }

  // What the output area shows, lines still waiting for a flush included.
  QString MemoText() const {
    form->Output().Flush();
    return Find<QPlainTextEdit>("MemoResult").toPlainText();
  }

  // Does `action` once the output area shows `text`: a test that acts during
  // a run waits for the tool to be under way, however slowly a loaded machine
  // starts it, instead of guessing a delay.
  void WhenShown(const QString& text, std::function<void()> action) {
    auto* poll = new QTimer(form.get());
    QObject::connect(poll, &QTimer::timeout, form.get(), [this, poll, text, action] {
      if (!MemoText().contains(text)) return;
      poll->stop();
      poll->deleteLater();
      action();
    });
    poll->start(5);
  }

  TempDir programDir;
  Settings settings{programDir.path()};
  std::unique_ptr<TFormMain> form;
  std::vector<ShownBox> boxes;
};

// A tool the window tests steer through files (see helpers/signal_file.cpp).
inline const std::string kSignalFile = VELMORA_UI_TEST_HELPERS "/signal_file";

// The five-line notice the output area holds at start.
inline const QString kNotice = QStringLiteral(
    "\n注意事项：\n\n为避免出现一系列的问题，请尽量保证路径中不要含有中文、空格等字符\n");

}  // namespace velmora::test
