#include "exec/child_environment.h"

#include <algorithm>

#include "config/text.h"

namespace velmora {
namespace {

constexpr std::string_view kUtf8Locale = "C.UTF-8";

std::string_view NameOf(std::string_view entry) {
  return entry.substr(0, entry.find('='));
}

std::string_view ValueOf(const std::vector<std::string>& entries, std::string_view name) {
  for (const std::string& entry : entries) {
    if (NameOf(entry) == name && entry.size() > name.size()) {
      return std::string_view(entry).substr(name.size() + 1);
    }
  }
  return {};
}

bool NamesUtf8(std::string_view locale) {
  std::string lowered = LowerAscii(locale);
  return lowered.find("utf-8") != std::string::npos || lowered.find("utf8") != std::string::npos;
}

void Set(std::vector<std::string>& entries, std::string_view name, std::string_view value) {
  std::erase_if(entries, [name](const std::string& entry) { return NameOf(entry) == name; });
  entries.push_back(std::string(name) + "=" + std::string(value));
}

}  // namespace

ChildEnvironment::ChildEnvironment(char* const* environment,
                                   const std::vector<EnvironmentVariable>& settings) {
  for (char* const* entry = environment; entry && *entry; ++entry) entries_.emplace_back(*entry);

  // The character type comes from the first of these that is set and not empty.
  std::string_view all = ValueOf(entries_, "LC_ALL");
  std::string_view characterType = !all.empty() ? all
                                   : !ValueOf(entries_, "LC_CTYPE").empty()
                                       ? ValueOf(entries_, "LC_CTYPE")
                                       : ValueOf(entries_, "LANG");
  if (!NamesUtf8(characterType)) {
    // LC_ALL overrides everything, so it has to change itself; otherwise only
    // the character type changes and the tools keep their language.
    Set(entries_, all.empty() ? "LC_CTYPE" : "LC_ALL", kUtf8Locale);
  }

  for (const EnvironmentVariable& variable : settings) Set(entries_, variable.name, variable.value);

  for (std::string& entry : entries_) pointers_.push_back(entry.data());
  pointers_.push_back(nullptr);
}

}  // namespace velmora
