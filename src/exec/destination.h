#pragma once

#include <string>
#include <string_view>

#include "config/settings.h"

namespace velmora {

// What the save prompt shows for one run.
struct SavePrompt {
  std::string FileName = {};    // the proposed name, without a directory
  std::string Filter = {};      // "description|pattern|description|pattern…"
  std::string DefaultExt = {};  // with its leading "." (".apk"), or empty
  std::string Title = {};
  bool FolderMode = false;  // the result is a directory to be produced
};

// Builds the prompt for a run of `section` (the section actually used, after
// the signer switch) from the source's file name, the request's tag and its
// extension. Reads the section's SourceFileType and DestFileType; with
// SourceFileType "any" the source's name is used whole when it is a folder.
SavePrompt ProposeDestination(const Settings& settings, std::string_view section,
                              std::string_view source, std::string_view tag,
                              std::string_view extension);

}  // namespace velmora
