#include "apk/resource_table.h"

#include <algorithm>
#include <array>
#include <limits>
#include <optional>
#include <unordered_map>

#include "apk/chunk.h"
#include "apk/pool_builder.h"
#include "apk/resource_config.h"
#include "apk/table_reader.h"
#include "apk/table_writer.h"

namespace velmora::apk {
namespace {

using Failure = std::optional<FormatError>;

// How many resource names a note about conflicting values lists before "等".
constexpr std::size_t kNamesInNote = 5;

std::string Where(std::string_view apkName) {
  return std::string(apkName) + ": resources.arsc: ";
}

// What the merge keeps about one type of the merged package besides the type
// itself: where each configuration is, and the key each entry index has.
struct TypeState {
  std::unordered_map<std::string, std::size_t> chunkOf;  // by ConfigKey
  std::vector<std::uint32_t> keyOf;                      // kNoEntry where none is known
  bool countsTypes = false;  // some input's typeSpec chunk counted its type chunks
};

// A package of the merged table while splits are merged into it.
struct PackageState {
  Package* package = nullptr;
  std::optional<PlainPoolBuilder> keys;
  std::size_t baseTypeNames = 0;
  std::size_t baseKeys = 0;
  std::array<std::optional<std::size_t>, 256> typeOf{};  // index into package->types
  std::vector<TypeState> types;                          // parallel to package->types
};

// One split's package as it is merged: its pools' ids in the merged pools.
struct SplitPackage {
  const Package& package;
  std::vector<std::uint32_t> keyIds;
  std::vector<std::uint32_t>& valueIds;
};

void RecordKeys(TypeState& state, const TypeChunk& type) {
  if (state.keyOf.size() < type.slots.size()) state.keyOf.resize(type.slots.size(), kNoEntry);
  for (std::size_t i = 0; i < type.slots.size(); ++i) {
    if (type.slots[i] != kNoEntry && state.keyOf[i] == kNoEntry) {
      state.keyOf[i] = type.entries[type.slots[i]].key;
    }
  }
}

// Adds to every entry the configuration-change flags of its values: a
// typeSpec chunk says which configuration fields an entry's values differ in,
// and a split's typeSpec chunk only knew the split's own configurations.
void AddConfigChangeFlags(TypeGroup& group) {
  std::vector<std::uint32_t> firstChunk(group.specFlags.size(), kNoEntry);
  for (std::size_t c = 0; c < group.chunks.size(); ++c) {
    const TypeChunk& type = group.chunks[c];
    std::vector<std::optional<std::uint32_t>> diffWith(c);
    for (std::size_t i = 0; i < type.slots.size(); ++i) {
      if (type.slots[i] == kNoEntry) continue;
      if (firstChunk[i] == kNoEntry) {
        firstChunk[i] = static_cast<std::uint32_t>(c);
        continue;
      }
      auto& diff = diffWith[firstChunk[i]];
      if (!diff) diff = ConfigDiff(group.chunks[firstChunk[i]].config, type.config);
      group.specFlags[i] |= *diff;
    }
  }
}

void ReindexStrings(Package& package, const std::vector<std::uint32_t>& indexOf) {
  const auto reindex = [&](TypedValue& value) {
    if (value.dataType == kTypeString) value.data = indexOf[value.data];
  };
  for (TypeGroup& group : package.types) {
    for (TypeChunk& type : group.chunks) {
      for (Entry& entry : type.entries) {
        reindex(entry.value);
        for (MapItem& item : entry.map) reindex(item.value);
      }
    }
  }
}

class TableMerge {
 public:
  TableMerge(Table base, std::size_t splitStrings)
      : table_(std::move(base)), values_(std::move(table_.values), splitStrings) {
    for (Package& package : table_.packages) packages_.push_back(StartPackage(package));
  }

