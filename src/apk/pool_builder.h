#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "apk/string_pool.h"

namespace velmora::apk {

// Marks an index of a split's pool that has not been added yet.
inline constexpr std::uint32_t kNotAdded = 0xFFFFFFFF;

// A pool of plain strings (type names, keys) that starts as the base's, so
// the base's indices stay as they are, and grows by the strings that splits
// add, each text once.
class PlainPoolBuilder {
 public:
  explicit PlainPoolBuilder(StringPool base);

  // The index of `text`, added at the end when the pool lacks it.
  std::uint32_t Add(const std::string& text);
  const std::string& operator[](std::uint32_t index) const { return pool_.strings[index]; }
  // The pool; sorted only when nothing was added to the base's.
  StringPool Finish() &&;

 private:
  StringPool pool_;
  std::size_t baseSize_ = 0;
  std::unordered_map<std::string, std::uint32_t> indexOf_;
};

// The global value pool of a merged table. Ids given out are the base's
// indices for the base's strings and new ids past them for what splits add
// (a string with the same text and spans as one already in is not added
// again). Finish puts the styled strings first, as the format requires, and
// says where each id ended up, so every reference can be re-indexed.
class ValuePoolBuilder {
 public:
  // `expectedAdds`: about how many strings splits will offer, so the lookup
  // table is sized once.
  ValuePoolBuilder(StringPool base, std::size_t expectedAdds);

  // The id of string `index` of `from`, a split's pool; `memo` (one slot per
  // string of `from`, kNotAdded at first) spares looking the same one up twice.
  std::uint32_t Add(const StringPool& from, std::uint32_t index, std::vector<std::uint32_t>& memo);

  struct Result {
    StringPool pool;
    std::vector<std::uint32_t> indexOf;  // the final index of each id
  };
  Result Finish() &&;

 private:
  std::uint32_t AddPlain(const std::string& text);
  std::string StyledKey(const std::string& text, const std::vector<StyleSpan>& spans) const;

  StringPool base_;
  std::vector<std::string> added_;
  std::vector<std::vector<StyleSpan>> addedSpans_;  // span names are ids
  std::unordered_map<std::string, std::uint32_t> plain_;
  std::unordered_map<std::string, std::uint32_t> styled_;
};

}  // namespace velmora::apk
