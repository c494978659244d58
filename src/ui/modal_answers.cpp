#include "ui/modal_answers.h"

#include <QFileDialog>
#include <QMessageBox>
#include <utility>

namespace velmora {
namespace {

FileDialogAnswerer& FileDialogAnswererInUse() {
  static FileDialogAnswerer answerer;
  return answerer;
}

MessageBoxAnswerer& MessageBoxAnswererInUse() {
  static MessageBoxAnswerer answerer;
  return answerer;
}

}  // namespace

void AnswerFileDialogsWith(FileDialogAnswerer answerer) {
  FileDialogAnswererInUse() = std::move(answerer);
}

void AnswerMessageBoxesWith(MessageBoxAnswerer answerer) {
  MessageBoxAnswererInUse() = std::move(answerer);
}

std::optional<QString> AskFileDialog(QFileDialog& dialog) {
  if (const FileDialogAnswerer& answerer = FileDialogAnswererInUse()) {
    return answerer(dialog);
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
    return std::nullopt;
  }
  return dialog.selectedFiles().constFirst();
}

void ShowMessageBox(QMessageBox& box) {
  if (const MessageBoxAnswerer& answerer = MessageBoxAnswererInUse()) {
    answerer(box);
    return;
  }
  box.exec();
}

}  // namespace velmora