  // Merges the tables of one split into the base's.
  Failure Add(std::string_view apkName, const Table& split) {
    std::vector<std::uint32_t> valueIds(split.values.strings.size(), kNotAdded);
    std::vector<std::string> conflicts;
    for (const Package& package : split.packages) {
      PackageState* state = FindPackage(package.id);
      if (!state || state->package->name != package.name) {
        return FormatError{Where(apkName) + "资源包 " + Hex(package.id, 2) + "（" + package.name +
                           "）与基础包的不同：这是功能拆分包或别的应用，不能合并"};
      }
      if (package.typeIdOffset != state->package->typeIdOffset) {
        return FormatError{Where(apkName) + "资源包的类型 ID 偏移与基础包的不同，不能合并"};
      }
      if (auto failure = CheckKeptChunks(package, *state->package)) {
        return FormatError{Where(apkName) + failure->message};
      }
      SplitPackage from{package, std::vector<std::uint32_t>(package.keys.strings.size(), kNotAdded),
                        valueIds};
      for (const TypeGroup& group : package.types) {
        if (auto failure = AddType(from, group, split.values, *state, conflicts)) {
          return FormatError{Where(apkName) + failure->message};
        }
      }
    }
    if (!conflicts.empty()) notes_.push_back(ConflictNote(apkName, conflicts));
    return std::nullopt;
  }

  MergedTable Finish() && {
    auto values = std::move(values_).Finish();
    table_.values = std::move(values.pool);
    for (PackageState& state : packages_) FinishPackage(state, values.indexOf);
    return MergedTable{WriteTable(table_), std::move(notes_)};
  }

 private:
  static PackageState StartPackage(Package& package) {
    PackageState state;
    state.package = &package;
    state.baseTypeNames = package.typeNames.strings.size();
    state.baseKeys = package.keys.strings.size();
    state.keys.emplace(std::move(package.keys));
    for (std::size_t g = 0; g < package.types.size(); ++g) {
      const TypeGroup& group = package.types[g];
      state.typeOf[group.id] = g;
      TypeState& type = state.types.emplace_back();
      type.countsTypes = group.typesCount != 0;
      for (std::size_t c = 0; c < group.chunks.size(); ++c) {
        type.chunkOf.emplace(ConfigKey(group.chunks[c].config), c);
        RecordKeys(type, group.chunks[c]);
      }
    }
    return state;
  }

  PackageState* FindPackage(std::uint32_t id) {
    for (PackageState& state : packages_) {
      if (state.package->id == id) return &state;
    }
    return nullptr;
  }

  // A split's library, overlayable or alias chunk is taken only when the base
  // holds the same: merging two different ones could break what they map.
  static Failure CheckKeptChunks(const Package& split, const Package& base) {
    for (const std::string& chunk : split.keptChunks) {
      if (std::find(base.keptChunks.begin(), base.keptChunks.end(), chunk) ==
          base.keptChunks.end()) {
        return FormatError{
            "含有基础包中没有的共享库、可覆盖资源或别名块，合并它可能出错，不能合并"};
      }
    }
    return std::nullopt;
  }

  // The type group with `id` in the merged package, created (named as the
  // split names it) when the base has no typeSpec chunk for it.
  Parsed<std::size_t> TypeFor(PackageState& state, const Package& split, std::uint8_t id) {
    StringPool& names = state.package->typeNames;
    const std::size_t nameIndex = id - 1 - split.typeIdOffset;
    const std::string& name = split.typeNames.strings[nameIndex];
    if (nameIndex < names.strings.size() && names.strings[nameIndex] != name) {
      return FormatError{"类型 ID " + Hex(id, 2) + " 在此包中是 " + name + "，在基础包中却是 " +
                         names.strings[nameIndex] + "：与基础包不是同一次构建，不能合并"};
    }
    while (names.strings.size() <= nameIndex) {
      names.strings.push_back(split.typeNames.strings[names.strings.size()]);
      names.sorted = false;
    }
    if (!state.typeOf[id]) {
      state.typeOf[id] = state.package->types.size();
      state.package->types.push_back(TypeGroup{id, 0, {}, {}});
      state.types.emplace_back();
    }
    return *state.typeOf[id];
  }

