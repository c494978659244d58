#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "apk/format_error.h"

namespace velmora::apk {

// One styled span of a string: the tag's name (an index into the same pool,
// as the format stores it) and the first and last character it covers.
struct StyleSpan {
  std::uint32_t name = 0;
  std::uint32_t firstChar = 0;
  std::uint32_t lastChar = 0;

  friend bool operator==(const StyleSpan&, const StyleSpan&) = default;
};

// A string pool chunk (RES_STRING_POOL_TYPE) as the resources table and binary
// XML both store it. Strings are held as UTF-8 whatever the chunk's encoding.
// `styles[i]` belongs to `strings[i]`; the format requires the styled strings
// to come first, so `styles.size() <= strings.size()`.
struct StringPool {
  std::vector<std::string> strings;
  std::vector<std::vector<StyleSpan>> styles;
  bool utf8 = false;    // the chunk's encoding flag, kept when written again
  bool sorted = false;  // the chunk's sorted flag, kept when written again
};

// Reads the string pool chunk that starts at the front of `chunk` (its header
// size and size fields bound it; bytes after it are ignored). Fails on any
// count, offset or length that points outside the chunk, on a style whose tag
// name is not a string of the pool, and on offsets that keep reading the same
// bytes far past the chunk's size. The message says what is wrong with the
// pool; the caller names the file.
Parsed<StringPool> ReadStringPool(std::string_view chunk);

// The chunk for `pool`, in the encoding its `utf8` flag names, padded to four
// bytes, with every size and offset computed. A UTF-8 pool holding a string of
// more than 0x7FFF bytes, which UTF-8 pool lengths cannot express, is written
// as UTF-16.
std::string WriteStringPool(const StringPool& pool);

}  // namespace velmora::apk
