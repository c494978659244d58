#pragma once

#include <cstddef>
#include <optional>
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

// Builds a line for the splitting above from a template's text, kept as
// written, and literal values (the paths the user chose), which arrive as they
// are: a double quote or backslash in a value never opens, closes or escapes
// anything, whether the template put the value inside a quoted part or not.
// Blanks in a value outside a quoted part still separate arguments, as the
// template's own blanks do.
class ArgumentLineWriter {
 public:
  // `startsWithProgramName`: the line is a whole command line, read by
  // SplitCommandLine; otherwise it holds arguments only.
  explicit ArgumentLineWriter(bool startsWithProgramName);

  void AppendTemplateText(std::string_view text);
  // False when the value cannot be carried: the program name knows no
  // escapes, so a double quote cannot be part of it. The line is then unusable.
  bool AppendLiteral(std::string_view value);

  const std::string& Line() const { return line_; }

 private:
  enum class Field { kBeforeProgramName, kProgramName, kArguments };

  std::optional<std::size_t> WriteProgramName(std::string_view text, bool literal);

  std::string line_;
  Field field_;
  bool quotedProgramName_ = false;
  // Backslashes at the end of the line that stand for themselves; a double
  // quote written after them needs them doubled.
  std::size_t literalBackslashes_ = 0;
};

}  // namespace velmora
