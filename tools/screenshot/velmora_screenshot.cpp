// Renders the main window, as it starts from a program directory, on each of
// its pages into PNG files: OUTPUT_DIR/velmora-1-results.png and so on.
// Usage: velmora_screenshot OUTPUT_DIR PROGRAM_DIR

#include <QApplication>
#include <QMessageBox>
#include <QTabWidget>
#include <array>
#include <cstdio>

#include "config/settings.h"
#include "ui/form_main.h"
#include "ui/modal_answers.h"

namespace {

constexpr std::array kPageFileNames{"velmora-1-results.png", "velmora-2-more-commands.png",
                                    "velmora-3-setup.png"};

}  // namespace

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Velmora"));
  const QStringList arguments = QApplication::arguments();
  if (arguments.size() != 3) {
    std::fprintf(stderr, "usage: velmora_screenshot OUTPUT_DIR PROGRAM_DIR\n");
    return 2;
  }
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
    const QString file = arguments.at(1) + QLatin1Char('/') +
                         QString::fromLatin1(kPageFileNames.at(static_cast<std::size_t>(page)));
    if (!form.grab().save(file)) {
      std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
      return 1;
    }
    std::printf("%s\n", qPrintable(file));
  }
  return 0;
}
