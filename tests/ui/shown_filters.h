#pragma once

#include <QComboBox>
#include <QFileDialog>
#include <QStringList>

namespace velmora::test {

// The filter names a file dialog shows in its list of file types, as the user
// reads them; nothing when the dialog has no such list.
inline QStringList ShownFilterNames(const QFileDialog& dialog) {
  QStringList names;
  if (const auto* list = dialog.findChild<const QComboBox*>(QStringLiteral("fileTypeCombo"))) {
    for (int i = 0; i < list->count(); ++i) names.append(list->itemText(i));
  }
  return names;
}

}  // namespace velmora::test
