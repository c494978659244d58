#pragma once

#include <QString>
#include <functional>
#include <optional>

class QFileDialog;
class QMessageBox;

namespace velmora {

// Every modal dialog of the window is shown through here, so that a test can
// answer it in place of a person instead of leaving it to block. Without an
// answerer the dialog is shown to the user.

// Given the dialog as configured, returns the chosen path, or nothing to cancel.
using FileDialogAnswerer = std::function<std::optional<QString>(QFileDialog&)>;
// Given the box as configured; it is then taken as closed.
using MessageBoxAnswerer = std::function<void(QMessageBox&)>;

// Answers every following file dialog with `answerer`; an empty one restores
// the real dialog.
void AnswerFileDialogsWith(FileDialogAnswerer answerer);
// Answers every following message box with `answerer`; an empty one restores
// the real box.
void AnswerMessageBoxesWith(MessageBoxAnswerer answerer);

// Shows `dialog` modally; the first selected path, or nothing when cancelled.
std::optional<QString> AskFileDialog(QFileDialog& dialog);
// Shows `box` modally until it is closed.
void ShowMessageBox(QMessageBox& box);

}  // namespace velmora
