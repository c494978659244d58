#include <QApplication>
#include <QString>
#include <exception>

#include "config/settings.h"
#include "ui/form_main.h"
#include "ui/handler_dispatch.h"

// The program takes no arguments of its own; QApplication takes Qt's.
int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Velmora"));
  try {
    const velmora::Settings settings(velmora::Settings::DirectoryOfRunningExecutable());
    velmora::TFormMain form(settings);
    form.show();
    QApplication::exec();
  } catch (const std::exception& error) {
    velmora::ShowErrorMessage(nullptr, QString::fromUtf8(error.what()));
  } catch (...) {
    velmora::ShowErrorMessage(nullptr, QString());
  }
  return 0;
}
