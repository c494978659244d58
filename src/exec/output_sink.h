#pragma once

#include <string_view>

namespace velmora {

// Where a run's lines go: the window's output area, standard output, a test.
class OutputSink {
 public:
  virtual ~OutputSink() = default;
  // Appends one line; a text holding line breaks shows as several lines.
  virtual void AppendLine(std::string_view line) = 0;
};

}  // namespace velmora
