#include "apk/resource_config.h"

#include <algorithm>
#include <array>
#include <cstddef>

namespace velmora::apk {
namespace {

// The configuration-change flags, as Android's configuration.h defines them.
enum ConfigFlag : std::uint32_t {
  kMcc = 0x0001,
  kMnc = 0x0002,
  kLocale = 0x0004,
  kTouchscreen = 0x0008,
  kKeyboard = 0x0010,
  kKeyboardHidden = 0x0020,
  kNavigation = 0x0040,
  kOrientation = 0x0080,
  kDensity = 0x0100,
  kScreenSize = 0x0200,
  kVersion = 0x0400,
  kScreenLayout = 0x0800,
  kUiMode = 0x1000,
  kSmallestScreenSize = 0x2000,
  kLayoutDirection = 0x4000,
  kScreenRound = 0x8000,
  kColorMode = 0x10000,
};

// Bytes [offset, offset + length) of the configuration, the bits `mask` of
// each, and the flag a difference there sets. The offsets are those of
// ResTable_config, counted from its size field.
struct Field {
  std::size_t offset;
  std::size_t length;
  std::uint8_t mask;
  std::uint32_t flag;
};

constexpr std::array kFields = {
    Field{4, 2, 0xFF, kMcc},
    Field{6, 2, 0xFF, kMnc},
    Field{8, 4, 0xFF, kLocale},  // language and country
    Field{12, 1, 0xFF, kOrientation},
    Field{13, 1, 0xFF, kTouchscreen},
    Field{14, 2, 0xFF, kDensity},
    Field{16, 1, 0xFF, kKeyboard},
    Field{17, 1, 0xFF, kNavigation},
    Field{18, 1, 0x0F, kKeyboardHidden},  // keys hidden and navigation hidden
    Field{20, 4, 0xFF, kScreenSize},      // screen width and height
    Field{24, 4, 0xFF, kVersion},         // sdk and minor version
    Field{28, 1, 0x3F, kScreenLayout},    // size and long
    Field{28, 1, 0xC0, kLayoutDirection},
    Field{29, 1, 0xFF, kUiMode},
    Field{30, 2, 0xFF, kSmallestScreenSize},
    Field{32, 4, 0xFF, kScreenSize},  // width and height in dp
    Field{36, 12, 0xFF, kLocale},     // script and variant
    Field{48, 1, 0x03, kScreenRound},
    Field{49, 1, 0x0F, kColorMode},  // wide colour gamut and HDR
    Field{53, 8, 0xFF, kLocale},     // numbering system
};

std::uint8_t ByteAt(std::string_view config, std::size_t offset) {
  return offset < config.size() ? static_cast<std::uint8_t>(config[offset]) : 0;
}

}  // namespace

std::string ConfigKey(std::string_view config) {
  std::string_view fields = config.substr(std::min<std::size_t>(4, config.size()));
  while (!fields.empty() && fields.back() == '\0') fields.remove_suffix(1);
  return std::string(fields);
}

std::uint32_t ConfigDiff(std::string_view a, std::string_view b) {
  std::uint32_t flags = 0;
  for (const Field& field : kFields) {
    for (std::size_t i = field.offset; i < field.offset + field.length; ++i) {
      if (((ByteAt(a, i) ^ ByteAt(b, i)) & field.mask) != 0) flags |= field.flag;
    }
  }
  return flags;
}

}  // namespace velmora::apk
