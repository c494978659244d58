#include <unistd.h>

#include <string>
#include <utility>
#include <vector>

#include "exec/argument_line.h"
#include "exec/child_process.h"
#include "exec/process_runner.h"
#include "exec/program_files.h"

namespace velmora {
namespace {

// What the desktop would run for `target`: the file itself when it is a
// program, a program of that bare name on PATH when nothing of that name is
// here; otherwise nothing (the target is a document, a folder or a URL).
std::string ProgramNamedBy(const std::string& target) {
  if (IsProgramFile(target)) {
    return target;
  }
  const bool bareName = target.find('/') == std::string::npos;
  if (bareName && ::access(target.c_str(), F_OK) != 0) {
    const std::string program = FindOnPath(target);
    return IsProgramFile(program) ? program : std::string();
  }
  return {};
}

}  // namespace

void ShellOpen(std::string_view command, std::string_view argumentLine, OpenTarget origin) {
  const std::string target(command);
  if (target.empty()) {
    return;
  }
  const std::string program =
      origin == OpenTarget::kNamedByTemplate ? ProgramNamedBy(target) : std::string();
  if (!program.empty()) {
    std::vector<std::string> arguments{target};
    for (std::string& argument : SplitArguments(argumentLine)) {
      arguments.push_back(std::move(argument));
    }
    StartDetached(program, arguments);
    return;
  }
  if (const std::string opener = FindOnPath("xdg-open"); !opener.empty()) {
    StartDetached(opener, {"xdg-open", target});
  }
}

}  // namespace velmora
