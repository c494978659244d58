#include <QApplication>
#include <QString>
#include <exception>

#include "config/settings.h"
#include "ui/handler_dispatch.h"
#include "ui/window_start.h"

// QApplication takes Qt's own arguments; a file or folder named by another
// starts the window with it in the path field.
int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Velmora"));
  try {
    const velmora::Settings settings(velmora::Settings::DirectoryOfRunningExecutable());
    const auto form = velmora::ShowMainWindow(settings, QApplication::arguments());
    QApplication::exec();
  } catch (const std::exception& error) {
    velmora::ShowErrorMessage(nullptr, QString::fromUtf8(error.what()));
  } catch (...) {
    velmora::ShowErrorMessage(nullptr, QString());
  }
  return 0;
}
