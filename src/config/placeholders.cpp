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
  bool isPath = false;
};

bool SameLetterIgnoringCase(char a, char b) {
  return LowerAsciiChar(a) == LowerAsciiChar(b);
}

// The template while it is being expanded. Its size is checked as every
// replacement grows it, so values that reference each other many times stop at
// the bound instead of multiplying within one pass.
class Expansion {
 public:
  explicit Expansion(std::string_view templateText) {
    if (!templateText.empty()) pieces_.push_back({std::string(templateText), false});
  }

  const ExpandedTemplate& Pieces() const { return pieces_; }

  // One left-to-right scan of every text piece: each occurrence of `name` (any
  // ASCII case) is replaced by `value`, which is not looked at again; a path
  // value becomes a piece of its own. False when the text outgrows the bound.
  bool Replace(std::string_view name, const std::string& value, bool isPath) {
    ExpandedTemplate result;
    std::size_t size = 0;
    for (TemplatePiece& piece : pieces_) {
      if (piece.isPath) {
        size += Push(result, std::move(piece));
        continue;
      }
      std::string text;
      std::string_view rest = piece.text;
      for (auto found = Find(rest, name); found != rest.npos; found = Find(rest, name)) {
        text.append(rest.substr(0, found));
        if (isPath) {
          size += Push(result, {std::move(text), false});
          size += Push(result, {value, true});
          text.clear();
        } else {
          text.append(value);
        }
        if (size + text.size() > kMaxExpandedBytes) return false;
        rest.remove_prefix(found + name.size());
      }
      text.append(rest);
      size += Push(result, {std::move(text), false});
    }
    pieces_ = std::move(result);
    return true;
  }

 private:
  static std::size_t Find(std::string_view text, std::string_view name) {
    auto found =
        std::search(text.begin(), text.end(), name.begin(), name.end(), SameLetterIgnoringCase);
    return found == text.end() ? text.npos : static_cast<std::size_t>(found - text.begin());
  }

  // Adds a piece, leaving out empty text, and returns what it counts towards
  // the bound (a piece is never free, even an empty path).
  static std::size_t Push(ExpandedTemplate& pieces, TemplatePiece piece) {
    if (piece.text.empty() && !piece.isPath) return 0;
    std::size_t size = piece.text.size() + 1;
    pieces.push_back(std::move(piece));
    return size;
  }

  ExpandedTemplate pieces_;
};

}  // namespace

std::optional<ExpandedTemplate> ExpandTemplate(const Settings& settings,
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
      {"%SourceFile%", [source] { return std::string(source); }, true},
      {"%DestFile%", [destination] { return std::string(destination); }, true},
      {"%keystore%", keystoreValue("keystore")},
      {"%storepass%", keystoreValue("storepass")},
      {"%keypass%", keystoreValue("keypass")},
      {"%alias%", keystoreValue("alias")},
  }};

  Expansion expansion(templateText);
  for (int pass = 0; pass < kMaxPasses; ++pass) {
    ExpandedTemplate before = expansion.Pieces();
    for (const Placeholder& placeholder : placeholders) {
      if (!expansion.Replace(placeholder.name, placeholder.value(), placeholder.isPath)) {
        return std::nullopt;
      }
    }
    if (expansion.Pieces() == before) return expansion.Pieces();
  }
  return std::nullopt;
}

std::optional<std::string> ExpandPlaceholders(const Settings& settings,
                                              std::string_view templateText,
                                              std::string_view source,
                                              std::string_view destination) {
  std::optional<ExpandedTemplate> pieces =
      ExpandTemplate(settings, templateText, source, destination);
  if (!pieces) return std::nullopt;
  return JoinedText(*pieces);
}

std::string JoinedText(const ExpandedTemplate& pieces) {
  std::string text;
  for (const TemplatePiece& piece : pieces) text += piece.text;
  return text;
}

bool HoldsPath(const ExpandedTemplate& pieces) {
  return std::any_of(pieces.begin(), pieces.end(),
                     [](const TemplatePiece& piece) { return piece.isPath; });
}

std::string ExpansionNeverEndsMessage(std::string_view templateText) {
  return "替换占位符 " + std::string(templateText) + " 无法结束，请检查";
}

}  // namespace velmora
