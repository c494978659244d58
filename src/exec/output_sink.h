#pragma once

#include <string>
#include <string_view>

namespace velmora {

// Where a run's output goes: the window's output area, standard output, a test.
class OutputSink {
 public:
  virtual ~OutputSink() = default;
  // Appends one line of the program's own (a banner, a message). It starts on
  // a line of its own, even after tool text that ended in the middle of a
  // line; a text holding line breaks shows as several lines.
  virtual void AppendLine(std::string_view line) = 0;
  // Appends text a tool wrote, as ToolTextDecoder gives it: UTF-8 that is
  // never cut inside a character, "\n" ending each line, and possibly ending
  // in the middle of a line, which the next tool text then continues. The
  // text of a run always ends with a line break once the run is over.
  // By default each line is passed to AppendLine once it is complete, for
  // sinks that take whole lines only.
  virtual void AppendToolText(std::string_view text);

 private:
  std::string unfinishedLine_;
};

}  // namespace velmora
