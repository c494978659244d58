#include "ui/dropped_paths.h"

#include <algorithm>

namespace velmora {

std::optional<QString> FirstLocalPath(const QList<QUrl>& urls) {
  const auto local = std::find_if(urls.begin(), urls.end(), [](const QUrl& url) {
    return url.isLocalFile() && !url.toLocalFile().isEmpty();
  });
  if (local == urls.end()) {
    return std::nullopt;
  }
  return local->toLocalFile();
}

}  // namespace velmora
