#pragma once

#include <cstddef>
#include <cstdint>

namespace velmora::apk {

// Sizes and flags of the resources table's structures, as AOSP's
// ResourceTypes.h lays them out; the table's reader and writer share them.
inline constexpr std::uint16_t kTableHeaderSize = 12;
inline constexpr std::uint16_t kOldPackageHeaderSize = 284;  // before typeIdOffset was added
inline constexpr std::uint16_t kPackageHeaderSize = 288;
inline constexpr std::size_t kPackageNameSize = 256;  // 128 UTF-16 units
inline constexpr std::uint16_t kTypeSpecHeaderSize = 16;
inline constexpr std::size_t kTypeHeaderSize = 20;  // the fields before the configuration
inline constexpr std::size_t kConfigSizeField = 4;
inline constexpr std::uint16_t kEntrySize = 8;
inline constexpr std::uint16_t kMapEntrySize = 16;
inline constexpr std::size_t kMapSize = 12;

// ResTable_type flags and a ResTable_entry flag that change how entries are
// laid out.
inline constexpr std::uint8_t kSparseType = 0x01;
inline constexpr std::uint8_t kOffset16Type = 0x02;
inline constexpr std::uint16_t kCompactEntry = 0x0008;

}  // namespace velmora::apk
