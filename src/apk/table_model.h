#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "apk/string_pool.h"
#include "apk/typed_value.h"

namespace velmora::apk {

// A resources table (resources.arsc) held in memory: what the merge changes
// is decoded, the rest kept as bytes. Every string index in it has been
// checked against its pool, so code working on the model can index freely.

inline constexpr std::uint16_t kComplexEntry = 0x0001;  // ResTable_entry::FLAG_COMPLEX
inline constexpr std::uint32_t kNoEntry = 0xFFFFFFFF;

// One name/value pair of a bag (ResTable_map).
struct MapItem {
  std::uint32_t name = 0;
  TypedValue value;

  friend bool operator==(const MapItem&, const MapItem&) = default;
};

// A resource's value in one configuration (ResTable_entry): a single value,
// or with kComplexEntry a bag (style, array, plurals, attribute) of pairs.
struct Entry {
  std::uint16_t flags = 0;
  std::uint32_t key = 0;  // index into the package's key pool
  TypedValue value;       // a single value
  std::uint32_t parent = 0;
  std::vector<MapItem> map;  // a bag's pairs

  bool complex() const { return flags & kComplexEntry; }
  friend bool operator==(const Entry&, const Entry&) = default;
};

// The entries of one type in one configuration (ResTable_type). `slots[i]` is
// the index in `entries` of resource i's entry, or kNoEntry; slots may share
// an entry, as deduplicating builders write them.
struct TypeChunk {
  std::string config;  // ResTable_config bytes, size field first
  std::vector<std::uint32_t> slots;
  std::vector<Entry> entries;
};

// A resource type: its typeSpec chunk (ResTable_typeSpec) and its configurations.
struct TypeGroup {
  std::uint8_t id = 0;
  std::uint16_t typesCount = 0;  // typeSpec's count of type chunks, when the builder wrote one
  std::vector<std::uint32_t> specFlags;
  std::vector<TypeChunk> chunks;
};

// A package (ResTable_package) with its type-name and key pools.
struct Package {
  std::uint32_t id = 0;
  std::string nameField;  // the name as stored: 128 UTF-16 units, zero-padded
  std::string name;       // the same as UTF-8, for comparing and messages
  std::uint32_t lastPublicType = 0;
  std::uint32_t lastPublicKey = 0;
  std::uint32_t typeIdOffset = 0;
  StringPool typeNames;  // type id t is named by typeNames.strings[t - 1 - typeIdOffset]
  StringPool keys;
  std::vector<TypeGroup> types;         // in order of id
  std::vector<std::string> keptChunks;  // library, overlayable and staged-alias chunks, as read
};

struct Table {
  StringPool values;  // the global value string pool
  std::vector<Package> packages;
};

}  // namespace velmora::apk
