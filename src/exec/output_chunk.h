#pragma once

#include <cstddef>
#include <string_view>

namespace velmora {

// The most one read of a child's output takes; each read shows as one line.
inline constexpr std::size_t kChunkSize = 4096;

// What one chunk of a child's output shows as: its text up to the first NUL
// byte, less one trailing line feed and then one trailing carriage return.
// Inner line breaks stay, so the line may show as several.
std::string_view ChunkAsLine(std::string_view chunk);

}  // namespace velmora
