#pragma once

#include <optional>
#include <string_view>

namespace velmora {

// The stored SignerType as an integer: an optional sign followed by decimal
// digits, or by hexadecimal digits after "$" or "0x", within the signed 32-bit
// range. Nothing for any other text, the empty text included.
std::optional<int> ParseSignerType(std::string_view text);

// Keeps a signer type within -1 (nothing selected) ... 2.
int ClampSignerType(int value);

}  // namespace velmora
