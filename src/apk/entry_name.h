#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace velmora::apk {

// Why an archive's entry name must not be used as a relative path below a
// folder (and so is no name any APK may hold), or nothing when it may: it is
// empty, holds a NUL byte or a backslash (another system's separator, which
// turns into one on the way), is absolute, or has a ".." part. The reason is a
// few words for the user.
std::optional<std::string_view> WhyUnsafeEntryName(std::string_view name);

// The name as a line for the user can show it: a NUL byte written as "\0".
std::string ShownEntryName(std::string_view name);

}  // namespace velmora::apk
