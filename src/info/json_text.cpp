#include "info/json_text.h"

#include <cstdio>

namespace velmora::info {
namespace {

std::string Quoted(std::string_view text) {
  std::string quoted = "\"";
  for (char c : text) {
    switch (c) {
      case '"':
        quoted += "\\\"";
        break;
      case '\\':
        quoted += "\\\\";
        break;
      case '\n':
        quoted += "\\n";
        break;
      case '\r':
        quoted += "\\r";
        break;
      case '\t':
        quoted += "\\t";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
          quoted += escaped;
        } else {
          quoted.push_back(c);
        }
    }
  }
  return quoted + "\"";
}

}  // namespace

Json Json::Strings(const std::vector<std::string>& values) {
  return Array(values.begin(), values.end());
}

std::string Json::Print(int indent) const {
  const std::string inner(2 * (indent + 1), ' ');
  const std::string outer(2 * indent, ' ');
  if (std::holds_alternative<std::monostate>(value_)) return "null";
  if (const bool* value = std::get_if<bool>(&value_)) return *value ? "true" : "false";
  if (const auto* value = std::get_if<std::int64_t>(&value_)) return std::to_string(*value);
  if (const auto* value = std::get_if<std::string>(&value_)) return Quoted(*value);
  if (const auto* array = std::get_if<Array>(&value_)) {
    if (array->empty()) return "[]";
    std::string text = "[\n";
    for (std::size_t i = 0; i < array->size(); ++i) {
      text += inner + (*array)[i].Print(indent + 1) + (i + 1 < array->size() ? ",\n" : "\n");
    }
    return text + outer + "]";
  }
  const Object& object = std::get<Object>(value_);
  if (object.empty()) return "{}";
  std::string text = "{\n";
  for (std::size_t i = 0; i < object.size(); ++i) {
    text += inner + Quoted(object[i].first) + ": " + object[i].second.Print(indent + 1) +
            (i + 1 < object.size() ? ",\n" : "\n");
  }
  return text + outer + "}";
}

}  // namespace velmora::info
