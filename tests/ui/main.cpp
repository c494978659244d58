// Window tests need a QApplication for their whole run, and never a display:
// CTest pins the offscreen platform, and so does this main when the build
// lists the tests.
#include <gtest/gtest.h>

#include <QApplication>

#include "ui/qt_translations.h"

int main(int argc, char* argv[]) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QApplication application(argc, argv);
  // Error boxes carry the application's name; the program sets this one.
  QApplication::setApplicationName(QStringLiteral("Velmora"));
  // Qt's own dialogs speak Chinese in the program; so they do here.
  velmora::UseChineseQtTexts(application);
  // A test closes windows; that must not end the application for the next.
  QApplication::setQuitOnLastWindowClosed(false);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
