#include "info/json_text.h"

#include <cstdio>

namespace velmora::info {
namespace {

// How many bytes of `text` from `at` make one UTF-8 sequence of a Unicode
// scalar value; 0 when none starts there (a stray byte, a sequence cut short
// or too long for its value, an encoded surrogate, a value past U+10FFFF).
std::size_t Utf8SequenceLength(std::string_view text, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
  const unsigned char lead = byte(0);
  std::size_t length = 0;
  std::uint32_t value = 0;
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead < 0xE0) {
    length = 2, value = lead & 0x1F;
  } else if (lead >= 0xE0 && lead < 0xF0) {
    length = 3, value = lead & 0x0F;
  } else if (lead >= 0xF0 && lead < 0xF5) {
    length = 4, value = lead & 0x07;
  } else {
    return 0;
  }
  if (text.size() - at < length) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return 0;
    value = value << 6 | (byte(i) & 0x3F);
  }
  const std::uint32_t least = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
  if (value < least || value > 0x10FFFF || (value >= 0xD800 && value < 0xE000)) return 0;
  return length;
}

std::string Quoted(std::string_view text) {
  std::string quoted = "\"";
  for (std::size_t at = 0; at < text.size(); ++at) {
    const char c = text[at];
    if (static_cast<unsigned char>(c) >= 0x80) {
      // JSON is UTF-8 text: a file name or an archive's entry name that is
      // not UTF-8 gets U+FFFD for each byte that starts no sequence, as
      // readers of JSON would otherwise refuse the whole document.
      const std::size_t length = Utf8SequenceLength(text, at);
      if (length == 0) {
        quoted += "\xEF\xBF\xBD";
      } else {
        quoted.append(text.substr(at, length));
        at += length - 1;
      }
      continue;
    }
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
