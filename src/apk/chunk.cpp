#include "apk/chunk.h"

#include <algorithm>
#include <cstdio>

namespace velmora::apk {

Parsed<Chunk> ReadChunk(std::string_view parent, std::size_t offset, std::size_t minHeaderSize,
                        std::string_view what) {
  if (!Fits(parent, offset, kChunkHeaderSize)) {
    return FormatError{std::string(what) + "被截断：块头超出了所在数据的末尾"};
  }
  Chunk chunk{U16At(parent, offset), U16At(parent, offset + 2), {}};
  const std::uint32_t size = U32At(parent, offset + 4);
  if (chunk.headerSize < std::max<std::size_t>(minHeaderSize, kChunkHeaderSize) ||
      size < chunk.headerSize) {
    return FormatError{std::string(what) + "的块头大小不对"};
  }
  if (!Fits(parent, offset, size)) {
    return FormatError{std::string(what) + "被截断：块的大小超出了所在数据的末尾"};
  }
  chunk.bytes = parent.substr(offset, size);
  return chunk;
}

std::string Hex(std::uint32_t value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%0*x", digits, value);
  return text;
}

std::size_t BeginChunk(std::string& out, std::uint16_t type, std::uint16_t headerSize) {
  const std::size_t start = out.size();
  AppendU16(out, type);
  AppendU16(out, headerSize);
  AppendU32(out, 0);
  return start;
}

void FinishChunk(std::string& out, std::size_t start) {
  PadToFour(out);
  PutU32(out, start + 4, static_cast<std::uint32_t>(out.size() - start));
}

}  // namespace velmora::apk
