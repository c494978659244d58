#pragma once

#include <QStringList>
#include <string_view>

class QFileDialog;

namespace velmora {

// Qt name filters for a filter list of the settings' form,
// "description|pattern|…" (patterns separated by ";"): one
// "description (pattern …)" per pair, the description as written. "*.*" means
// every file, names without a dot included, and becomes "*". A last
// description without a pattern is dropped.
QStringList NameFiltersFromFilterList(std::string_view filterList);

// Gives `dialog` the filters of `filterList` and has it show each
// description exactly as written ("所有文件 (*.*)" stays that), not Qt's own
// rendering of the patterns. Qt folds runs of white space in what it shows.
void SetFilterList(QFileDialog& dialog, std::string_view filterList);

}  // namespace velmora
