#pragma once

#include <stdexcept>
#include <string_view>

namespace velmora {

// Raised when the stored signer type is not an integer. The window shows
// what(): "'" + the stored text + "' is not a valid integer value".
class InvalidIntegerError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The radio group's item index for a stored SignerType value (ParseSignerType),
// clamped to -1 (no item selected) ... 2. Throws InvalidIntegerError when
// `stored` is not an integer.
int SignerTypeIndexFromSetting(std::string_view stored);

}  // namespace velmora
