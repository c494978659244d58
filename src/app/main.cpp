#include <QApplication>
#include <QString>
#include <exception>
#include <memory>

#include "config/settings.h"
#include "exec/stop_signals.h"
#include "ui/form_main.h"
#include "ui/handler_dispatch.h"
#include "ui/qt_run_events.h"
#include "ui/qt_translations.h"
#include "ui/window_start.h"

namespace {

// SIGTERM, SIGINT or SIGHUP ends the program as closing the window does, but
// stops its tools first: none outlives the window.
std::unique_ptr<QSocketNotifier> CloseOnStopSignal(velmora::TFormMain& form) {
  const int caught = velmora::CatchStopSignals();
  if (caught < 0) {
    return nullptr;
  }
  return velmora::CallOnceReadable(caught, form, [&form] { form.StopRunsAndClose(); });
}

}  // namespace

// QApplication takes Qt's own arguments; a file or folder named by another
// starts the window with it in the path field.
int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Velmora"));
  velmora::UseChineseQtTexts(application);
  try {
    const velmora::Settings settings(velmora::Settings::DirectoryOfRunningExecutable());
    const auto form = velmora::ShowMainWindow(settings, QApplication::arguments());
    const auto stopSignals = CloseOnStopSignal(*form);
    QApplication::exec();
  } catch (const std::exception& error) {
    velmora::ShowErrorMessage(nullptr, QString::fromUtf8(error.what()));
  } catch (...) {
    velmora::ShowErrorMessage(nullptr, QString());
  }
  return 0;
}
