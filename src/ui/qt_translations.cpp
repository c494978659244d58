#include "ui/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace velmora {

bool UseChineseQtTexts(QCoreApplication& application) {
  const QLocale chinese(QLocale::Chinese, QLocale::China);
  auto* translator = new QTranslator(&application);
  if (!translator->load(chinese, QStringLiteral("qtbase"), QStringLiteral("_"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete translator;
    return false;
  }
  return QCoreApplication::installTranslator(translator);
}

}  // namespace velmora
