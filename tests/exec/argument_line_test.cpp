#include "exec/argument_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velmora {
namespace {

struct SplitCase {
  std::string name;
  std::string line;
  std::vector<std::string> expected;
};

// Names the case in failure messages instead of dumping its bytes.
void PrintTo(const SplitCase& c, std::ostream* out) {
  *out << c.name;
}

std::string CaseName(const testing::TestParamInfo<SplitCase>& info) {
  return info.param.name;
}

class SplitArgumentsTest : public testing::TestWithParam<SplitCase> {};

TEST_P(SplitArgumentsTest, splits_like_a_windows_program_runtime) {
  EXPECT_EQ(SplitArguments(GetParam().line), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, SplitArgumentsTest,
    testing::Values(
        SplitCase{"empty_line_has_no_arguments", "", {}},
        SplitCase{"blank_line_has_no_arguments", " \t  ", {}},
        SplitCase{"blanks_separate_arguments", "d  -f\tin.apk ", {"d", "-f", "in.apk"}},
        SplitCase{"quotes_group_blanks", R"(-o "my out dir" x)", {"-o", "my out dir", "x"}},
        SplitCase{"quotes_join_with_neighbours", R"(a"b c"d)", {"ab cd"}},
        SplitCase{"empty_quotes_are_an_empty_argument", R"(a "" b)", {"a", "", "b"}},
        SplitCase{"open_quote_runs_to_the_end", R"(a "b c)", {"a", "b c"}},
        SplitCase{"doubled_quote_inside_quotes_is_literal", R"("say ""hi""")", {R"(say "hi")"}},
        SplitCase{"backslashes_alone_are_literal",
                  R"(C:\tools\x.jar a\\b)",
                  {R"(C:\tools\x.jar)", R"(a\\b)"}},
        SplitCase{"trailing_backslash_before_closing_quote_is_doubled",
                  R"("C:\my dir\\" next)",
                  {R"(C:\my dir\)", "next"}},
        SplitCase{
            "even_backslashes_before_quote_halve_and_quote_groups", R"(a\\\\"b c")", {R"(a\\b c)"}},
        SplitCase{"odd_backslashes_before_quote_halve_and_quote_is_literal",
                  R"(a\\\"b c)",
                  {R"(a\"b)", "c"}},
        SplitCase{"single_backslash_quote_is_literal_quote", R"(\"x\")", {R"("x")"}},
        SplitCase{"shell_characters_are_plain_bytes",
                  "a;b $(x) `y` * 'z' |&>",
                  {"a;b", "$(x)", "`y`", "*", "'z'", "|&>"}},
        SplitCase{"line_breaks_belong_to_arguments", "a\nb c", {"a\nb", "c"}},
        SplitCase{"utf8_bytes_pass_through",
                  "\xE4\xB8\xAD \xE6\x96\x87",
                  {"\xE4\xB8\xAD", "\xE6\x96\x87"}}),
    CaseName);

class SplitCommandLineTest : public testing::TestWithParam<SplitCase> {};

TEST_P(SplitCommandLineTest, takes_the_first_field_as_the_program) {
  EXPECT_EQ(SplitCommandLine(GetParam().line), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, SplitCommandLineTest,
    testing::Values(
        SplitCase{"empty_line_has_no_program", "", {}},
        SplitCase{"blank_line_has_no_program", "  \t", {}},
        SplitCase{"program_alone", "java", {"java"}},
        SplitCase{"leading_blanks_are_skipped", "  java -version", {"java", "-version"}},
        SplitCase{"quoted_program_keeps_blanks", R"("my tool" "a b")", {"my tool", "a b"}},
        SplitCase{
            "program_name_knows_no_backslash_escapes", R"("C:\dir\\" x)", {R"(C:\dir\\)", "x"}},
        SplitCase{"arguments_follow_argument_rules",
                  R"(tool \"q\" a\\"b c")",
                  {"tool", R"("q")", R"(a\b c)"}},
        SplitCase{"empty_quoted_program_is_an_empty_name", R"("" x)", {"", "x"}}),
    CaseName);

}  // namespace
}  // namespace velmora