  Failure AddType(SplitPackage& from, const TypeGroup& group, const StringPool& splitValues,
                  PackageState& state, std::vector<std::string>& conflicts) {
    auto index = TypeFor(state, from.package, group.id);
    if (auto* error = std::get_if<FormatError>(&index)) return *error;
    TypeGroup& merged = state.package->types[std::get<std::size_t>(index)];
    TypeState& type = state.types[std::get<std::size_t>(index)];
    if (merged.specFlags.size() < group.specFlags.size()) {
      merged.specFlags.resize(group.specFlags.size(), 0);
    }
    for (std::size_t i = 0; i < group.specFlags.size(); ++i) {
      merged.specFlags[i] |= group.specFlags[i];
    }
    type.countsTypes = type.countsTypes || group.typesCount != 0;

    for (const TypeChunk& chunk : group.chunks) {
      TypeChunk converted = Convert(from, chunk, splitValues, state);
      if (auto failure = CheckKeys(converted, type, state, merged)) return failure;
      auto [at, isNew] = type.chunkOf.emplace(ConfigKey(chunk.config), merged.chunks.size());
      if (isNew) {
        RecordKeys(type, converted);
        merged.chunks.push_back(std::move(converted));
      } else {
        MergeEntries(converted, merged.chunks[at->second], state, merged, conflicts);
        RecordKeys(type, merged.chunks[at->second]);
      }
    }
    return std::nullopt;
  }

  // The split's chunk with its keys and strings as ids of the merged pools.
  TypeChunk Convert(SplitPackage& from, const TypeChunk& chunk, const StringPool& splitValues,
                    PackageState& state) {
    const auto convertValue = [&](TypedValue& value) {
      if (value.dataType == kTypeString) {
        value.data = values_.Add(splitValues, value.data, from.valueIds);
      }
    };
    TypeChunk converted = chunk;
    for (Entry& entry : converted.entries) {
      std::uint32_t& key = from.keyIds[entry.key];
      if (key == kNotAdded) key = state.keys->Add(from.package.keys.strings[entry.key]);
      entry.key = key;
      convertValue(entry.value);
      for (MapItem& item : entry.map) convertValue(item.value);
    }
    return converted;
  }

  // A split of the same build gives each entry index the name the base gives it.
  Failure CheckKeys(const TypeChunk& chunk, const TypeState& type, const PackageState& state,
                    const TypeGroup& group) const {
    for (std::size_t i = 0; i < chunk.slots.size() && i < type.keyOf.size(); ++i) {
      if (chunk.slots[i] == kNoEntry || type.keyOf[i] == kNoEntry) continue;
      const std::uint32_t key = chunk.entries[chunk.slots[i]].key;
      if (key != type.keyOf[i]) {
        return FormatError{"资源 " + ResourceId(state, group, i) + " 在此包中是 " +
                           EntryName(state, group, key) + "，在基础包中却是 " +
                           EntryName(state, group, type.keyOf[i]) +
                           "：与基础包不是同一次构建，不能合并"};
      }
    }
    return std::nullopt;
  }

  // Adds the split's entries to a configuration the merged type already has;
  // where both define an entry, the one already there stays.
  static void MergeEntries(const TypeChunk& split, TypeChunk& into, const PackageState& state,
                           const TypeGroup& group, std::vector<std::string>& conflicts) {
    if (into.slots.size() < split.slots.size()) into.slots.resize(split.slots.size(), kNoEntry);
    std::vector<std::uint32_t> placed(split.entries.size(), kNoEntry);
    for (std::size_t i = 0; i < split.slots.size(); ++i) {
      const std::uint32_t slot = split.slots[i];
      if (slot == kNoEntry) continue;
      if (into.slots[i] != kNoEntry) {
        if (into.entries[into.slots[i]] != split.entries[slot]) {
          conflicts.push_back(EntryName(state, group, split.entries[slot].key));
        }
        continue;
      }
      if (placed[slot] == kNoEntry) {
        placed[slot] = static_cast<std::uint32_t>(into.entries.size());
        into.entries.push_back(split.entries[slot]);
      }
      into.slots[i] = placed[slot];
    }
  }

