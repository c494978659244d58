#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "exec/child_environment.h"
#include "exec/process_runner.h"
#include "run_test_support.h"

namespace velmora {
namespace {

using Entries = std::vector<std::string>;

Entries EnvironmentFor(Entries given) {
  std::vector<char*> pointers;
  for (std::string& entry : given) pointers.push_back(entry.data());
  pointers.push_back(nullptr);
  ChildEnvironment environment(pointers.data());
  Entries result;
  for (char* const* entry = environment.Get(); *entry; ++entry) result.emplace_back(*entry);
  std::sort(result.begin(), result.end());
  return result;
}

struct LocaleCase {
  const char* name;
  Entries given;
  Entries expected;  // sorted
};

class ChildLocale : public ::testing::TestWithParam<LocaleCase> {};

TEST_P(ChildLocale, IsUtf8WhateverTheCallerHas) {
  EXPECT_EQ(EnvironmentFor(GetParam().given), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Environments, ChildLocale,
    ::testing::Values(
        LocaleCase{"utf8_language_kept",
                   {"LANG=zh_CN.UTF-8", "PATH=/bin"},
                   {"LANG=zh_CN.UTF-8", "PATH=/bin"}},
        LocaleCase{"utf8_spelled_otherwise_kept", {"LC_CTYPE=en_US.utf8"}, {"LC_CTYPE=en_US.utf8"}},
        LocaleCase{"no_locale_gets_a_utf8_character_type",
                   {"PATH=/bin"},
                   {"LC_CTYPE=C.UTF-8", "PATH=/bin"}},
        LocaleCase{"c_language_keeps_its_messages", {"LANG=C"}, {"LANG=C", "LC_CTYPE=C.UTF-8"}},
        LocaleCase{"legacy_character_type_replaced",
                   {"LANG=zh_CN.UTF-8", "LC_CTYPE=zh_CN.GB18030"},
                   {"LANG=zh_CN.UTF-8", "LC_CTYPE=C.UTF-8"}},
        LocaleCase{"lc_all_overrides_so_it_changes",
                   {"LC_ALL=POSIX", "LANG=en_US.UTF-8"},
                   {"LANG=en_US.UTF-8", "LC_ALL=C.UTF-8"}},
        LocaleCase{"empty_values_count_as_unset",
                   {"LC_ALL=", "LC_CTYPE=", "LANG=de_DE.UTF-8"},
                   {"LANG=de_DE.UTF-8", "LC_ALL=", "LC_CTYPE="}}),
    [](const ::testing::TestParamInfo<LocaleCase>& info) { return std::string(info.param.name); });

TEST(RunCaptured, GivesTheToolAUtf8LocaleWhenVelmoraHasNone) {
  test::ScopedEnvironment language("LANG", "C");
  test::ScopedEnvironment all("LC_ALL", std::nullopt);
  test::ScopedEnvironment characterType("LC_CTYPE", std::nullopt);
  test::RecordingSink output;
  PollRunEvents events;

  RunCaptured("/usr/bin/locale", "charmap", output, events);

  EXPECT_EQ(output.lines, (std::vector<std::string>{"UTF-8"}));
}

}  // namespace
}  // namespace velmora
