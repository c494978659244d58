#include "ui/window_font.h"

#include <QFontDatabase>
#include <QStringList>

namespace velmora {
namespace {

constexpr int kCharacterHeightPixels = 12;

// In order of preference: the face the layout was drawn with under its two
// names, then faces of the same Song (Ming) style that Debian packages.
QStringList PreferredFamilies() {
  return {QStringLiteral("宋体"),
          QStringLiteral("SimSun"),
          QStringLiteral("NSimSun"),
          QStringLiteral("AR PL UMing CN"),
          QStringLiteral("AR PL SungtiL GB"),
          QStringLiteral("Noto Serif CJK SC"),
          QStringLiteral("Source Han Serif SC")};
}

QString InstalledChineseFamily() {
  const QStringList installed = QFontDatabase::families(QFontDatabase::SimplifiedChinese);
  for (const QString& family : PreferredFamilies()) {
    if (installed.contains(family, Qt::CaseInsensitive)) {
      return family;
    }
  }
  return installed.value(0);
}

}  // namespace

QFont WindowFont() {
  QFont font;
  const QString family = InstalledChineseFamily();
  font.setFamily(family.isEmpty() ? PreferredFamilies().constFirst() : family);
  // A pixel size is the em height, the height of the characters without
  // internal leading; Qt scales it with the screen's device pixel ratio.
  font.setPixelSize(kCharacterHeightPixels);
  return font;
}

}  // namespace velmora
