#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "apk/format_error.h"
#include "apk/string_pool.h"
#include "apk/typed_value.h"

namespace velmora::apk {

// A resource's value as a user reads it: a string, or an integer.
struct ResourceValue {
  std::optional<std::string> text;
  std::optional<std::int64_t> number;
};

// Looks resources up in a resources table (resources.arsc) without reading
// the whole of it: every entry encoding Android reads is accepted (sparse
// type chunks, 16-bit offsets and compact entries too), since only the
// entries asked for are decoded.
class ResourceLookup {
 public:
  // Indexes the table at the front of `table`, which must outlive the
  // lookup. Fails on a table, package or type chunk that does not fit, and
  // on a global string pool that cannot be read.
  static Parsed<ResourceLookup> Read(std::string_view table);

  // The value of resource `id` as Android gives it for the default
  // configuration, references followed. A resource without a value there
  // takes the value a configuration closest to the default gives: one that
  // asks only for an Android version (the newest), else the first one
  // without a language, else the first of all, in the table's order.
  // Nothing for an id the table does not hold, a bag, or references that
  // go in a circle.
  std::optional<ResourceValue> Resolve(std::uint32_t id) const;

 private:
  // One type chunk: how close its configuration is to the default (0 for
  // the default itself), the Android version it asks for, and its bytes.
  struct TypeChunkView {
    int rank = 0;
    std::uint16_t version = 0;
    std::string_view bytes;
  };

  std::optional<TypedValue> ValueIn(const TypeChunkView& chunk, std::uint32_t entry) const;
  std::optional<TypedValue> Find(std::uint32_t id) const;

  StringPool values_;
  // Keyed by package id << 8 | type id.
  std::map<std::uint32_t, std::vector<TypeChunkView>> types_;
};

}  // namespace velmora::apk
