#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace velmora::apk {

// The resources formats store text as UTF-16 or UTF-8; this library holds it as
// UTF-8. A lone surrogate in UTF-16 text is kept as its own three-byte
// sequence (as WTF-8 does), so UTF-16 text goes through UTF-8 and back
// unchanged, even when it is not valid Unicode.

// The UTF-8 form of `units` UTF-16 code units starting at `bytes` (little-endian).
std::string Utf16ToUtf8(std::string_view bytes, std::size_t units);

// The UTF-16 code units (little-endian bytes) of `text`. A byte that starts no
// valid sequence becomes U+FFFD.
std::string Utf8ToUtf16(std::string_view text);

// How many UTF-16 code units `text` has, counted the way Android counts the
// characters of a UTF-8 pool string: one per sequence, two for a sequence of
// four bytes.
std::size_t Utf16Length(std::string_view text);

}  // namespace velmora::apk
