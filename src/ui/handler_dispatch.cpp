#include "ui/handler_dispatch.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <exception>

#include "ui/modal_answers.h"

namespace velmora {

QString WithFullStop(const QString& message) {
  if (!message.isEmpty() && message.back() > QLatin1Char('.')) {
    return message + QLatin1Char('.');
  }
  return message;
}

void ShowErrorMessage(QWidget* parent, const QString& message) {
  QMessageBox box(QMessageBox::Critical, QCoreApplication::applicationName(), WithFullStop(message),
                  QMessageBox::Ok, parent);
  ShowMessageBox(box);
}

void DispatchHandler(QWidget* window, const std::function<void()>& handler) noexcept {
  // Qt must never see an exception unwind through its event dispatching.
  try {
    handler();
  } catch (const std::exception& error) {
    ShowErrorMessage(window, QString::fromUtf8(error.what()));
  } catch (...) {
    ShowErrorMessage(window, QString());
  }
}

}  // namespace velmora
