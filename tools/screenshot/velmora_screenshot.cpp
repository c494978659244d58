// Renders the main window, as it starts from a program directory, on each of
// its pages into PNG files (OUTPUT_DIR/velmora-1-results.png and so on), then
// the results page after a tool stopped by the user, and the save prompt.
// Usage: velmora_screenshot OUTPUT_DIR PROGRAM_DIR

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <array>
#include <cstdio>
#include <fstream>

#include "config/settings.h"
#include "exec/command_pipeline.h"
#include "ui/dialogs.h"
#include "ui/form_main.h"
#include "ui/modal_answers.h"
#include "ui/qt_translations.h"

namespace {

constexpr std::array kPageFileNames{"velmora-1-results.png", "velmora-2-more-commands.png",
                                    "velmora-3-setup.png"};

// A decode that prints progress dots until it is stopped.
constexpr std::string_view kLongDecode =
    "[Decompile]\nComments=反编译\nSourceFileType=none\nDestFileType=none\nCommand=/bin/sh\n"
    "CommandLine=-c \"echo 'I: Using Apktool on demo.apk'; echo 'I: Loading resource table...'; "
    "printf 'I: Decoding file-resources'; while :; do printf .; sleep 0.1; done\"\n";

bool Save(QWidget& widget, const QString& directory, const char* name) {
  const QString file = directory + QLatin1Char('/') + QString::fromLatin1(name);
  if (!widget.grab().save(file)) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
    return false;
  }
  std::printf("%s\n", qPrintable(file));
  return true;
}

// Runs the long decode in the window and stops it as a user would.
void RunAndStopDecode(velmora::TFormMain& form) {
  QTemporaryDir scratch;
  std::ofstream(scratch.filePath(QStringLiteral("Velmora.ini")).toStdString()) << kLongDecode;
  const velmora::Settings decodeSettings(scratch.path().toStdString());
  QTimer::singleShot(1500, &form, [&form] { form.StopInnermostRun(); });
  form.RunCommand([&] {
    velmora::RunSection({.Section = "Decompile", .ClearOutput = true}, decodeSettings, form);
  });
  form.Output().Flush();
}

}  // namespace

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Velmora"));
  velmora::UseChineseQtTexts(application);
  const QStringList arguments = QApplication::arguments();
  if (arguments.size() != 3) {
    std::fprintf(stderr, "usage: velmora_screenshot OUTPUT_DIR PROGRAM_DIR\n");
    return 2;
  }
  const QString& output = arguments.at(1);
  // Nobody is there to close a box; its text goes to the terminal instead.
  velmora::AnswerMessageBoxesWith(
      [](QMessageBox& box) { std::fprintf(stderr, "message box: %s\n", qPrintable(box.text())); });
  const velmora::Settings settings(arguments.at(2).toStdString());
  velmora::TFormMain form(settings);
  form.show();
  form.Output().Flush();
  auto* pages = form.findChild<QTabWidget*>(QStringLiteral("PageControl"));
  for (int page = 0; page < pages->count(); ++page) {
    pages->setCurrentIndex(page);
    if (!Save(form, output, kPageFileNames.at(static_cast<std::size_t>(page)))) return 1;
  }

  RunAndStopDecode(form);
  if (!Save(form, output, "velmora-4-stopped-run.png")) return 1;

  auto* save = form.findChild<QFileDialog*>(QStringLiteral("SaveDialog"));
  velmora::ApplySavePrompt(*save, {"demo_signed.apk", "apk 文件 (*.apk)|*.apk|所有文件 (*.*)|*.*",
                                   ".apk", "另存为", false});
  save->setDirectory(arguments.at(2));
  save->selectFile(QStringLiteral("demo_signed.apk"));
  save->show();
  QApplication::processEvents();
  const bool saved = Save(*save, output, "velmora-5-save-dialog.png");
  save->hide();
  return saved ? 0 : 1;
}
