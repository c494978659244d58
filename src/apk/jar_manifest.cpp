#include "apk/jar_manifest.h"

#include "config/text.h"

namespace velmora::apk {
namespace {

// The next line of `bytes` from `offset`: its text, and where the line after
// it starts.
std::pair<std::string_view, std::size_t> LineAt(std::string_view bytes, std::size_t offset) {
  const std::size_t end = bytes.find_first_of("\r\n", offset);
  if (end == std::string_view::npos) return {bytes.substr(offset), bytes.size()};
  std::size_t next = end + 1;
  if (bytes[end] == '\r' && next < bytes.size() && bytes[next] == '\n') ++next;
  return {bytes.substr(offset, end - offset), next};
}

}  // namespace

std::optional<std::string_view> JarSection::Attribute(std::string_view name) const {
  const std::string wanted = LowerAscii(std::string(name));
  for (const auto& [attribute, value] : attributes) {
    if (LowerAscii(attribute) == wanted) return std::string_view(value);
  }
  return std::nullopt;
}

Parsed<std::vector<JarSection>> ReadJarManifest(std::string_view bytes) {
  std::vector<JarSection> sections(1);
  bool inSection = true;  // the main section starts at once, even when empty
  std::size_t lineNumber = 0;
  for (std::size_t offset = 0; offset < bytes.size();) {
    const auto [line, next] = LineAt(bytes, offset);
    ++lineNumber;
    JarSection& section = sections.back();
    if (line.empty()) {
      if (inSection) section.size = next - section.offset;
      inSection = false;
    } else if (line.front() == ' ') {
      if (!inSection || section.attributes.empty()) {
        return FormatError{"第 " + std::to_string(lineNumber) + " 行的续行前面没有属性"};
      }
      section.attributes.back().second += line.substr(1);
    } else {
      const std::size_t colon = line.find(": ");
      if (colon == std::string_view::npos || colon == 0) {
        return FormatError{"第 " + std::to_string(lineNumber) + " 行不是“名称: 值”"};
      }
      if (!inSection) {
        sections.push_back(JarSection{{}, offset, 0});
        inSection = true;
      }
      sections.back().attributes.emplace_back(line.substr(0, colon), line.substr(colon + 2));
    }
    if (inSection) sections.back().size = next - sections.back().offset;
    offset = next;
  }
  for (std::size_t i = 1; i < sections.size(); ++i) {
    if (sections[i].Name().empty()) return FormatError{"清单中有一节没有 Name 属性"};
  }
  return sections;
}

}  // namespace velmora::apk
