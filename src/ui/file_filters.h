#pragma once

#include <QStringList>
#include <string_view>

namespace velmora {

// Turns a filter list of the settings' form, "description|pattern|…" (patterns
// separated by ";"), into Qt name filters, "description (pattern …)". "*.*"
// means every file and becomes "*"; a description that already ends with its
// pattern in parentheses, as "apk文件 (*.apk)", does not repeat it. A last
// description without a pattern is dropped.
QStringList NameFiltersFromFilterList(std::string_view filterList);

}  // namespace velmora
