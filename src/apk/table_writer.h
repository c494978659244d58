#pragma once

#include <string>

#include "apk/table_model.h"

namespace velmora::apk {

// The resources table for `table`, every size, offset and offsets table
// computed anew: a package header of the current size, its type-name and key
// pools first, then each type's typeSpec chunk followed by its type chunks in order of
// type id, then the kept chunks as they were read.
std::string WriteTable(const Table& table);

}  // namespace velmora::apk
