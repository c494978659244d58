#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "apk/format_error.h"

namespace velmora::apk {

// The chunk types of the resources table and binary XML that this library
// reads or writes. The binary layout follows AOSP's ResourceTypes.h (Debian
// ships it in android-libandroidfw-dev).
enum ChunkType : std::uint16_t {
  kStringPoolChunk = 0x0001,
  kTableChunk = 0x0002,
  kXmlChunk = 0x0003,
  kPackageChunk = 0x0200,
  kTypeChunk = 0x0201,
  kTypeSpecChunk = 0x0202,
  kLibraryChunk = 0x0203,
  kOverlayableChunk = 0x0204,
  kStagedAliasChunk = 0x0206,
};

// The size of the header that every chunk starts with (ResChunk_header).
inline constexpr std::uint16_t kChunkHeaderSize = 8;

// Whether `length` bytes from `offset` lie inside `bytes`; the sum is taken in
// 64 bits, so offsets and counts read from a file cannot wrap around.
inline bool Fits(std::string_view bytes, std::uint64_t offset, std::uint64_t length) {
  return offset <= bytes.size() && length <= bytes.size() - offset;
}

// Little-endian values at `offset`, which the caller has checked with Fits.
inline std::uint8_t U8At(std::string_view bytes, std::size_t offset) {
  return static_cast<std::uint8_t>(bytes[offset]);
}
inline std::uint16_t U16At(std::string_view bytes, std::size_t offset) {
  return static_cast<std::uint16_t>(U8At(bytes, offset) | U8At(bytes, offset + 1) << 8);
}
inline std::uint32_t U32At(std::string_view bytes, std::size_t offset) {
  return static_cast<std::uint32_t>(U16At(bytes, offset)) |
         static_cast<std::uint32_t>(U16At(bytes, offset + 2)) << 16;
}

inline void AppendU8(std::string& out, std::uint8_t value) {
  out.push_back(static_cast<char>(value));
}
inline void AppendU16(std::string& out, std::uint16_t value) {
  AppendU8(out, static_cast<std::uint8_t>(value));
  AppendU8(out, static_cast<std::uint8_t>(value >> 8));
}
inline void AppendU32(std::string& out, std::uint32_t value) {
  AppendU16(out, static_cast<std::uint16_t>(value));
  AppendU16(out, static_cast<std::uint16_t>(value >> 16));
}
inline void PutU32(std::string& out, std::size_t offset, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out[offset + i] = static_cast<char>(value >> (8 * i));
}
// Pads `out` with zero bytes to a multiple of four.
inline void PadToFour(std::string& out) {
  out.resize((out.size() + 3) / 4 * 4, '\0');
}

// How many bytes the values read from a chunk may add up to. Offsets may
// share one string or entry, so the sum can exceed the chunk; the bound keeps
// many offsets onto one long value from growing memory and time far past the
// input.
class DecodeBudget {
 public:
  explicit DecodeBudget(std::size_t chunkSize) : left_(16 * std::uint64_t{chunkSize} + 65536) {}

  // Takes `bytes` from what is left; false, taking nothing, when too few are.
  bool Spend(std::uint64_t bytes) {
    if (bytes > left_) return false;
    left_ -= bytes;
    return true;
  }

 private:
  std::uint64_t left_;
};

// A chunk: its type, the size of its header, and all of its bytes (header,
// data and children), bounded by its size field.
struct Chunk {
  std::uint16_t type = 0;
  std::uint16_t headerSize = 0;
  std::string_view bytes;
};

// The chunk at `offset` of `parent`, checked to fit: a header of at least
// `minHeaderSize` bytes (and never less than the 8 of the common header), a
// size that holds the header, and an end inside `parent`. `what` names the
// chunk in the message.
Parsed<Chunk> ReadChunk(std::string_view parent, std::size_t offset, std::size_t minHeaderSize,
                        std::string_view what);

// `value` in hexadecimal with at least `digits` digits ("0x7f"), for messages.
std::string Hex(std::uint32_t value, int digits);

// Starts a chunk at the end of `out`: type and header size, and a size field
// that FinishChunk fills in. Returns where the chunk starts.
std::size_t BeginChunk(std::string& out, std::uint16_t type, std::uint16_t headerSize);
// Pads the chunk started at `start` to four bytes and writes its size.
void FinishChunk(std::string& out, std::size_t start);

}  // namespace velmora::apk
