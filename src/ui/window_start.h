#pragma once

#include <QDir>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

#include "config/settings.h"
#include "ui/form_main.h"

namespace velmora {

// The path `velmora FILE_OR_FOLDER` opens the window with: the first of
// `arguments` (those after the program name) that names an existing file or
// folder, a relative one taken from `workingDirectory`, as an absolute path
// the way a drop of it would give it. Nothing when none does; other
// arguments are ignored.
std::optional<QString> PathToOpen(const QStringList& arguments, const QDir& workingDirectory);

// Creates the main window over `settings` and shows it, with the path the
// program's `arguments` name (QApplication::arguments(): the program's name
// first, Qt's own options already taken out) in its path field. `settings`
// must outlive the window.
std::unique_ptr<TFormMain> ShowMainWindow(const Settings& settings, const QStringList& arguments);

}  // namespace velmora
