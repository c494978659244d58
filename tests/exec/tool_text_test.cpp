#include "exec/tool_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velmora {
namespace {

using namespace std::string_literals;

struct ReadsCase {
  std::string name;
  std::vector<std::string> reads;  // the bytes of each read, in order
  std::string shown;               // the text of each read, then of the end, "|" between
};

void PrintTo(const ReadsCase& c, std::ostream* out) {
  *out << c.name;
}

class ToolTextTest : public testing::TestWithParam<ReadsCase> {};

TEST_P(ToolTextTest, shows_each_read_at_once_but_never_half_a_break_or_character) {
  ToolTextDecoder decoder;
  std::string shown;
  for (const std::string& read : GetParam().reads) {
    decoder.Decode(read, shown);
    shown += '|';
  }
  decoder.Finish(shown);
  EXPECT_EQ(shown, GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Reads, ToolTextTest,
    testing::Values(
        ReadsCase{"text_continues_the_unended_line", {"work", "..", "done\n"}, "work|..|done\n|"},
        ReadsCase{"crlf_cut_between_reads_is_one_break", {"a\r", "\nb"}, "a|\nb|\n"},
        ReadsCase{"a_cr_followed_by_text_breaks_the_line", {"a\r", "b\r\r"}, "a|\nb\n|\n"},
        ReadsCase{"character_cut_between_reads_waits_for_its_rest",
                  {"\xe4", "\xb8", "\xad!"},
                  "||中!|\n"},
        ReadsCase{
            "cut_character_broken_off_is_shown_as_it_came", {"\xe4\xb8", "x\n"}, "|\xe4\xb8x\n|"},
        ReadsCase{"cut_character_at_the_end_is_shown_as_it_came", {"a\xe4"}, "a|\xe4\n"},
        ReadsCase{
            "cr_before_a_cut_character_is_no_half_of_a_crlf", {"a\r\xd6", "\nb"}, "a\n|\xd6\nb|\n"},
        ReadsCase{"invalid_bytes_are_not_held", {"\xff", "\x80"}, "\xff|\x80|\n"},
        ReadsCase{"nul_bytes_are_dropped", {"\0a\0"s, "\0"s}, "a||\n"}),
    [](const testing::TestParamInfo<ReadsCase>& info) { return info.param.name; });

}  // namespace
}  // namespace velmora
