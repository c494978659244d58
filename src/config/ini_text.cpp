#include "config/ini_text.h"

#include <algorithm>
#include <vector>

#include "config/text.h"

namespace velmora {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// One line of the file: [begin, end) is its text without the line ending,
// `next` is where the following line starts.
struct Line {
  std::size_t begin;
  std::size_t end;
  std::size_t next;
};

std::vector<Line> SplitLines(std::string_view content) {
  std::vector<Line> lines;
  std::size_t begin = content.starts_with(kByteOrderMark) ? kByteOrderMark.size() : 0;
  while (begin < content.size()) {
    std::size_t newline = content.find('\n', begin);
    std::size_t next = newline == std::string_view::npos ? content.size() : newline + 1;
    std::size_t end = newline == std::string_view::npos ? content.size() : newline;
    if (end > begin && content[end - 1] == '\r') --end;
    lines.push_back({begin, end, next});
    begin = next;
  }
  return lines;
}

std::string_view TextOf(std::string_view content, const Line& line) {
  return content.substr(line.begin, line.end - line.begin);
}

// The name of a section header line, or nothing when the line is no header.
std::optional<std::string_view> SectionNameOf(std::string_view text) {
  text = TrimBlanks(text);
  if (!text.starts_with('[')) return std::nullopt;
  text.remove_prefix(1);
  return TrimBlanks(text.substr(0, text.find(']')));
}

bool IsKeyLine(std::string_view text, std::string_view key) {
  std::size_t equals = text.find('=');
  return equals != std::string_view::npos &&
         EqualsIgnoringAsciiCase(TrimBlanks(text.substr(0, equals)), key);
}

std::string_view DropEnclosingQuotes(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

// Where the first section of that name starts and ends, as indexes into `lines`:
// [header, end) with `end` the next header or the end of the file.
struct SectionSpan {
  std::size_t header;
  std::size_t end;
};

std::optional<SectionSpan> FindSection(std::string_view content, const std::vector<Line>& lines,
                                       std::string_view section) {
  for (std::size_t i = 0; i < lines.size(); ++i) {
    auto name = SectionNameOf(TextOf(content, lines[i]));
    if (!name || !EqualsIgnoringAsciiCase(*name, section)) continue;
    std::size_t end = i + 1;
    while (end < lines.size() && !SectionNameOf(TextOf(content, lines[end]))) ++end;
    return SectionSpan{i, end};
  }
  return std::nullopt;
}

std::optional<std::size_t> FindKeyLine(std::string_view content, const std::vector<Line>& lines,
                                       SectionSpan span, std::string_view key) {
  for (std::size_t i = span.header + 1; i < span.end; ++i) {
    if (IsKeyLine(TextOf(content, lines[i]), key)) return i;
  }
  return std::nullopt;
}

// New lines end the way the first line does.
std::string_view LineEndingOf(const std::vector<Line>& lines) {
  bool firstLineEndsWithCrLf = !lines.empty() && lines.front().next == lines.front().end + 2;
  return firstLineEndsWithCrLf ? "\r\n" : "\n";
}

bool EndsWithLineBreak(std::string_view content) {
  return content.ends_with('\n');
}

std::string ReplaceValueOnLine(std::string_view content, const Line& line, std::string_view value) {
  std::size_t valueStart = content.find('=', line.begin) + 1;
  while (valueStart < line.end && (content[valueStart] == ' ' || content[valueStart] == '\t')) {
    ++valueStart;
  }
  std::string result(content.substr(0, valueStart));
  result.append(value);
  result.append(content.substr(line.end));
  return result;
}

std::string InsertKeyAfter(std::string_view content, const Line& line, std::string_view entry,
                           std::string_view eol) {
  std::string result(content.substr(0, line.next));
  bool lastLineWithoutLineBreak = line.next == content.size() && !EndsWithLineBreak(content);
  if (lastLineWithoutLineBreak) result.append(eol);
  result.append(entry);
  result.append(eol);
  result.append(content.substr(line.next));
  return result;
}

std::string AppendSection(std::string_view content, const std::vector<Line>& lines,
                          std::string_view section, std::string_view entry, std::string_view eol) {
  std::string result(content);
  if (!content.empty() && !EndsWithLineBreak(content)) result.append(eol);
  if (!lines.empty() && !TrimBlanks(TextOf(content, lines.back())).empty()) result.append(eol);
  result.append("[").append(section).append("]").append(eol);
  result.append(entry).append(eol);
  return result;
}

}  // namespace

std::optional<std::string_view> FindWholeIniValue(std::string_view content,
                                                  std::string_view section, std::string_view key) {
  std::vector<Line> lines = SplitLines(content);
  auto span = FindSection(content, lines, section);
  if (!span) return std::nullopt;
  auto keyLine = FindKeyLine(content, lines, *span, key);
  if (!keyLine) return std::nullopt;
  std::string_view text = TextOf(content, lines[*keyLine]);
  return DropEnclosingQuotes(TrimBlanks(text.substr(text.find('=') + 1)));
}

std::optional<std::string> FindIniValue(std::string_view content, std::string_view section,
                                        std::string_view key) {
  std::optional<std::string_view> value = FindWholeIniValue(content, section, key);
  if (!value) return std::nullopt;
  return std::string(value->substr(0, kMaxValueBytes));
}

std::vector<std::string> IniSectionNames(std::string_view content) {
  std::vector<std::string> names;
  for (const Line& line : SplitLines(content)) {
    auto name = SectionNameOf(TextOf(content, line));
    if (!name) continue;
    bool seen = std::any_of(names.begin(), names.end(), [&name](const std::string& known) {
      return EqualsIgnoringAsciiCase(known, *name);
    });
    if (!seen) names.emplace_back(*name);
  }
  return names;
}

std::string SetIniValue(std::string_view content, std::string_view section, std::string_view key,
                        std::string_view value) {
  std::vector<Line> lines = SplitLines(content);
  std::string_view eol = LineEndingOf(lines);
  std::string entry = std::string(key) + "=" + std::string(value);

  auto span = FindSection(content, lines, section);
  if (!span) return AppendSection(content, lines, section, entry, eol);
  if (auto keyLine = FindKeyLine(content, lines, *span, key)) {
    return ReplaceValueOnLine(content, lines[*keyLine], value);
  }
  std::size_t last = span->header;
  for (std::size_t i = span->header + 1; i < span->end; ++i) {
    if (!TrimBlanks(TextOf(content, lines[i])).empty()) last = i;
  }
  return InsertKeyAfter(content, lines[last], entry, eol);
}

}  // namespace velmora
