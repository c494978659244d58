#include "ui/signer_type.h"

#include <algorithm>
#include <charconv>
#include <string>

namespace velmora {
namespace {

constexpr int kNoSignerType = -1;
constexpr int kLastSignerType = 2;
constexpr std::uint64_t kInt32MagnitudeLimit = 1ULL << 31;

// Takes a hexadecimal prefix off `digits`; true when there was one.
bool RemoveHexPrefix(std::string_view& digits) {
  if (digits.starts_with('$')) {
    digits.remove_prefix(1);
    return true;
  }
  if (digits.starts_with("0x") || digits.starts_with("0X")) {
    digits.remove_prefix(2);
    return true;
  }
  return false;
}

}  // namespace

std::optional<std::int32_t> ParseInteger(std::string_view text) {
  const bool negative = text.starts_with('-');
  if (negative || text.starts_with('+')) {
    text.remove_prefix(1);
  }
  const int base = RemoveHexPrefix(text) ? 16 : 10;
  // Unsigned parsing takes no sign, so a second sign is refused here.
  std::uint64_t magnitude = 0;
  const auto [end, error] =
      std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
  if (error != std::errc{} || end != text.data() + text.size()) {
    return std::nullopt;
  }
  // The negative side of the range reaches one further than the positive.
  const std::uint64_t largest = negative ? kInt32MagnitudeLimit : kInt32MagnitudeLimit - 1;
  if (magnitude > largest) {
    return std::nullopt;
  }
  const auto value = static_cast<std::int64_t>(magnitude);
  return static_cast<std::int32_t>(negative ? -value : value);
}

int SignerTypeIndexFromSetting(std::string_view stored) {
  const std::optional<std::int32_t> value = ParseInteger(stored);
  if (!value) {
    throw InvalidIntegerError("'" + std::string(stored) + "' is not a valid integer value");
  }
  return std::clamp<int>(*value, kNoSignerType, kLastSignerType);
}

}  // namespace velmora
