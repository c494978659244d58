#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string_view>

namespace velmora {

// Raised when the stored signer type is not an integer. The window shows
// what(): "'" + the stored text + "' is not a valid integer value".
class InvalidIntegerError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// An optional sign followed by decimal digits, or by hexadecimal digits after
// "$" or "0x" ("0X"), whose value lies within the signed 32-bit range.
// Anything else, the empty text included, gives nothing.
std::optional<std::int32_t> ParseInteger(std::string_view text);

// The radio group's item index for a stored SignerType value: values below -1
// become -1 (no item selected), values above 2 become 2. Throws
// InvalidIntegerError when `stored` is not an integer by ParseInteger.
int SignerTypeIndexFromSetting(std::string_view stored);

}  // namespace velmora
