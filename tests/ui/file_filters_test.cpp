// Filter lists of the "description|pattern|…" form as Qt name filters.

#include "ui/file_filters.h"

#include <gtest/gtest.h>

#include <ostream>

namespace velmora {
namespace {

struct FilterCase {
  const char* name;
  const char* filterList;
  QStringList filters;
};

void PrintTo(const FilterCase& filter, std::ostream* out) {
  *out << filter.name;
}

class FilterTranslation : public ::testing::TestWithParam<FilterCase> {};

TEST_P(FilterTranslation, gives_one_qt_filter_per_pair) {
  EXPECT_EQ(NameFiltersFromFilterList(GetParam().filterList), GetParam().filters);
}

const FilterCase kFilters[] = {
    {"description_showing_its_pattern",
     "apk文件 (*.apk)|*.apk",
     {QStringLiteral("apk文件 (*.apk)")}},
    {"every_file", "所有文件 (*.*)|*.*", {QStringLiteral("所有文件 (*)")}},
    {"description_without_pattern", "Packages|*.apk", {QStringLiteral("Packages (*.apk)")}},
    {"several_patterns", "Archives|*.apk;*.jar", {QStringLiteral("Archives (*.apk *.jar)")}},
    {"several_patterns_shown",
     "Archives (*.apk;*.jar)|*.apk;*.jar",
     {QStringLiteral("Archives (*.apk *.jar)")}},
    {"pattern_matching_no_file",
     "选择目录|*.$$$DefaultDirectoryExtName$$$",
     {QStringLiteral("选择目录 (*.$$$DefaultDirectoryExtName$$$)")}},
    {"save_prompt_with_extension",
     "apk 文件 (*.apk)|*.apk|所有文件 (*.*)|*.*",
     {QStringLiteral("apk 文件 (*.apk)"), QStringLiteral("所有文件 (*)")}},
    {"empty_description", "|*.dex", {QStringLiteral("(*.dex)")}},
    {"description_without_pattern_dropped", "apk|*.apk|orphan", {QStringLiteral("apk (*.apk)")}},
    {"empty_list", "", {}},
};

INSTANTIATE_TEST_SUITE_P(Lists, FilterTranslation, ::testing::ValuesIn(kFilters),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace velmora
