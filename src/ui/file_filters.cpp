#include "ui/file_filters.h"

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

// Qt shows the patterns in parentheses after the description itself, so a
// description that already shows them would show them twice.
QString DescriptionWithoutPatterns(const QString& description, const QString& patterns) {
  const QString shown = QLatin1Char('(') + patterns.trimmed() + QLatin1Char(')');
  const QString trimmed = description.trimmed();
  if (trimmed.endsWith(shown)) {
    return trimmed.chopped(shown.size()).trimmed();
  }
  return trimmed;
}

}  // namespace

QStringList NameFiltersFromFilterList(std::string_view filterList) {
  const QStringList items =
      QString::fromUtf8(filterList.data(), static_cast<qsizetype>(filterList.size()))
          .split(QLatin1Char('|'));
  QStringList filters;
  for (qsizetype i = 0; i + 1 < items.size(); i += 2) {
    const QString& description = items.at(i);
    const QString& patterns = items.at(i + 1);
    const QString filter = DescriptionWithoutPatterns(description, patterns) +
                           QStringLiteral(" (") + QtPatterns(patterns) + QLatin1Char(')');
    filters.append(filter.trimmed());
  }
  return filters;
}

}  // namespace velmora
