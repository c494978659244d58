#include "exec/output_sink.h"

namespace velmora {

void OutputSink::AppendToolText(std::string_view text) {
  for (std::size_t lineEnd = text.find('\n'); lineEnd != std::string_view::npos;
       lineEnd = text.find('\n')) {
    unfinishedLine_ += text.substr(0, lineEnd);
    AppendLine(unfinishedLine_);
    unfinishedLine_.clear();
    text.remove_prefix(lineEnd + 1);
  }
  unfinishedLine_ += text;
}

}  // namespace velmora