  static std::string EntryName(const PackageState& state, const TypeGroup& group,
                               std::uint32_t key) {
    const Package& package = *state.package;
    return package.typeNames.strings[group.id - 1 - package.typeIdOffset] + "/" +
           (*state.keys)[key];
  }

  static std::string ResourceId(const PackageState& state, const TypeGroup& group,
                                std::size_t entry) {
    return Hex(state.package->id << 24 | std::uint32_t{group.id} << 16 |
                   static_cast<std::uint32_t>(entry & 0xFFFF),
               8);
  }

  static std::string ConflictNote(std::string_view apkName, const std::vector<std::string>& names) {
    std::string list;
    for (std::size_t i = 0; i < names.size() && i < kNamesInNote; ++i) {
      list += (i == 0 ? "" : "、") + names[i];
    }
    if (names.size() > kNamesInNote) list += " 等";
    return Where(apkName) + std::to_string(names.size()) +
           " 个资源在基础包的同一配置中已有不同的值，保留基础包的：" + list;
  }

  static void FinishPackage(PackageState& state, const std::vector<std::uint32_t>& valueIndexOf) {
    Package& package = *state.package;
    package.keys = std::move(*state.keys).Finish();
    // A last public index that covered the whole pool goes on covering it.
    if (package.lastPublicType == state.baseTypeNames) {
      package.lastPublicType = static_cast<std::uint32_t>(package.typeNames.strings.size());
    }
    if (package.lastPublicKey == state.baseKeys) {
      package.lastPublicKey = static_cast<std::uint32_t>(package.keys.strings.size());
    }
    ReindexStrings(package, valueIndexOf);
    for (std::size_t g = 0; g < package.types.size(); ++g) {
      TypeGroup& group = package.types[g];
      std::size_t entryCount = group.specFlags.size();
      for (const TypeChunk& type : group.chunks) {
        entryCount = std::max(entryCount, type.slots.size());
      }
      group.specFlags.resize(entryCount, 0);
      AddConfigChangeFlags(group);
      group.typesCount = state.types[g].countsTypes
                             ? static_cast<std::uint16_t>(std::min<std::size_t>(
                                   group.chunks.size(), std::numeric_limits<std::uint16_t>::max()))
                             : 0;
    }
    std::stable_sort(package.types.begin(), package.types.end(),
                     [](const TypeGroup& a, const TypeGroup& b) { return a.id < b.id; });
  }

  Table table_;
  ValuePoolBuilder values_;
  std::vector<PackageState> packages_;
  std::vector<std::string> notes_;
};

Parsed<Table> ReadNamed(NamedTable named) {
  auto table = ReadTable(named.bytes);
  if (auto* error = std::get_if<FormatError>(&table)) {
    return FormatError{Where(named.apkName) + error->message};
  }
  return table;
}

}  // namespace

Parsed<MergedTable> MergeResourceTables(NamedTable base, std::span<const NamedTable> splits) {
  auto baseTable = ReadNamed(base);
  if (auto* error = std::get_if<FormatError>(&baseTable)) return *error;
  std::vector<Table> splitTables;
  splitTables.reserve(splits.size());
  std::size_t splitStrings = 0;
  for (const NamedTable& split : splits) {
    auto splitTable = ReadNamed(split);
    if (auto* error = std::get_if<FormatError>(&splitTable)) return *error;
    splitTables.push_back(std::move(std::get<Table>(splitTable)));
    splitStrings += splitTables.back().values.strings.size();
  }
  TableMerge merge(std::move(std::get<Table>(baseTable)), splitStrings);
  for (std::size_t i = 0; i < splits.size(); ++i) {
    if (auto failure = merge.Add(splits[i].apkName, splitTables[i])) return *failure;
  }
  MergedTable merged = std::move(merge).Finish();
  if (merged.bytes.size() > std::numeric_limits<std::uint32_t>::max()) {
    return FormatError{Where(base.apkName) + "合并后的资源表超过了 4 GiB，格式容纳不下"};
  }
  return merged;
}

}  // namespace velmora::apk
