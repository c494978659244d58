#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "apk/chunk.h"

namespace velmora::apk {

// A typed value (Res_value) as the resources table and binary XML both store
// it: its size, a zero byte, its data type and its 32 bits of data.
struct TypedValue {
  std::uint8_t dataType = 0;
  std::uint32_t data = 0;

  friend bool operator==(const TypedValue&, const TypedValue&) = default;
};

inline constexpr std::uint16_t kTypedValueSize = 8;

// The data types that this library looks at. A string's data indexes the
// string pool of its file (the global value pool of a resources table).
inline constexpr std::uint8_t kTypeString = 0x03;
inline constexpr std::uint8_t kTypeIntDec = 0x10;
inline constexpr std::uint8_t kTypeIntHex = 0x11;
inline constexpr std::uint8_t kTypeIntBoolean = 0x12;

// The value at `offset`, which the caller has checked with Fits.
inline TypedValue TypedValueAt(std::string_view bytes, std::size_t offset) {
  return {U8At(bytes, offset + 3), U32At(bytes, offset + 4)};
}

inline void AppendTypedValue(std::string& out, TypedValue value) {
  AppendU16(out, kTypedValueSize);
  AppendU8(out, 0);
  AppendU8(out, value.dataType);
  AppendU32(out, value.data);
}

}  // namespace velmora::apk
