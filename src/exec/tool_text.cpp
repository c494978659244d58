#include "exec/tool_text.h"

#include <cstring>

namespace velmora {
namespace {

bool IsContinuationByte(unsigned char byte) {
  return (byte & 0xC0) == 0x80;
}

// How many bytes the UTF-8 character that starts with `lead` has; 0 when it
// starts none of more than one byte.
std::size_t MultiByteLength(unsigned char lead) {
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

// Where a multi-byte character that `bytes` ends in the middle of starts, or
// the size of `bytes` when it ends on a whole character (or on invalid bytes,
// which waiting would not mend).
std::size_t StartOfCutCharacter(std::string_view bytes) {
  const std::size_t lookBack = bytes.size() < 3 ? bytes.size() : 3;
  for (std::size_t back = 1; back <= lookBack; ++back) {
    const auto byte = static_cast<unsigned char>(bytes[bytes.size() - back]);
    if (IsContinuationByte(byte)) continue;
    const std::size_t length = MultiByteLength(byte);
    return length > back ? bytes.size() - back : bytes.size();
  }
  return bytes.size();
}

}  // namespace

void ToolTextDecoder::Decode(std::string_view bytes, std::string& text) {
  const std::size_t before = text.size();
  if (heldCarriageReturn_ && !bytes.empty()) {
    heldCarriageReturn_ = false;
    text += '\n';
    if (bytes.front() == '\n') bytes.remove_prefix(1);
  }
  if (CompleteHeldCharacter(bytes, text)) {
    const std::size_t cut = StartOfCutCharacter(bytes);
    AppendWithLineBreaks(bytes.substr(0, cut), cut == bytes.size(), text);
    if (cut < bytes.size()) {
      heldCharacter_ = bytes.substr(cut);
      heldCharacterLength_ = MultiByteLength(static_cast<unsigned char>(bytes[cut]));
    }
  }
  if (text.size() > before) NoteEnding(text);
}

bool ToolTextDecoder::CompleteHeldCharacter(std::string_view& bytes, std::string& text) {
  if (heldCharacter_.empty()) return true;
  while (heldCharacter_.size() < heldCharacterLength_ && !bytes.empty() &&
         IsContinuationByte(static_cast<unsigned char>(bytes.front()))) {
    heldCharacter_ += bytes.front();
    bytes.remove_prefix(1);
  }
  if (heldCharacter_.size() < heldCharacterLength_ && bytes.empty()) return false;
  // Whole, or broken off by a byte that cannot continue it: either way it
  // waits no longer.
  text += heldCharacter_;
  heldCharacter_.clear();
  return true;
}

// Most output holds neither CR nor NUL; memchr finds that out far faster than
// a loop over every byte, and the bytes are then copied in one piece.
void ToolTextDecoder::AppendWithLineBreaks(std::string_view bytes, bool endsRead,
                                           std::string& text) {
  if (std::memchr(bytes.data(), '\r', bytes.size()) == nullptr &&
      std::memchr(bytes.data(), '\0', bytes.size()) == nullptr) {
    text += bytes;
    return;
  }
  for (std::size_t at = 0; at < bytes.size(); ++at) {
    const char byte = bytes[at];
    if (byte == '\0') continue;
    if (byte != '\r') {
      text += byte;
    } else if (at + 1 == bytes.size() && endsRead) {
      heldCarriageReturn_ = true;
    } else {
      text += '\n';
      if (bytes[at + 1] == '\n') ++at;
    }
  }
}

void ToolTextDecoder::NoteEnding(const std::string& text) {
  lineOpen_ = text.back() != '\n';
}

void ToolTextDecoder::Finish(std::string& text) {
  const std::size_t before = text.size();
  if (heldCarriageReturn_) text += '\n';
  text += heldCharacter_;
  heldCarriageReturn_ = false;
  heldCharacter_.clear();
  if (text.size() > before) NoteEnding(text);
  if (lineOpen_) text += '\n';
  lineOpen_ = false;
}

}  // namespace velmora
