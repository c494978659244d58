#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace velmora::apk {

// A resource configuration (ResTable_config) as a type chunk stores it: its
// size field first, then as many of the fields as that size covers. Older
// builders wrote shorter configurations; a field they lack is zero ("any").

// A key equal for two configurations exactly when they select the same
// devices, whatever sizes they were written with.
std::string ConfigKey(std::string_view config);

// The configuration-change flags (CONFIG_MCC, CONFIG_LOCALE, CONFIG_DENSITY,
// ...) of every field in which `a` and `b` differ: what a typeSpec chunk
// records for an entry that has values in both.
std::uint32_t ConfigDiff(std::string_view a, std::string_view b);

}  // namespace velmora::apk
