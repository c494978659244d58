// Files and folders dropped on the window: the first local path goes into the
// path field; anything else is refused.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <ostream>

#include "form_fixture.h"
#include "ui/dropped_paths.h"

namespace velmora::test {
namespace {

struct DroppedCase {
  const char* name;
  QStringList urls;
  std::optional<QString> path;
};

void PrintTo(const DroppedCase& dropped, std::ostream* out) {
  *out << dropped.name;
}

class FirstLocalPathOf : public ::testing::TestWithParam<DroppedCase> {};

TEST_P(FirstLocalPathOf, picks_the_first_local_file_or_folder) {
  QList<QUrl> urls;
  for (const QString& url : GetParam().urls) {
    urls.append(QUrl(url));
  }
  EXPECT_EQ(FirstLocalPath(urls), GetParam().path);
}

const DroppedCase kDrops[] = {
    {"one_file", {QStringLiteral("file:///w/demo.apk")}, QStringLiteral("/w/demo.apk")},
    {"three_files",
     {QStringLiteral("file:///w/a.apk"), QStringLiteral("file:///w/b.apk"),
      QStringLiteral("file:///w/c.apk")},
     QStringLiteral("/w/a.apk")},
    {"folder", {QStringLiteral("file:///w/demo/")}, QStringLiteral("/w/demo/")},
    {"escaped_blank_and_chinese",
     {QStringLiteral("file:///w/my%20%E5%8C%85.apk")},
     QStringLiteral("/w/my 包.apk")},
    {"web_link_before_a_file",
     {QStringLiteral("https://example.org/a.apk"), QStringLiteral("file:///w/b.apk")},
     QStringLiteral("/w/b.apk")},
    {"web_link_only", {QStringLiteral("https://example.org/a.apk")}, std::nullopt},
    {"nothing", {}, std::nullopt},
};

INSTANTIATE_TEST_SUITE_P(Drops, FirstLocalPathOf, ::testing::ValuesIn(kDrops),
                         [](const auto& info) { return std::string(info.param.name); });

class Drop : public FormTest {
 protected:
  static std::unique_ptr<QMimeData> Urls(const QStringList& paths) {
    auto mime = std::make_unique<QMimeData>();
    QList<QUrl> urls;
    for (const QString& path : paths) {
      urls.append(path.contains(QLatin1String("://")) ? QUrl(path) : QUrl::fromLocalFile(path));
    }
    mime->setUrls(urls);
    return mime;
  }

  // Drags `mime` over `target` (the window unless named).
  bool DragEnterAccepted(const QMimeData& mime, QWidget* target = nullptr) {
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target != nullptr ? target : form.get(), &enter);
    return enter.isAccepted();
  }

  // Drags `mime` over `target` and drops it there, as a person would.
  bool Dropped(const QMimeData& mime, QWidget* target = nullptr) {
    DragEnterAccepted(mime, target);
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target != nullptr ? target : form.get(), &drop);
    return drop.isAccepted();
  }

  QString Field() const { return Find<QLineEdit>("EditSourceFile").text(); }
};

TEST_F(Drop, of_three_files_puts_only_the_first_into_the_path_field) {
  ShowForm();
  const auto mime = Urls({QString::fromStdString(programDir.Write("a.apk", "")),
                          QString::fromStdString(programDir.Write("b.apk", "")),
                          QString::fromStdString(programDir.Write("c.apk", ""))});
  EXPECT_TRUE(DragEnterAccepted(*mime));
  EXPECT_TRUE(Dropped(*mime));
  EXPECT_EQ(Field(), QString::fromStdString(programDir / "a.apk"));
}

TEST_F(Drop, of_a_folder_is_taken_like_a_file) {
  ShowForm();
  const auto mime = Urls({QString::fromStdString(programDir.path())});
  EXPECT_TRUE(Dropped(*mime));
  EXPECT_EQ(Field(), QString::fromStdString(programDir.path()));
}

TEST_F(Drop, of_text_or_web_links_is_refused_and_changes_nothing) {
  ShowForm();
  Find<QLineEdit>("EditSourceFile").setText(QStringLiteral("typed"));
  QMimeData text;
  text.setText(QStringLiteral("/w/demo.apk"));
  const auto link = Urls({QStringLiteral("https://example.org/a.apk")});
  EXPECT_FALSE(DragEnterAccepted(text));
  EXPECT_FALSE(DragEnterAccepted(*link));
  EXPECT_FALSE(Dropped(text));
  EXPECT_FALSE(Dropped(*link));
  EXPECT_EQ(Field(), QStringLiteral("typed"));
}

TEST_F(Drop, over_the_path_field_or_the_output_area_is_the_windows) {
  ShowForm();
  const std::string first = programDir.Write("first.apk", "");
  const std::string second = programDir.Write("second.apk", "");
  // Were the field to take the drop itself, it would insert the URL as text.
  EXPECT_TRUE(Dropped(*Urls({QString::fromStdString(first)}), &Find("EditSourceFile")));
  EXPECT_EQ(Field(), QString::fromStdString(first));
  EXPECT_TRUE(Dropped(*Urls({QString::fromStdString(second)}),
                      Find<QPlainTextEdit>("MemoResult").viewport()));
  EXPECT_EQ(Field(), QString::fromStdString(second));
}

}  // namespace
}  // namespace velmora::test
