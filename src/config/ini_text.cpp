#include "config/ini_text.h"

#include "config/text.h"

namespace velmora {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

using Line = IniText::Line;

// Walks the lines of `content` one by one, storing none of them.
class LineScanner {
 public:
  explicit LineScanner(std::string_view content)
      : content_(content),
        begin_(content.starts_with(kByteOrderMark) ? kByteOrderMark.size() : 0) {}

  std::optional<Line> Next() {
    if (begin_ >= content_.size()) return std::nullopt;
    std::size_t newline = content_.find('\n', begin_);
    std::size_t next = newline == std::string_view::npos ? content_.size() : newline + 1;
    std::size_t end = newline == std::string_view::npos ? content_.size() : newline;
    if (end > begin_ && content_[end - 1] == '\r') --end;
    Line line{begin_, end, next};
    begin_ = next;
    return line;
  }

 private:
  std::string_view content_;
  std::size_t begin_;
};

std::vector<Line> SplitLines(std::string_view content) {
  std::vector<Line> lines;
  LineScanner scanner(content);
  while (std::optional<Line> line = scanner.Next()) lines.push_back(*line);
  return lines;
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

// The value on a key line: after the first "=", trimmed, one pair of quotes dropped.
std::string_view ValueOnKeyLine(std::string_view text) {
  return DropEnclosingQuotes(TrimBlanks(text.substr(text.find('=') + 1)));
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

}  // namespace

// Each header is looked at once; a name seen before starts no span of its own,
// so its lines belong to no section a lookup can reach (the first one wins).
IniText::IniText(std::string_view content) : content_(content), lines_(SplitLines(content)) {
  Span* open = nullptr;
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    std::optional<std::string_view> name = SectionNameOf(TextOf(lines_[i]));
    if (!name) continue;
    if (open != nullptr) open->end = i;
    auto [entry, added] = sections_.try_emplace(LowerAscii(*name), Span{i, lines_.size()});
    open = added ? &entry->second : nullptr;
    if (added) names_.emplace_back(*name);
  }
}

std::string_view IniText::TextOf(const Line& line) const {
  return content_.substr(line.begin, line.end - line.begin);
}

const IniText::Span* IniText::FindSection(std::string_view section) const {
  auto found = sections_.find(LowerAscii(section));
  return found == sections_.end() ? nullptr : &found->second;
}

std::optional<std::size_t> IniText::FindKeyLine(const Span& span, std::string_view key) const {
  for (std::size_t i = span.header + 1; i < span.end; ++i) {
    if (IsKeyLine(TextOf(lines_[i]), key)) return i;
  }
  return std::nullopt;
}

std::optional<std::string_view> IniText::WholeValue(std::string_view section,
                                                    std::string_view key) const {
  const Span* span = FindSection(section);
  if (span == nullptr) return std::nullopt;
  auto keyLine = FindKeyLine(*span, key);
  if (!keyLine) return std::nullopt;
  return ValueOnKeyLine(TextOf(lines_[*keyLine]));
}

std::string IniText::AppendSection(std::string_view section, std::string_view entry,
                                   std::string_view eol) const {
  std::string result(content_);
  if (!content_.empty() && !EndsWithLineBreak(content_)) result.append(eol);
  if (!lines_.empty() && !TrimBlanks(TextOf(lines_.back())).empty()) result.append(eol);
  result.append("[").append(section).append("]").append(eol);
  result.append(entry).append(eol);
  return result;
}

std::string IniText::WithValue(std::string_view section, std::string_view key,
                               std::string_view value) const {
  std::string_view eol = LineEndingOf(lines_);
  std::string entry = std::string(key) + "=" + std::string(value);

  const Span* span = FindSection(section);
  if (span == nullptr) return AppendSection(section, entry, eol);
  if (auto keyLine = FindKeyLine(*span, key)) {
    return ReplaceValueOnLine(content_, lines_[*keyLine], value);
  }
  std::size_t last = span->header;
  for (std::size_t i = span->header + 1; i < span->end; ++i) {
    if (!TrimBlanks(TextOf(lines_[i])).empty()) last = i;
  }
  return InsertKeyAfter(content_, lines_[last], entry, eol);
}

// One value needs no index: a single walk over the lines, which stops at the
// end of the first section of that name, stores nothing.
std::optional<std::string_view> FindWholeIniValue(std::string_view content,
                                                  std::string_view section, std::string_view key) {
  bool inSection = false;
  LineScanner scanner(content);
  while (std::optional<Line> line = scanner.Next()) {
    std::string_view text = content.substr(line->begin, line->end - line->begin);
    if (std::optional<std::string_view> name = SectionNameOf(text)) {
      if (inSection) return std::nullopt;
      inSection = EqualsIgnoringAsciiCase(*name, section);
    } else if (inSection && IsKeyLine(text, key)) {
      return ValueOnKeyLine(text);
    }
  }
  return std::nullopt;
}

std::optional<std::string> FindIniValue(std::string_view content, std::string_view section,
                                        std::string_view key) {
  std::optional<std::string_view> value = FindWholeIniValue(content, section, key);
  if (!value) return std::nullopt;
  return std::string(value->substr(0, kMaxValueBytes));
}

std::vector<std::string> IniSectionNames(std::string_view content) {
  return IniText(content).SectionNames();
}

std::string SetIniValue(std::string_view content, std::string_view section, std::string_view key,
                        std::string_view value) {
  return IniText(content).WithValue(section, key, value);
}

}  // namespace velmora
