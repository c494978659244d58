#pragma once

#include <string_view>

#include "apk/format_error.h"
#include "apk/table_model.h"

namespace velmora::apk {

// Reads the resources table at the front of `bytes` (bytes after it are
// ignored). Fails, saying what is wrong (the caller names the file), on any
// count, offset or size that does not fit, on a string or key index past its
// pool, on a chunk it does not know, and on every entry encoding that it could
// not write back as it was: sparse type chunks, 16-bit entry offsets and
// compact entries are refused by name.
Parsed<Table> ReadTable(std::string_view bytes);

}  // namespace velmora::apk
