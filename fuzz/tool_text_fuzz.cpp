// Feeds arbitrary tool output to the decoder, cut into reads at arbitrary
// places. However the reads fall, the text shown must be the same as for one
// read of everything, must hold no CR and no NUL, and must end with a line
// break.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "exec/tool_text.h"

namespace {

std::string DecodeInReads(std::string_view bytes, std::string_view cuts) {
  velmora::ToolTextDecoder decoder;
  std::string text;
  for (const unsigned char cut : cuts) {
    const std::size_t size = cut % (bytes.size() + 1);
    decoder.Decode(bytes.substr(0, size), text);
    bytes.remove_prefix(size);
  }
  decoder.Decode(bytes, text);
  decoder.Finish(text);
  return text;
}

}  // namespace

// The first byte says how many of the next bytes give the read sizes; the rest
// is the output.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t cutCount =
      std::min<std::size_t>(static_cast<unsigned char>(input[0]) % 16, input.size() - 1);
  const std::string_view cuts = input.substr(1, cutCount);
  const std::string_view bytes = input.substr(1 + cutCount);

  const std::string whole = DecodeInReads(bytes, {});
  const std::string pieces = DecodeInReads(bytes, cuts);
  if (pieces != whole) std::abort();
  if (whole.find_first_of(std::string_view("\r\0", 2)) != std::string::npos) std::abort();
  if (!whole.empty() && whole.back() != '\n') std::abort();
  return 0;
}
