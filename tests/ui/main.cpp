// Window tests need a QApplication for their whole run; CTest pins the
// offscreen platform, so no display is needed.
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  // Error boxes carry the application's name; the program sets this one.
  QApplication::setApplicationName(QStringLiteral("Velmora"));
  // A test closes windows; that must not end the application for the next.
  QApplication::setQuitOnLastWindowClosed(false);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
