#include "ui/dialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>

#include "ui/file_filters.h"
#include "ui/modal_answers.h"

namespace velmora {
namespace {

constexpr std::string_view kOpenFilters =
    "apk文件 (*.apk)|*.apk|dex文件 (*.dex)|*.dex|jar文件 (*.jar)|*.jar|"
    "odex文件 (*.odex)|*.odex|所有文件 (*.*)|*.*";

QString FromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Not every account has a desktop folder.
QString DesktopOrHome() {
  const QDir desktop(QStandardPaths::writableLocation(QStandardPaths::DesktopLocation));
  return desktop.exists() ? desktop.absolutePath() : QDir::homePath();
}

}  // namespace

void ConfigureOpenDialog(QFileDialog& dialog) {
  dialog.setWindowTitle(QStringLiteral("选择文件"));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  SetFilterList(dialog, kOpenFilters);
  dialog.setSizeGripEnabled(true);
}

void ConfigureSaveDialog(QFileDialog& dialog) {
  dialog.setWindowTitle(QStringLiteral("选择目录"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
  dialog.setSizeGripEnabled(true);
}

void ApplySavePrompt(QFileDialog& dialog, const SavePrompt& prompt) {
  dialog.setWindowTitle(FromUtf8(prompt.Title));
  SetFilterList(dialog, prompt.Filter);
  // Qt takes the suffix without its dot.
  QString suffix = FromUtf8(prompt.DefaultExt);
  if (suffix.startsWith(QLatin1Char('.'))) {
    suffix.remove(0, 1);
  }
  dialog.setDefaultSuffix(suffix);
}

std::optional<QString> AskRemembering(QFileDialog& dialog, QString& initialDirectory,
                                      const QString& proposedName) {
  dialog.setDirectory(initialDirectory.isEmpty() ? QDir::currentPath() : initialDirectory);
  // After the directory, which would otherwise replace the proposed name.
  dialog.selectFile(proposedName);
  std::optional<QString> chosen = AskFileDialog(dialog);
  if (chosen) {
    initialDirectory = QFileInfo(*chosen).absolutePath();
  }
  return chosen;
}

std::optional<QString> BrowseForFolder(QWidget* parent) {
  QFileDialog browser(parent, QStringLiteral("选择目录"), DesktopOrHome());
  browser.setFileMode(QFileDialog::Directory);
  browser.setOption(QFileDialog::ShowDirsOnly, true);
  return AskFileDialog(browser);
}

}  // namespace velmora
