#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "apk/format_error.h"

namespace velmora::apk {

// A resources table (resources.arsc) with the name of the APK it came from,
// which every message about it names.
struct NamedTable {
  std::string_view apkName;
  std::string_view bytes;
};

struct MergedTable {
  std::string bytes;               // the merged resources.arsc
  std::vector<std::string> notes;  // lines worth showing the user, one per note
};

// Merges the tables of a set's config splits into the base's. Config splits
// use the base's package id, type ids and entry indices, so nothing is
// renumbered: each split's type chunks join the base's type, a configuration
// both hold is merged entry by entry (the base's entry wins where both define
// one), the global value string pool and the key and type-name pools are
// rebuilt with every string reference re-indexed, the typeSpec flags are
// combined (and given the configuration fields each entry's values now differ
// in), and every size and offset is computed anew. A note names the entries
// where a split's value differed from the base's and was left out.
//
// Fails, naming the APK and the reason, on a malformed table (a count or
// offset past its chunk, a chunk that does not fit its parent), on a package
// whose id or name differs from the base's (a feature split), and on any
// entry encoding it does not write back faithfully (sparse or compact
// entries, 16-bit offsets), which is refused rather than written wrong. Also
// refused: a split whose entry names differ from the base's at the same ids
// (another build), and a split's library, overlayable or alias chunk that the
// base does not hold the same.
Parsed<MergedTable> MergeResourceTables(NamedTable base, std::span<const NamedTable> splits);

}  // namespace velmora::apk
