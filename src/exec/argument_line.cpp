#include "exec/argument_line.h"

#include <utility>

namespace velmora {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::size_t SkipBlanks(std::string_view line, std::size_t at) {
  while (at < line.size() && IsBlank(line[at])) {
    ++at;
  }
  return at;
}

std::size_t CountBackslashes(std::string_view line, std::size_t at) {
  std::size_t count = 0;
  while (at + count < line.size() && line[at + count] == '\\') {
    ++count;
  }
  return count;
}

// Reads the argument that starts at `at` into `argument` and returns where it
// ends. A double quote left after an even run of backslashes is handled on the
// next turn as an ordinary quote.
std::size_t ReadArgument(std::string_view line, std::size_t at, std::string& argument) {
  bool quoted = false;
  while (at < line.size()) {
    const char c = line[at];
    if (c == '\\') {
      const std::size_t run = CountBackslashes(line, at);
      at += run;
      const bool beforeQuote = at < line.size() && line[at] == '"';
      argument.append(beforeQuote ? run / 2 : run, '\\');
      if (beforeQuote && run % 2 == 1) {
        argument += '"';
        ++at;
      }
    } else if (c == '"') {
      const bool doubledInsideQuotes = quoted && at + 1 < line.size() && line[at + 1] == '"';
      if (doubledInsideQuotes) {
        argument += '"';
        at += 2;
      } else {
        quoted = !quoted;
        ++at;
      }
    } else if (!quoted && IsBlank(c)) {
      break;
    } else {
      argument += c;
      ++at;
    }
  }
  return at;
}

// The program name knows no backslash escapes: a Windows path such as
// "C:\Program Files\" must survive as written.
std::size_t ReadProgramName(std::string_view line, std::size_t at, std::string& name) {
  bool quoted = false;
  while (at < line.size() && (quoted || !IsBlank(line[at]))) {
    if (line[at] == '"') {
      quoted = !quoted;
    } else {
      name += line[at];
    }
    ++at;
  }
  return at;
}

std::size_t CountLeadingBackslashes(std::string_view text) {
  return CountBackslashes(text, 0);
}

std::size_t CountTrailingBackslashes(std::string_view text) {
  const std::size_t last = text.find_last_not_of('\\');
  return last == std::string_view::npos ? text.size() : text.size() - last - 1;
}

}  // namespace

std::vector<std::string> SplitArguments(std::string_view line) {
  std::vector<std::string> arguments;
  for (std::size_t at = SkipBlanks(line, 0); at < line.size(); at = SkipBlanks(line, at)) {
    at = ReadArgument(line, at, arguments.emplace_back());
  }
  return arguments;
}

std::vector<std::string> SplitCommandLine(std::string_view line) {
  const std::size_t start = SkipBlanks(line, 0);
  if (start == line.size()) {
    return {};
  }
  std::vector<std::string> words(1);
  const std::size_t end = ReadProgramName(line, start, words.front());
  for (std::string& argument : SplitArguments(line.substr(end))) {
    words.push_back(std::move(argument));
  }
  return words;
}

ArgumentLineWriter::ArgumentLineWriter(bool startsWithProgramName)
    : field_(startsWithProgramName ? Field::kBeforeProgramName : Field::kArguments) {}

// Feeds `text` through the program-name rule while the line is still in the
// program name, and returns how much of it that took; nothing when a literal
// double quote would have to be part of the name.
std::optional<std::size_t> ArgumentLineWriter::WriteProgramName(std::string_view text,
                                                                bool literal) {
  std::size_t at = 0;
  for (; at < text.size() && field_ != Field::kArguments; ++at) {
    const char c = text[at];
    if (field_ == Field::kBeforeProgramName && IsBlank(c)) {
      // blanks before the name are skipped
    } else if (c == '"') {
      if (literal) return std::nullopt;
      quotedProgramName_ = !quotedProgramName_;
      field_ = Field::kProgramName;
    } else if (IsBlank(c) && !quotedProgramName_) {
      field_ = Field::kArguments;
    } else {
      field_ = Field::kProgramName;
    }
    line_ += c;
  }
  return at;
}

// Backslashes of a value (or of the template right before a value, where they
// were followed by a placeholder) stand for themselves; when the template goes
// on with a double quote, possibly after backslashes of its own, they are
// doubled so the quote keeps the meaning the template gave it.
void ArgumentLineWriter::AppendTemplateText(std::string_view text) {
  text.remove_prefix(*WriteProgramName(text, false));
  if (text.empty()) return;
  const std::size_t leading = CountLeadingBackslashes(text);
  if (leading < text.size() && text[leading] == '"') line_.append(literalBackslashes_, '\\');
  line_ += text;
  literalBackslashes_ =
      leading == text.size() ? literalBackslashes_ + leading : CountTrailingBackslashes(text);
}

// A double quote of a value is written as 2n+1 backslashes and the quote, n
// being the literal backslashes before it: the splitting gives back n
// backslashes and a literal quote, inside a quoted part or outside one.
bool ArgumentLineWriter::AppendLiteral(std::string_view value) {
  const std::optional<std::size_t> taken = WriteProgramName(value, true);
  if (!taken) return false;
  for (const char c : value.substr(*taken)) {
    if (c == '"') {
      line_.append(literalBackslashes_ + 1, '\\');
      literalBackslashes_ = 0;
    } else {
      literalBackslashes_ = c == '\\' ? literalBackslashes_ + 1 : 0;
    }
    line_ += c;
  }
  return true;
}

}  // namespace velmora
