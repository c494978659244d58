#pragma once

#include <string>
#include <variant>

namespace velmora::apk {

// Why a package, a set or one of their parts could not be read or merged, in
// one line for the user: it names the file and what is wrong with it
// ("config.xxhdpi.apk: resources.arsc: sparse entries are not supported").
struct FormatError {
  std::string message;
};

// What the readers and writers of this library return: a value, or why not.
// Malformed input is an expected failure here, never an exception or a crash.
template <typename T>
using Parsed = std::variant<T, FormatError>;

}  // namespace velmora::apk
