#pragma once

#include <optional>
#include <string>
#include <vector>

namespace velmora {

// What velmora-run was asked to do.
struct CommandLineOptions {
  enum class Mode { kRunSection, kBuildSign, kList, kHelp };
  Mode mode = Mode::kRunSection;
  std::optional<std::string> iniPath;
  std::optional<int> signerType;      // 0, 1 or 2
  std::optional<std::string> output;  // the one destination, instead of the proposed one
  bool force = false;                 // an existing destination may be replaced
  std::string section;
  std::vector<std::string> sources;  // trailing "/" removed
};

// The options, or the reason the arguments make no sense (a usage error).
struct ParsedCommandLine {
  std::optional<CommandLineOptions> options;
  std::string error;
};

// Parses the arguments after the program name.
ParsedCommandLine ParseCommandLine(const std::vector<std::string>& arguments);

}  // namespace velmora
