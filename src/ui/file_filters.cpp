#include "ui/file_filters.h"

#include <QFileDialog>
#include <QString>

namespace velmora {
namespace {

QString QtPatterns(const QString& patterns) {
  QStringList translated;
  for (const QString& pattern : patterns.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
    const QString trimmed = pattern.trimmed();
    translated.append(trimmed == QLatin1String("*.*") ? QStringLiteral("*") : trimmed);
  }
  return translated.join(QLatin1Char(' '));
}

}  // namespace

QStringList NameFiltersFromFilterList(std::string_view filterList) {
  const QStringList items =
      QString::fromUtf8(filterList.data(), static_cast<qsizetype>(filterList.size()))
          .split(QLatin1Char('|'));
  QStringList filters;
  for (qsizetype i = 0; i + 1 < items.size(); i += 2) {
    filters.append(items.at(i) + QStringLiteral(" (") + QtPatterns(items.at(i + 1)) +
                   QLatin1Char(')'));
  }
  return filters;
}

void SetFilterList(QFileDialog& dialog, std::string_view filterList) {
  // Qt's own dialog matches by the last parentheses of a filter and, with its
  // details hidden, shows what stands before them: the description, even one
  // that shows its own patterns in other terms than Qt's. A desktop's native
  // dialog would render the names its own way.
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setOption(QFileDialog::HideNameFilterDetails, true);
  dialog.setNameFilters(NameFiltersFromFilterList(filterList));
}

}  // namespace velmora
