#pragma once

#include <QString>
#include <optional>

#include "exec/destination.h"

class QFileDialog;
class QWidget;

namespace velmora {

// OpenDialog: titled "选择文件", filtering apk, dex, jar and odex files or
// every file, choosing one existing file.
void ConfigureOpenDialog(QFileDialog& dialog);

// SaveDialog as created: titled "选择目录", without a filter until a run sets
// one, asking before it lets a file be overwritten.
void ConfigureSaveDialog(QFileDialog& dialog);

// Sets the save dialog's title, filters and default extension for one run. A
// folder-mode prompt's first filter matches no file, so only folders show and
// the confirmed name is the directory to be produced.
void ApplySavePrompt(QFileDialog& dialog, const SavePrompt& prompt);

// Shows `dialog` in `initialDirectory` (the working directory when it is
// empty) with `proposedName` in its name field. On confirmation the chosen
// path is returned and its directory becomes `initialDirectory`; on cancel
// nothing is returned and nothing changes.
std::optional<QString> AskRemembering(QFileDialog& dialog, QString& initialDirectory,
                                      const QString& proposedName = {});

// The folder browser: titled "选择目录", opening on the desktop with nothing
// preselected (in the home folder where there is no desktop folder), showing
// folders only. The chosen folder, or nothing.
std::optional<QString> BrowseForFolder(QWidget* parent);

}  // namespace velmora
