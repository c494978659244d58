#include "apk/string_pool.h"

#include <algorithm>
#include <optional>
#include <unordered_map>

#include "apk/chunk.h"
#include "apk/text_encoding.h"

namespace velmora::apk {
namespace {

constexpr std::size_t kHeaderSize = 28;
constexpr std::uint32_t kSortedFlag = 1u << 0;
constexpr std::uint32_t kUtf8Flag = 1u << 8;
constexpr std::uint32_t kSpanEnd = 0xFFFFFFFF;
constexpr std::size_t kSpanSize = 12;
// The longest length that each encoding's length prefix can hold.
constexpr std::size_t kMaxUtf8Length = 0x7FFF;
constexpr std::size_t kMaxUtf16Length = 0x7FFFFFFF;

FormatError Malformed(std::string_view what) {
  return FormatError{"字符串池" + std::string(what)};
}

// A UTF-8 pool length: one byte, or two when the first has its high bit set.
std::optional<std::size_t> ReadUtf8Length(std::string_view bytes, std::size_t& at) {
  if (!Fits(bytes, at, 1)) return std::nullopt;
  std::size_t length = U8At(bytes, at++);
  if (length & 0x80) {
    if (!Fits(bytes, at, 1)) return std::nullopt;
    length = (length & 0x7F) << 8 | U8At(bytes, at++);
  }
  return length;
}

// A UTF-16 pool length: one unit, or two when the first has its high bit set.
std::optional<std::size_t> ReadUtf16Length(std::string_view bytes, std::size_t& at) {
  if (!Fits(bytes, at, 2)) return std::nullopt;
  std::size_t length = U16At(bytes, at);
  at += 2;
  if (length & 0x8000) {
    if (!Fits(bytes, at, 2)) return std::nullopt;
    length = (length & 0x7FFF) << 16 | U16At(bytes, at);
    at += 2;
  }
  return length;
}

Parsed<std::string> ReadUtf8String(std::string_view area, std::size_t at) {
  // The character count comes first; the byte count is what bounds the string.
  if (!ReadUtf8Length(area, at)) return Malformed("被截断：字符串长度超出了末尾");
  const auto length = ReadUtf8Length(area, at);
  if (!length || !Fits(area, at, *length + 1)) return Malformed("被截断：字符串超出了末尾");
  if (area[at + *length] != '\0') return Malformed("中有字符串没有以零结尾");
  return std::string(area.substr(at, *length));
}

Parsed<std::string> ReadUtf16String(std::string_view area, std::size_t at) {
  const auto length = ReadUtf16Length(area, at);
  if (!length || !Fits(area, at, 2 * (std::uint64_t{*length} + 1))) {
    return Malformed("被截断：字符串超出了末尾");
  }
  if (U16At(area, at + 2 * *length) != 0) return Malformed("中有字符串没有以零结尾");
  return Utf16ToUtf8(area.substr(at), *length);
}

// The spans of one style, up to its end marker, every name an index of the pool.
Parsed<std::vector<StyleSpan>> ReadStyle(std::string_view area, std::size_t at,
                                         std::size_t stringCount, DecodeBudget& budget) {
  std::vector<StyleSpan> spans;
  while (true) {
    if (!Fits(area, at, 4)) return Malformed("被截断：样式没有结束标记");
    const std::uint32_t name = U32At(area, at);
    if (name == kSpanEnd) return spans;
    if (!Fits(area, at, kSpanSize)) return Malformed("被截断：样式超出了末尾");
    if (name >= stringCount) return Malformed("中有样式的标签名超出了字符串的数目");
    if (!budget.Spend(kSpanSize)) return Malformed("中的样式偏移相互重叠");
    spans.push_back({name, U32At(area, at + 4), U32At(area, at + 8)});
    at += kSpanSize;
  }
}

struct PoolHeader {
  std::uint32_t stringCount = 0;
  std::uint32_t styleCount = 0;
  std::uint32_t flags = 0;
  std::uint32_t stringsStart = 0;
  std::uint32_t stylesStart = 0;
};

Parsed<PoolHeader> ReadPoolHeader(const Chunk& chunk) {
  if (chunk.type != kStringPoolChunk) return Malformed("的块类型不对");
  const std::string_view bytes = chunk.bytes;
  PoolHeader header{U32At(bytes, 8), U32At(bytes, 12), U32At(bytes, 16), U32At(bytes, 20),
                    U32At(bytes, 24)};
  if (header.styleCount > header.stringCount) return Malformed("的样式比字符串还多");
  const std::uint64_t offsetsSize = 4 * (std::uint64_t{header.stringCount} + header.styleCount);
  if (!Fits(bytes, chunk.headerSize, offsetsSize)) return Malformed("被截断：偏移表超出了末尾");
  if (header.stringCount > 0 && header.stringsStart >= bytes.size()) {
    return Malformed("的字符串数据起点超出了末尾");
  }
  if (header.styleCount > 0 &&
      (header.stylesStart >= bytes.size() || header.stylesStart < header.stringsStart)) {
    return Malformed("的样式数据起点不对");
  }
  return header;
}

Parsed<std::vector<std::string>> ReadStrings(std::string_view bytes, std::size_t offsetsAt,
                                             const PoolHeader& header) {
  if (header.stringCount == 0) return std::vector<std::string>{};
  const std::size_t stringsEnd = header.styleCount > 0 ? header.stylesStart : bytes.size();
  const std::string_view area = bytes.substr(header.stringsStart, stringsEnd - header.stringsStart);
  DecodeBudget budget(bytes.size());
  const bool utf8 = header.flags & kUtf8Flag;
  std::vector<std::string> strings;
  strings.reserve(header.stringCount);
  for (std::uint32_t i = 0; i < header.stringCount; ++i) {
    const std::size_t at = U32At(bytes, offsetsAt + 4 * std::size_t{i});
    auto string = utf8 ? ReadUtf8String(area, at) : ReadUtf16String(area, at);
    if (auto* error = std::get_if<FormatError>(&string)) return *error;
    auto& text = std::get<std::string>(string);
    if (!budget.Spend(text.size())) return Malformed("中的字符串偏移相互重叠");
    strings.push_back(std::move(text));
  }
  return strings;
}

Parsed<std::vector<std::vector<StyleSpan>>> ReadStyles(std::string_view bytes,
                                                       std::size_t offsetsAt,
                                                       const PoolHeader& header) {
  if (header.styleCount == 0) return std::vector<std::vector<StyleSpan>>{};
  const std::string_view area = bytes.substr(header.stylesStart);
  DecodeBudget budget(bytes.size());
  // Styles that share an offset share the spans, read once.
  std::unordered_map<std::uint32_t, std::size_t> readAt;
  std::vector<std::vector<StyleSpan>> styles;
  styles.reserve(header.styleCount);
  for (std::uint32_t i = 0; i < header.styleCount; ++i) {
    const std::uint32_t at = U32At(bytes, offsetsAt + 4 * std::size_t{i});
    if (auto seen = readAt.find(at); seen != readAt.end()) {
      if (!budget.Spend(styles[seen->second].size() * kSpanSize)) {
        return Malformed("中的样式偏移相互重叠");
      }
      styles.push_back(styles[seen->second]);
      continue;
    }
    auto style = ReadStyle(area, at, header.stringCount, budget);
    if (auto* error = std::get_if<FormatError>(&style)) return *error;
    readAt.emplace(at, styles.size());
    styles.push_back(std::move(std::get<std::vector<StyleSpan>>(style)));
  }
  return styles;
}

// Whether every string fits the length prefixes of a UTF-8 pool (a string
// never has more UTF-16 units than UTF-8 bytes).
bool FitsUtf8(const std::vector<std::string>& strings) {
  return std::all_of(strings.begin(), strings.end(),
                     [](const std::string& text) { return text.size() <= kMaxUtf8Length; });
}

void AppendUtf8Length(std::string& out, std::size_t length) {
  if (length > 0x7F) AppendU8(out, static_cast<std::uint8_t>(0x80 | length >> 8));
  AppendU8(out, static_cast<std::uint8_t>(length));
}

void AppendUtf16Length(std::string& out, std::size_t length) {
  if (length > 0x7FFF) AppendU16(out, static_cast<std::uint16_t>(0x8000 | length >> 16));
  AppendU16(out, static_cast<std::uint16_t>(length));
}

// The encoded strings back to back; `offsets` receives where each starts.
std::string EncodeStrings(const std::vector<std::string>& strings, bool utf8,
                          std::vector<std::uint32_t>& offsets) {
  std::string data;
  offsets.reserve(strings.size());
  for (const std::string& text : strings) {
    offsets.push_back(static_cast<std::uint32_t>(data.size()));
    if (utf8) {
      AppendUtf8Length(data, Utf16Length(text));
      AppendUtf8Length(data, text.size());
      data += text;
      AppendU8(data, 0);
    } else {
      const std::string units = Utf8ToUtf16(text);
      AppendUtf16Length(data, std::min(units.size() / 2, kMaxUtf16Length));
      data += units;
      AppendU16(data, 0);
    }
  }
  PadToFour(data);
  return data;
}

std::string EncodeStyles(const std::vector<std::vector<StyleSpan>>& styles,
                         std::vector<std::uint32_t>& offsets) {
  std::string data;
  offsets.reserve(styles.size());
  for (const auto& spans : styles) {
    offsets.push_back(static_cast<std::uint32_t>(data.size()));
    for (const StyleSpan& span : spans) {
      AppendU32(data, span.name);
      AppendU32(data, span.firstChar);
      AppendU32(data, span.lastChar);
    }
    AppendU32(data, kSpanEnd);
  }
  // Android checks that the style data ends with one whole span of end markers.
  if (!styles.empty()) {
    AppendU32(data, kSpanEnd);
    AppendU32(data, kSpanEnd);
  }
  return data;
}

}  // namespace

Parsed<StringPool> ReadStringPool(std::string_view bytes) {
  auto chunk = ReadChunk(bytes, 0, kHeaderSize, "字符串池");
  if (auto* error = std::get_if<FormatError>(&chunk)) return *error;
  const Chunk& pool = std::get<Chunk>(chunk);
  auto header = ReadPoolHeader(pool);
  if (auto* error = std::get_if<FormatError>(&header)) return *error;
  const PoolHeader& h = std::get<PoolHeader>(header);

  StringPool result;
  result.utf8 = h.flags & kUtf8Flag;
  result.sorted = h.flags & kSortedFlag;
  auto strings = ReadStrings(pool.bytes, pool.headerSize, h);
  if (auto* error = std::get_if<FormatError>(&strings)) return *error;
  result.strings = std::move(std::get<std::vector<std::string>>(strings));
  auto styles = ReadStyles(pool.bytes, pool.headerSize + 4 * std::size_t{h.stringCount}, h);
  if (auto* error = std::get_if<FormatError>(&styles)) return *error;
  result.styles = std::move(std::get<std::vector<std::vector<StyleSpan>>>(styles));
  return result;
}

std::string WriteStringPool(const StringPool& pool) {
  const bool utf8 = pool.utf8 && FitsUtf8(pool.strings);
  std::vector<std::uint32_t> stringOffsets, styleOffsets;
  const std::string stringData = EncodeStrings(pool.strings, utf8, stringOffsets);
  const std::string styleData = EncodeStyles(pool.styles, styleOffsets);

  std::string out;
  const std::size_t offsetsSize = 4 * (stringOffsets.size() + styleOffsets.size());
  out.reserve(kHeaderSize + offsetsSize + stringData.size() + styleData.size());
  const std::size_t start = BeginChunk(out, kStringPoolChunk, kHeaderSize);
  const std::size_t stringsStart = kHeaderSize + offsetsSize;
  AppendU32(out, static_cast<std::uint32_t>(stringOffsets.size()));
  AppendU32(out, static_cast<std::uint32_t>(styleOffsets.size()));
  AppendU32(out, (utf8 ? kUtf8Flag : 0) | (pool.sorted ? kSortedFlag : 0));
  AppendU32(out, stringOffsets.empty() ? 0 : static_cast<std::uint32_t>(stringsStart));
  AppendU32(
      out, styleOffsets.empty() ? 0 : static_cast<std::uint32_t>(stringsStart + stringData.size()));
  for (std::uint32_t offset : stringOffsets) AppendU32(out, offset);
  for (std::uint32_t offset : styleOffsets) AppendU32(out, offset);
  out += stringData;
  out += styleData;
  FinishChunk(out, start);
  return out;
}

}  // namespace velmora::apk
