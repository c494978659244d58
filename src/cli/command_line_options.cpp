#include "cli/command_line_options.h"

#include <string_view>

#include "config/text.h"

namespace velmora {
namespace {

ParsedCommandLine UsageError(std::string message) {
  return {std::nullopt, std::move(message)};
}

// "app/" (as a shell completes a folder) names the folder "app".
std::string WithoutTrailingSlash(const std::string& path) {
  std::string_view trimmed = WithoutTrailingSlashes(path);
  return trimmed.empty() ? path : std::string(trimmed);
}

std::optional<int> SignerTypeFrom(std::string_view text) {
  if (text == "0" || text == "1" || text == "2") return text[0] - '0';
  return std::nullopt;
}

// Checks that the options and the positional arguments go together.
ParsedCommandLine Validate(CommandLineOptions options, std::vector<std::string> positional) {
  using Mode = CommandLineOptions::Mode;
  if (options.mode == Mode::kHelp) return {options, ""};
  if (options.mode == Mode::kList) {
    if (!positional.empty()) return UsageError("--list takes no section or source");
    return {options, ""};
  }
  if (options.mode == Mode::kRunSection) {
    if (positional.empty()) return UsageError("no section given");
    options.section = positional.front();
    positional.erase(positional.begin());
  } else if (positional.empty()) {
    return UsageError("--build-sign needs at least one source");
  }
  for (const std::string& source : positional)
    options.sources.push_back(WithoutTrailingSlash(source));
  // "z.apk/" is the file z.apk to a Java tool, so it must be checked as that
  // file: as given, neither the existing-file nor the same-file check sees it.
  if (options.output) options.output = WithoutTrailingSlash(*options.output);
  if (options.output && options.sources.size() > 1) {
    return UsageError("--output names one destination, so it cannot go with several sources");
  }
  return {options, ""};
}

}  // namespace

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
  using Mode = CommandLineOptions::Mode;
  CommandLineOptions options;
  std::vector<std::string> positional;
  bool optionsEnded = false;

  for (std::size_t i = 0; i < arguments.size(); ++i) {
    std::string argument = arguments[i];
    if (optionsEnded || !argument.starts_with('-') || argument == "-") {
      positional.push_back(argument);
      continue;
    }
    std::optional<std::string> attached;
    if (std::size_t equals = argument.find('=');
        argument.starts_with("--") && equals != argument.npos) {
      attached = argument.substr(equals + 1);
      argument.erase(equals);
    }
    auto value = [&]() -> std::optional<std::string> {
      if (attached) return attached;
      if (i + 1 < arguments.size()) return arguments[++i];
      return std::nullopt;
    };

    if (argument == "--") {
      optionsEnded = true;
    } else if (argument == "--help" || argument == "-h") {
      options.mode = Mode::kHelp;
    } else if (argument == "--list") {
      if (options.mode == Mode::kBuildSign)
        return UsageError("--list and --build-sign exclude each other");
      if (options.mode != Mode::kHelp) options.mode = Mode::kList;
    } else if (argument == "--build-sign") {
      if (options.mode == Mode::kList)
        return UsageError("--list and --build-sign exclude each other");
      if (options.mode != Mode::kHelp) options.mode = Mode::kBuildSign;
    } else if (argument == "--force" || argument == "-f") {
      options.force = true;
    } else if (argument == "--ini") {
      options.iniPath = value();
      if (!options.iniPath || options.iniPath->empty()) return UsageError("--ini needs a file");
    } else if (argument == "--output" || argument == "-o") {
      options.output = value();
      if (!options.output || options.output->empty()) return UsageError("--output needs a path");
    } else if (argument == "--signer") {
      std::optional<std::string> text = value();
      options.signerType = text ? SignerTypeFrom(*text) : std::nullopt;
      if (!options.signerType) return UsageError("--signer takes 0, 1 or 2");
    } else {
      return UsageError("unknown option " + argument);
    }
  }
  return Validate(std::move(options), std::move(positional));
}

}  // namespace velmora
