// window_process PROGRAM_DIR BUTTON: the main window over the Velmora.ini of
// PROGRAM_DIR in a process of its own, with BUTTON clicked once it is shown,
// for tests that do to the window's process what a system may do to it
// (kill -9).
#include <QAbstractButton>
#include <QApplication>
#include <QTimer>

#include "config/settings.h"
#include "ui/form_main.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  if (argc != 3) {
    return 2;
  }
  const velmora::Settings settings(argv[1]);
  velmora::TFormMain form(settings);
  form.show();
  const QString button = QString::fromLocal8Bit(argv[2]);
  QTimer::singleShot(0, &form, [&form, &button] {
    if (auto* pressed = form.findChild<QAbstractButton*>(button)) {
      pressed->click();
    }
  });
  return QApplication::exec();
}
