#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/settings.h"

namespace velmora {

// One stretch of an expanded template: text of the template and the settings,
// or a path the user chose (the value of %SourceFile% or %DestFile%).
struct TemplatePiece {
  std::string text;
  bool isPath = false;

  bool operator==(const TemplatePiece&) const = default;
};

// An expanded template, in order; paths are kept apart from the text around
// them so that the caller can pass them on literally.
using ExpandedTemplate = std::vector<TemplatePiece>;

// Replaces the ten placeholders (%JAVA_HOME%, %apktool_path%, %framework_path%,
// %CurrentDir%, %SourceFile%, %DestFile%, %keystore%, %storepass%, %keypass%,
// %alias%), matched without regard to ASCII case, in that order, one
// left-to-right scan each that never rescans inserted text; whole passes repeat,
// with values read afresh, until a pass changes nothing. Other %names% stay.
//
// `source` and `destination` are file names, which may hold anything: they are
// inserted once, as path pieces, and never looked at for placeholders again.
// Values from the settings file are text pieces and are expanded further by
// the following rows and passes.
//
// Returns nothing when the passes would never stop changing the text (a value
// that contains its own placeholder among other text), or when the text would
// outgrow a megabyte, even within one pass (values that reference each other
// many times); ExpansionNeverEndsMessage gives the line to show.
std::optional<ExpandedTemplate> ExpandTemplate(const Settings& settings,
                                               std::string_view templateText,
                                               std::string_view source,
                                               std::string_view destination);

// ExpandTemplate, its pieces joined into one text.
std::optional<std::string> ExpandPlaceholders(const Settings& settings,
                                              std::string_view templateText,
                                              std::string_view source,
                                              std::string_view destination);

// The pieces joined into one text, paths as they are.
std::string JoinedText(const ExpandedTemplate& pieces);

// Whether a path piece is among the pieces.
bool HoldsPath(const ExpandedTemplate& pieces);

// The output-area line that reports a template whose expansion never ends.
std::string ExpansionNeverEndsMessage(std::string_view templateText);

}  // namespace velmora
