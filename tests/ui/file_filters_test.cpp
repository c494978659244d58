// Filter lists of the "description|pattern|…" form in Qt's file dialog: the
// descriptions shown as written, the patterns matching as Qt reads them.

#include "ui/file_filters.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFileDialog>
#include <QFileSystemModel>
#include <ostream>

#include "shown_filters.h"
#include "support/temp_dir.h"

namespace velmora {
namespace {

using test::ShownFilterNames;
using test::TempDir;

struct FilterCase {
  const char* name;
  const char* filterList;
  QStringList filters;  // given to Qt
  QStringList shown;    // what the dialog shows
};

void PrintTo(const FilterCase& filter, std::ostream* out) {
  *out << filter.name;
}

class FilterTranslation : public ::testing::TestWithParam<FilterCase> {};

TEST_P(FilterTranslation, gives_qt_one_filter_per_pair) {
  EXPECT_EQ(NameFiltersFromFilterList(GetParam().filterList), GetParam().filters);
}

TEST_P(FilterTranslation, shows_each_description_exactly_as_written) {
  QFileDialog dialog;
  SetFilterList(dialog, GetParam().filterList);
  EXPECT_EQ(ShownFilterNames(dialog), GetParam().shown);
}

const FilterCase kFilters[] = {
    {"description_showing_its_pattern",
     "apk文件 (*.apk)|*.apk",
     {QStringLiteral("apk文件 (*.apk) (*.apk)")},
     {QStringLiteral("apk文件 (*.apk)")}},
    {"every_file",
     "所有文件 (*.*)|*.*",
     {QStringLiteral("所有文件 (*.*) (*)")},
     {QStringLiteral("所有文件 (*.*)")}},
    {"description_without_pattern",
     "Packages|*.apk",
     {QStringLiteral("Packages (*.apk)")},
     {QStringLiteral("Packages")}},
    {"several_patterns",
     "Archives (*.apk;*.jar)|*.apk;*.jar",
     {QStringLiteral("Archives (*.apk;*.jar) (*.apk *.jar)")},
     {QStringLiteral("Archives (*.apk;*.jar)")}},
    {"pattern_matching_no_file",
     "选择目录|*.$$$DefaultDirectoryExtName$$$|所有文件 (*.*)|*.*",
     {QStringLiteral("选择目录 (*.$$$DefaultDirectoryExtName$$$)"),
      QStringLiteral("所有文件 (*.*) (*)")},
     {QStringLiteral("选择目录"), QStringLiteral("所有文件 (*.*)")}},
    {"save_prompt_with_extension",
     "apk 文件 (*.apk)|*.apk|所有文件 (*.*)|*.*",
     {QStringLiteral("apk 文件 (*.apk) (*.apk)"), QStringLiteral("所有文件 (*.*) (*)")},
     {QStringLiteral("apk 文件 (*.apk)"), QStringLiteral("所有文件 (*.*)")}},
    {"open_dialog",
     "apk文件 (*.apk)|*.apk|dex文件 (*.dex)|*.dex|jar文件 (*.jar)|*.jar|"
     "odex文件 (*.odex)|*.odex|所有文件 (*.*)|*.*",
     {QStringLiteral("apk文件 (*.apk) (*.apk)"), QStringLiteral("dex文件 (*.dex) (*.dex)"),
      QStringLiteral("jar文件 (*.jar) (*.jar)"), QStringLiteral("odex文件 (*.odex) (*.odex)"),
      QStringLiteral("所有文件 (*.*) (*)")},
     {QStringLiteral("apk文件 (*.apk)"), QStringLiteral("dex文件 (*.dex)"),
      QStringLiteral("jar文件 (*.jar)"), QStringLiteral("odex文件 (*.odex)"),
      QStringLiteral("所有文件 (*.*)")}},
    {"description_without_pattern_dropped",
     "apk|*.apk|orphan",
     {QStringLiteral("apk (*.apk)")},
     {QStringLiteral("apk")}},
    {"empty_list", "", {}, {}},
};

INSTANTIATE_TEST_SUITE_P(Lists, FilterTranslation, ::testing::ValuesIn(kFilters),
                         [](const auto& info) { return std::string(info.param.name); });

constexpr std::string_view kSaveFilters = "apk 文件 (*.apk)|*.apk|所有文件 (*.*)|*.*";

// Which files of its directory a dialog lists under the selected filter.
class FilterMatching : public ::testing::Test {
 protected:
  FilterMatching() {
    for (const char* name : {"demo.apk", "classes.dex", "NOTICE"}) folder.Write(name, "");
    SetFilterList(dialog, kSaveFilters);
    dialog.setDirectory(QString::fromStdString(folder.path()));
  }

  void Select(const QString& shownName) {
    const qsizetype index = ShownFilterNames(dialog).indexOf(shownName);
    dialog.selectNameFilter(NameFiltersFromFilterList(kSaveFilters).at(index));
  }

  // The names listed once they are `expected` (the dialog reads its directory
  // and applies a filter in the background), or after five seconds.
  QStringList ListedOnceSettled(const QStringList& expected) {
    auto* files = dialog.findChild<QFileSystemModel*>();
    const QModelIndex root = files->index(QString::fromStdString(folder.path()));
    const QDeadlineTimer deadline(5000);
    QStringList names;
    while (true) {
      names.clear();
      for (int row = 0; row < files->rowCount(root); ++row) {
        names.append(files->index(row, 0, root).data().toString());
      }
      names.sort();
      if (names == expected || deadline.hasExpired()) return names;
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    }
  }

  TempDir folder;
  QFileDialog dialog;
};

const QStringList kEveryFile{QStringLiteral("NOTICE"), QStringLiteral("classes.dex"),
                             QStringLiteral("demo.apk")};

TEST_F(FilterMatching, every_file_lists_names_without_a_dot_too) {
  Select(QStringLiteral("所有文件 (*.*)"));
  EXPECT_EQ(ListedOnceSettled(kEveryFile), kEveryFile);
}

TEST_F(FilterMatching, an_extension_lists_only_its_files) {
  Select(QStringLiteral("所有文件 (*.*)"));
  ASSERT_EQ(ListedOnceSettled(kEveryFile), kEveryFile);
  Select(QStringLiteral("apk 文件 (*.apk)"));
  EXPECT_EQ(ListedOnceSettled({QStringLiteral("demo.apk")}),
            QStringList{QStringLiteral("demo.apk")});
}

}  // namespace
}  // namespace velmora
