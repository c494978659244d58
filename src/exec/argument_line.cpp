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

}  // namespace velmora
