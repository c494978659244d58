#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// Command templates are written for the Windows command-line rules, so they are
// split here the way a Windows program's runtime splits its command line:
//
// - blanks (space, tab) separate arguments; other bytes, line breaks included,
//   belong to the argument they stand in;
// - a double quote starts or ends a quoted part, in which blanks are kept; two
//   double quotes inside a quoted part stand for one literal double quote;
// - 2n backslashes followed by a double quote give n backslashes and the quote
//   starts or ends a quoted part; 2n+1 backslashes followed by a double quote
//   give n backslashes and a literal double quote; backslashes not followed by
//   a double quote are literal;
// - `""` is an empty argument; a quoted part left open runs to the end.

// Splits a line that holds arguments only.
std::vector<std::string> SplitArguments(std::string_view line);

// Splits a whole command line: the first element is the program name, read by
// the runtime's program-name rule (double quotes toggle quoting, backslashes
// are literal, an unquoted blank ends it), the rest are the arguments. A blank
// or empty line gives an empty list.
std::vector<std::string> SplitCommandLine(std::string_view line);

}  // namespace velmora
