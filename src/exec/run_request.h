#pragma once

#include <string>

namespace velmora {

// One click's worth of work for RunSection.
struct RunRequest {
  std::string Section = {};      // section of the settings file to run
  std::string Tag = {};          // joined to the proposed destination name
  std::string Extension = {};    // of the proposed destination; dots at either end are ignored
  std::string Source = {};       // empty: take it from the path field
  std::string Destination = {};  // empty: ask for it when the section produces something
  bool ClearOutput = false;
  bool AllowCopy = false;  // honour the section's CopyFile
};

}  // namespace velmora
