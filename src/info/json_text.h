#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace velmora::info {

// A JSON value to print: null, a boolean, an integer, text, an array or an
// object whose keys keep the order they were added in.
class Json {
 public:
  using Array = std::vector<Json>;
  using Object = std::vector<std::pair<std::string, Json>>;

  Json() = default;
  Json(bool value) : value_(value) {}
  Json(std::int64_t value) : value_(value) {}
  Json(std::string value) : value_(std::move(value)) {}
  Json(const char* value) : value_(std::string(value)) {}
  Json(Array value) : value_(std::move(value)) {}
  Json(Object value) : value_(std::move(value)) {}

  // A value that may be absent: null when it is.
  template <typename T>
  static Json Maybe(const std::optional<T>& value) {
    return value ? Json(*value) : Json();
  }
  static Json Strings(const std::vector<std::string>& values);

  // The value as text, indented by two blanks a level. Text is escaped as
  // JSON requires; each byte that is not part of valid UTF-8 becomes U+FFFD.
  std::string Print(int indent = 0) const;

 private:
  std::variant<std::monostate, bool, std::int64_t, std::string, Array, Object> value_;
};

}  // namespace velmora::info
