#include "config/placeholders.h"

#include <algorithm>
#include <array>
#include <functional>

#include "config/text.h"
#include "config/tool_locations.h"

namespace velmora {
namespace {

// Expansions that would never stop changing are caught by these bounds. No
// expansion that ends needs anywhere near as many passes, and no text this
// long could be started as a command line anyway.
constexpr int kMaxPasses = 100;
constexpr std::size_t kMaxExpandedBytes = 1 << 20;

struct Placeholder {
  std::string_view name;
  std::function<std::string()> value;
};

bool SameLetterIgnoringCase(char a, char b) {
  return LowerAsciiChar(a) == LowerAsciiChar(b);
}

// One left-to-right scan: every occurrence of `name` (any ASCII case) is
// replaced, and the inserted text is not looked at again.
std::string ReplaceEveryOccurrence(std::string_view text, std::string_view name,
                                   std::string_view value) {
  std::string result;
  auto rest = text.begin();
  for (;;) {
    auto found = std::search(rest, text.end(), name.begin(), name.end(), SameLetterIgnoringCase);
    result.append(rest, found);
    if (found == text.end()) return result;
    result.append(value);
    rest = found + static_cast<std::ptrdiff_t>(name.size());
  }
}

}  // namespace

std::optional<std::string> ExpandPlaceholders(const Settings& settings,
                                              std::string_view templateText,
                                              std::string_view source,
                                              std::string_view destination) {
  auto keystoreValue = [&settings](std::string_view key) {
    return [&settings, key] { return settings.ReadSetting("KeystoreFile", key, ""); };
  };
  const std::array<Placeholder, 10> placeholders{{
      {"%JAVA_HOME%", [&settings] { return ResolveJavaHome(settings); }},
      {"%apktool_path%", [&settings] { return ResolveApktoolPath(settings); }},
      {"%framework_path%", [&settings] { return ResolveFrameworkPath(settings); }},
      {"%CurrentDir%", [&settings] { return settings.ResolveCurrentDir(); }},
      {"%SourceFile%", [source] { return std::string(source); }},
      {"%DestFile%", [destination] { return std::string(destination); }},
      {"%keystore%", keystoreValue("keystore")},
      {"%storepass%", keystoreValue("storepass")},
      {"%keypass%", keystoreValue("keypass")},
      {"%alias%", keystoreValue("alias")},
  }};

  std::string text(templateText);
  for (int pass = 0; pass < kMaxPasses && text.size() <= kMaxExpandedBytes; ++pass) {
    std::string before = text;
    for (const Placeholder& placeholder : placeholders) {
      text = ReplaceEveryOccurrence(text, placeholder.name, placeholder.value());
    }
    if (text == before) return text;
  }
  return std::nullopt;
}

std::string ExpansionNeverEndsMessage(std::string_view templateText) {
  return "替换占位符 " + std::string(templateText) + " 无法结束，请检查";
}

}  // namespace velmora
