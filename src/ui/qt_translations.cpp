#include "ui/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace velmora {

bool UseChineseQtTexts(QCoreApplication& application) {
  const QLocale chinese(QLocale::Chinese, QLocale::China);
  // Dates and sizes in the file dialogs follow the default locale.
  QLocale::setDefault(chinese);
  auto* translator = new QTranslator(&application);
  if (!translator->load(chinese, QStringLiteral("qtbase"), QStringLiteral("_"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete translator;
    return false;
  }
  return QCoreApplication::installTranslator(translator);
}

}  // namespace velmora
