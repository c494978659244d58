#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "config/signer_type.h"

namespace velmora {
namespace {

struct ConversionCase {
  const char* name;
  const char* text;
  std::optional<int> value;
};

class SignerTypeConversion : public ::testing::TestWithParam<ConversionCase> {};

TEST_P(SignerTypeConversion, ConvertsLikeTheStoredIntegerIsMeant) {
  EXPECT_EQ(ParseSignerType(GetParam().text), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, SignerTypeConversion,
    ::testing::Values(
        ConversionCase{"zero", "0", 0}, ConversionCase{"two", "2", 2},
        ConversionCase{"plus_sign", "+1", 1}, ConversionCase{"minus_sign", "-3", -3},
        ConversionCase{"leading_zeros", "007", 7}, ConversionCase{"dollar_hex", "$A", 10},
        ConversionCase{"zero_x_hex", "0x1f", 31}, ConversionCase{"capital_zero_x", "0X2", 2},
        ConversionCase{"negative_hex", "-$2", -2},
        ConversionCase{"largest", "2147483647", 2147483647},
        ConversionCase{"smallest", "-2147483648", -2147483647 - 1},
        ConversionCase{"too_large", "2147483648", std::nullopt},
        ConversionCase{"hex_too_large", "$80000000", std::nullopt},
        ConversionCase{"empty", "", std::nullopt}, ConversionCase{"letters", "abc", std::nullopt},
        ConversionCase{"trailing_text", "1a", std::nullopt},
        ConversionCase{"two_signs", "--1", std::nullopt},
        ConversionCase{"sign_alone", "-", std::nullopt},
        ConversionCase{"dollar_alone", "$", std::nullopt},
        ConversionCase{"decimal_point", "1.0", std::nullopt},
        ConversionCase{"inner_blank", "1 2", std::nullopt}),
    [](const ::testing::TestParamInfo<ConversionCase>& info) {
      return std::string(info.param.name);
    });

TEST(ClampSignerType, KeepsTheIndexBetweenNothingSelectedAndTheLastItem) {
  EXPECT_EQ(ClampSignerType(5), 2);
  EXPECT_EQ(ClampSignerType(-3), -1);
  EXPECT_EQ(ClampSignerType(1), 1);
}

}  // namespace
}  // namespace velmora
