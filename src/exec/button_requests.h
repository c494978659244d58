#pragma once

#include <optional>
#include <string_view>

#include "config/settings.h"
#include "exec/command_pipeline.h"
#include "exec/run_request.h"
#include "exec/window_operations.h"

namespace velmora {

// Whether `section` is one of the user's own, UserDefine1 … UserDefine13 (any
// ASCII case).
bool IsUserDefinedSection(std::string_view section);

// The request a command button makes for `section`: the button's destination
// tag and extension (for UserDefine1 … UserDefine13 the section's DestFileName
// and DestFileExt, read now), an empty source and destination, the output
// cleared and copying allowed. A section no button runs gets no tag and no
// extension.
RunRequest ButtonRequestFor(std::string_view section, const Settings& settings);

struct RebuildThenSignReport {
  RunReport rebuild;
  std::optional<RunReport> signing;  // nothing when the rebuild did not succeed
};

// The rebuild-and-sign button: rebuilds into NAME_mod_signed.apk (the save
// prompt asks where), then, when the rebuild's tool ran and exited with status
// 0, appends an empty line and signs the rebuilt package in place, without a
// prompt or a copy. When the rebuild's tool did not succeed, whatever lies at
// the destination (an older package, say) is not signed: a line says that
// signing was skipped. A rebuild that stopped before its tool (the prompt
// cancelled) ends the chain without a word.
RebuildThenSignReport RebuildThenSign(const Settings& settings, WindowOperations& window);

}  // namespace velmora
