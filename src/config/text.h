#pragma once

#include <string>
#include <string_view>

namespace velmora {

// Removes leading and trailing bytes 0-32. Bytes of 128 and above are never
// removed, so UTF-8 text keeps its characters.
std::string_view TrimBlanks(std::string_view text);

// The path without its trailing "/" (all of them: "/" gives the empty text).
std::string_view WithoutTrailingSlashes(std::string_view path);

// Lowercases ASCII letters only; the keywords compared this way are ASCII.
std::string LowerAscii(std::string_view text);
char LowerAsciiChar(char c);

// Whether two names are equal without regard to ASCII letter case.
bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b);

}  // namespace velmora
