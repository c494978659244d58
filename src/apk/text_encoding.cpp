#include "apk/text_encoding.h"

#include <cstdint>

#include "apk/chunk.h"

namespace velmora::apk {
namespace {

void AppendCodePoint(std::string& out, std::uint32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | c >> 6));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | c >> 12));
    out.push_back(static_cast<char>(0x80 | (c >> 6 & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | c >> 18));
    out.push_back(static_cast<char>(0x80 | (c >> 12 & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c >> 6 & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

bool IsHighSurrogate(std::uint32_t unit) {
  return unit >= 0xD800 && unit < 0xDC00;
}
bool IsLowSurrogate(std::uint32_t unit) {
  return unit >= 0xDC00 && unit < 0xE000;
}

// The code point of the sequence at `at` of `text` and its length in bytes, or
// a length of 0 when no valid sequence starts there. Encoded surrogates are
// accepted, since Utf16ToUtf8 writes lone ones that way.
std::pair<std::uint32_t, std::size_t> DecodeSequence(std::string_view text, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[at + i]); };
  const std::uint8_t lead = byte(0);
  std::size_t length = 0;
  std::uint32_t c = 0;
  std::uint32_t least = 0;
  if (lead < 0x80) return {lead, 1};
  if (lead >= 0xC2 && lead < 0xE0) {
    length = 2, c = lead & 0x1F, least = 0x80;
  } else if (lead >= 0xE0 && lead < 0xF0) {
    length = 3, c = lead & 0x0F, least = 0x800;
  } else if (lead >= 0xF0 && lead < 0xF5) {
    length = 4, c = lead & 0x07, least = 0x10000;
  } else {
    return {0, 0};
  }
  if (text.size() - at < length) return {0, 0};
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return {0, 0};
    c = c << 6 | (byte(i) & 0x3F);
  }
  if (c < least || c > 0x10FFFF) return {0, 0};
  return {c, length};
}

}  // namespace

std::string Utf16ToUtf8(std::string_view bytes, std::size_t units) {
  std::string out;
  out.reserve(units);
  for (std::size_t i = 0; i < units; ++i) {
    std::uint32_t unit = U16At(bytes, 2 * i);
    if (IsHighSurrogate(unit) && i + 1 < units && IsLowSurrogate(U16At(bytes, 2 * i + 2))) {
      unit = 0x10000 + ((unit - 0xD800) << 10) + (U16At(bytes, 2 * i + 2) - 0xDC00);
      ++i;
    }
    AppendCodePoint(out, unit);
  }
  return out;
}

std::string Utf8ToUtf16(std::string_view text) {
  std::string out;
  out.reserve(2 * text.size());
  for (std::size_t at = 0; at < text.size();) {
    auto [c, length] = DecodeSequence(text, at);
    if (length == 0) c = 0xFFFD, length = 1;
    if (c >= 0x10000) {
      AppendU16(out, static_cast<std::uint16_t>(0xD800 + ((c - 0x10000) >> 10)));
      AppendU16(out, static_cast<std::uint16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
    } else {
      AppendU16(out, static_cast<std::uint16_t>(c));
    }
    at += length;
  }
  return out;
}

std::size_t Utf16Length(std::string_view text) {
  std::size_t units = 0;
  for (unsigned char byte : text) {
    if ((byte & 0xC0) != 0x80) units += byte >= 0xF0 ? 2 : 1;
  }
  return units;
}

}  // namespace velmora::apk
