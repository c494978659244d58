#include "exec/output_chunk.h"

namespace velmora {
namespace {

void RemoveTrailing(std::string_view& text, char c) {
  if (text.ends_with(c)) {
    text.remove_suffix(1);
  }
}

}  // namespace

std::string_view ChunkAsLine(std::string_view chunk) {
  std::string_view text = chunk.substr(0, chunk.find('\0'));
  RemoveTrailing(text, '\n');
  RemoveTrailing(text, '\r');
  return text;
}

}  // namespace velmora
