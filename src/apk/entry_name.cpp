#include "apk/entry_name.h"

namespace velmora::apk {
namespace {

bool HasParentPart(std::string_view name) {
  while (!name.empty()) {
    const std::size_t slash = name.find('/');
    if (name.substr(0, slash) == "..") return true;
    name.remove_prefix(slash == std::string_view::npos ? name.size() : slash + 1);
  }
  return false;
}

}  // namespace

std::optional<std::string_view> WhyUnsafeEntryName(std::string_view name) {
  if (name.empty()) return "名称为空";
  if (name.find('\0') != std::string_view::npos) return "名称中有 NUL 字节";
  if (name.find('\\') != std::string_view::npos) return "名称中有反斜杠";
  if (name.starts_with('/')) return "是绝对路径";
  if (HasParentPart(name)) return "名称中有 ..，会指向文件夹之外";
  return std::nullopt;
}

std::string ShownEntryName(std::string_view name) {
  std::string shown;
  for (char c : name) {
    if (c == '\0') {
      shown += "\\0";
    } else {
      shown.push_back(c);
    }
  }
  return shown;
}

}  // namespace velmora::apk
