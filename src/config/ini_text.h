#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// The settings file's format, worked on as bytes in memory.
//
// Hand-written on purpose: no well-kept library keeps these matching rules
// (names equal without regard to ASCII case, the first section and the first
// key of a name win, one pair of enclosing quotes dropped, values cut at 2047
// bytes) together with a write that leaves every other byte of the file as it
// was. Lines end with LF or CRLF; a UTF-8 byte-order mark at the start is
// skipped; lines before the first section and lines without "=" are ignored;
// a section header without "]" names the rest of its line.

namespace velmora {

// Values are cut to this many bytes, as a reader with a 2048-byte buffer sees them.
inline constexpr std::size_t kMaxValueBytes = 2047;

// The text of a settings file split into its lines and sections once, so that
// any number of lookups each cost the length of the section looked in, never
// that of the whole file: listing 50,000 sections stays linear. It views
// `content`, which must outlive it.
class IniText {
 public:
  explicit IniText(std::string_view content);

  // The value of `key` in the first section named `section` as written: the
  // text after the first "=", blanks around it removed, one pair of matching
  // enclosing quotes (single or double) dropped. Nothing when the section or
  // the key is missing.
  std::optional<std::string_view> WholeValue(std::string_view section, std::string_view key) const;

  // The names of the sections in the order they first appear, each name once
  // (the first spelling of names that differ only in case).
  const std::vector<std::string>& SectionNames() const { return names_; }

  // The content with the value of `key` in `section` set to `value` (see SetIniValue).
  std::string WithValue(std::string_view section, std::string_view key,
                        std::string_view value) const;

  // One line: [begin, end) is its text without the line ending, `next` is
  // where the following line starts.
  struct Line {
    std::size_t begin;
    std::size_t end;
    std::size_t next;
  };

 private:
  // The first section of a name: [header, end) as indexes into lines_, `end`
  // being the next header of any name or the end of the file.
  struct Span {
    std::size_t header;
    std::size_t end;
  };

  std::string_view TextOf(const Line& line) const;
  const Span* FindSection(std::string_view section) const;
  std::optional<std::size_t> FindKeyLine(const Span& span, std::string_view key) const;
  std::string AppendSection(std::string_view section, std::string_view entry,
                            std::string_view eol) const;

  std::string_view content_;
  std::vector<Line> lines_;
  std::vector<std::string> names_;
  std::unordered_map<std::string, Span> sections_;  // by the name in lower case
};

// IniText(content).WholeValue(section, key), found without indexing the file.
std::optional<std::string_view> FindWholeIniValue(std::string_view content,
                                                  std::string_view section, std::string_view key);

// FindWholeIniValue's value cut to kMaxValueBytes.
std::optional<std::string> FindIniValue(std::string_view content, std::string_view section,
                                        std::string_view key);

// IniText(content).SectionNames().
std::vector<std::string> IniSectionNames(std::string_view content);

// `content` with the value of `key` in `section` set to `value`. Only that
// value changes: the key's spelling, the blanks before the value, comments,
// other lines, line endings and a byte-order mark stay. A missing key is added
// after the last non-blank line of its section, a missing section is added at
// the end. New lines end the way the file's first line does (LF otherwise).
// `section`, `key` and `value` must not contain line breaks.
std::string SetIniValue(std::string_view content, std::string_view section, std::string_view key,
                        std::string_view value);

}  // namespace velmora
