// Feeds arbitrary bytes to the resources-table merge: the input is a base's
// table followed by the tables of its splits, one after the other (each found
// by its size field). Besides not crashing, a merged table must read back and
// come out of a merge with nothing byte for byte the same; looking values up
// in the base's table takes any input.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "apk/chunk.h"
#include "apk/resource_lookup.h"
#include "apk/resource_table.h"

using velmora::apk::MergedTable;
using velmora::apk::NamedTable;

namespace {

// The input cut into tables at their size fields.
std::vector<std::string_view> Tables(std::string_view input) {
  std::vector<std::string_view> tables;
  while (!input.empty()) {
    std::size_t size = input.size();
    if (velmora::apk::Fits(input, 0, 8)) {
      size = velmora::apk::U32At(input, 4);
      if (size < 8 || size > input.size()) size = input.size();
    }
    tables.push_back(input.substr(0, size));
    input.remove_prefix(size);
  }
  return tables;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::string_view> tables =
      Tables(std::string_view(reinterpret_cast<const char*>(data), size));
  if (tables.empty()) return 0;
  // The lookup reads any table and resolves any id without reading past it.
  auto lookup = velmora::apk::ResourceLookup::Read(tables[0]);
  if (const auto* read = std::get_if<velmora::apk::ResourceLookup>(&lookup)) {
    for (std::uint32_t id : {0x7f010000u, 0x7f020000u, 0x7f030001u, 0x7f040002u, 0x01010000u}) {
      (void)read->Resolve(id);
    }
  }
  std::vector<NamedTable> splits;
  for (std::size_t i = 1; i < tables.size(); ++i) splits.push_back({"split.apk", tables[i]});

  auto merged = velmora::apk::MergeResourceTables({"base.apk", tables[0]}, splits);
  if (merged.index() != 0) return 0;
  const std::string& bytes = std::get<MergedTable>(merged).bytes;
  auto again = velmora::apk::MergeResourceTables({"merged.apk", bytes}, {});
  if (again.index() != 0 || std::get<MergedTable>(again).bytes != bytes) std::abort();
  return 0;
}
