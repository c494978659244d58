#include "ui/window_start.h"

#include <QFileInfo>
#include <algorithm>

namespace velmora {

std::optional<QString> PathToOpen(const QStringList& arguments, const QDir& workingDirectory) {
  const auto existing = std::find_if(arguments.begin(), arguments.end(), [&](const QString& path) {
    return !path.isEmpty() && QFileInfo::exists(workingDirectory.absoluteFilePath(path));
  });
  if (existing == arguments.end()) {
    return std::nullopt;
  }
  return QDir::cleanPath(workingDirectory.absoluteFilePath(*existing));
}

std::unique_ptr<TFormMain> ShowMainWindow(const Settings& settings, const QStringList& arguments) {
  auto form = std::make_unique<TFormMain>(settings);
  if (const std::optional<QString> path = PathToOpen(arguments.mid(1), QDir::current())) {
    form->OpenPath(*path);
  }
  form->show();
  return form;
}

}  // namespace velmora
