// The stored signer type as an integer: which texts convert, and to what.

#include "ui/signer_type.h"

#include <gtest/gtest.h>

#include <ostream>

namespace velmora {
namespace {

struct IntegerCase {
  const char* name;
  const char* text;
  std::optional<std::int32_t> value;
};

void PrintTo(const IntegerCase& integer, std::ostream* out) {
  *out << integer.name;
}

class IntegerConversion : public ::testing::TestWithParam<IntegerCase> {};

TEST_P(IntegerConversion, converts_exactly_the_integers_of_32_bits) {
  EXPECT_EQ(ParseInteger(GetParam().text), GetParam().value);
}

const IntegerCase kIntegers[] = {
    {"decimal", "42", 42},
    {"zero", "0", 0},
    {"leading_zeros", "007", 7},
    {"plus_sign", "+5", 5},
    {"minus_sign", "-3", -3},
    {"largest", "2147483647", 2147483647},
    {"smallest", "-2147483648", -2147483647 - 1},
    {"one_beyond_largest", "2147483648", std::nullopt},
    {"one_beyond_smallest", "-2147483649", std::nullopt},
    {"far_beyond_64_bits", "99999999999999999999999", std::nullopt},
    {"hex_after_dollar", "$1F", 31},
    {"hex_after_0x", "0x10", 16},
    {"hex_after_0X_lowercase_digits", "0Xff", 255},
    {"negative_hex", "-$10", -16},
    {"largest_hex", "$7FFFFFFF", 2147483647},
    {"hex_beyond_largest", "$80000000", std::nullopt},
    {"smallest_hex", "-0x80000000", -2147483647 - 1},
    {"empty", "", std::nullopt},
    {"letters", "abc", std::nullopt},
    {"sign_alone", "-", std::nullopt},
    {"two_signs", "--1", std::nullopt},
    {"plus_then_minus", "+-1", std::nullopt},
    {"dollar_alone", "$", std::nullopt},
    {"0x_alone", "0x", std::nullopt},
    {"hex_digits_without_prefix", "1F", std::nullopt},
    {"decimal_point", "1.0", std::nullopt},
    {"inner_blank", "1 2", std::nullopt},
    {"trailing_letter", "2a", std::nullopt},
    {"sign_after_prefix", "$-1", std::nullopt},
};

INSTANTIATE_TEST_SUITE_P(Texts, IntegerConversion, ::testing::ValuesIn(kIntegers),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SignerTypeIndex, keeps_the_three_items_and_clamps_the_rest) {
  EXPECT_EQ(SignerTypeIndexFromSetting("0"), 0);
  EXPECT_EQ(SignerTypeIndexFromSetting("1"), 1);
  EXPECT_EQ(SignerTypeIndexFromSetting("2"), 2);
  EXPECT_EQ(SignerTypeIndexFromSetting("3"), 2);
  EXPECT_EQ(SignerTypeIndexFromSetting("2147483647"), 2);
  EXPECT_EQ(SignerTypeIndexFromSetting("-1"), -1);
  EXPECT_EQ(SignerTypeIndexFromSetting("-3"), -1);
}

TEST(SignerTypeIndex, raises_the_invalid_integer_message_for_other_text) {
  try {
    SignerTypeIndexFromSetting("abc");
    FAIL() << "no exception";
  } catch (const InvalidIntegerError& error) {
    EXPECT_STREQ(error.what(), "'abc' is not a valid integer value");
  }
  EXPECT_THROW(SignerTypeIndexFromSetting(""), InvalidIntegerError);
}

}  // namespace
}  // namespace velmora
