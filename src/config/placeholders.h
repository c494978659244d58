#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "config/settings.h"

namespace velmora {

// Replaces the ten placeholders (%JAVA_HOME%, %apktool_path%, %framework_path%,
// %CurrentDir%, %SourceFile%, %DestFile%, %keystore%, %storepass%, %keypass%,
// %alias%), matched without regard to ASCII case, in that order, one
// left-to-right scan each that never rescans inserted text; whole passes repeat,
// with values read afresh, until a pass changes nothing. Other %names% stay.
//
// Returns nothing when the passes would never stop changing the text (a value
// that contains its own placeholder among other text, a source path whose name
// contains %SourceFile%); ExpansionNeverEndsMessage gives the line to show.
std::optional<std::string> ExpandPlaceholders(const Settings& settings,
                                              std::string_view templateText,
                                              std::string_view source,
                                              std::string_view destination);

// The output-area line that reports a template whose expansion never ends.
std::string ExpansionNeverEndsMessage(std::string_view templateText);

}  // namespace velmora
