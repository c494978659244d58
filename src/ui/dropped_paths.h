#pragma once

#include <QList>
#include <QString>
#include <QUrl>
#include <optional>

namespace velmora {

// The path a drop on the window puts into the path field: that of the first
// local file or folder among the dropped URLs. Nothing when none is local
// (text, web links), so such a drop is refused.
std::optional<QString> FirstLocalPath(const QList<QUrl>& urls);

}  // namespace velmora
