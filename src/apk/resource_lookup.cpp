#include "apk/resource_lookup.h"

#include <algorithm>

#include "apk/chunk.h"
#include "apk/table_model.h"

namespace velmora::apk {
namespace {

constexpr std::size_t kTableHeaderSize = 12;
constexpr std::size_t kPackageHeaderSize = 284;  // without typeIdOffset, as older builders wrote it
constexpr std::size_t kTypeHeaderSize = 20;      // up to the configuration
constexpr std::uint8_t kSparse = 0x01;
constexpr std::uint8_t kOffset16 = 0x02;
constexpr std::uint16_t kCompactEntry = 0x0008;
constexpr std::uint8_t kTypeReference = 0x01;
constexpr std::uint8_t kTypeDynamicReference = 0x07;
constexpr int kLongestReferenceChain = 16;

// How well a configuration stands in for the default one, the lower the
// better: the default itself; one that asks only for an Android version
// (what every newer device takes, the newest first); one without a language;
// any other.
struct ConfigRank {
  int rank = 0;
  std::uint16_t version = 0;
};

ConfigRank RankOf(std::string_view chunk, std::size_t headerSize) {
  // The configuration after its size field; the offsets below count from
  // that field, as ResTable_config's do.
  const std::string_view config = chunk.substr(kTypeHeaderSize, headerSize - kTypeHeaderSize);
  auto zeroExcept = [&](auto keep) {
    for (std::size_t i = 4; i < config.size(); ++i) {
      if (config[i] != 0 && !keep(i)) return false;
    }
    return true;
  };
  if (zeroExcept([](std::size_t) { return false; })) return {0, 0};
  if (config.size() >= 28 && zeroExcept([](std::size_t i) { return i >= 24 && i < 28; })) {
    return {1, U16At(config, 24)};
  }
  const bool language =
      zeroExcept([](std::size_t i) { return i < 8 || (i >= 12 && i < 36) || i >= 48; });
  return {language ? 2 : 3, 0};
}

bool Better(ConfigRank a, ConfigRank b) {
  return a.rank < b.rank || (a.rank == b.rank && a.version > b.version);
}

// Calls `visit` on each child chunk of `parent` from `offset`; fails on a
// child that does not fit.
template <typename Visit>
Parsed<std::monostate> EachChild(std::string_view parent, std::size_t offset, Visit visit) {
  while (offset + kChunkHeaderSize <= parent.size()) {
    Parsed<Chunk> child = ReadChunk(parent, offset, kChunkHeaderSize, "资源表的块");
    if (auto* failure = std::get_if<FormatError>(&child)) return *failure;
    const Chunk& chunk = std::get<Chunk>(child);
    if (auto failure = visit(chunk)) return *failure;
    offset += chunk.bytes.size();
  }
  return std::monostate{};
}

}  // namespace

Parsed<ResourceLookup> ResourceLookup::Read(std::string_view table) {
  Parsed<Chunk> root = ReadChunk(table, 0, kTableHeaderSize, "资源表");
  if (auto* failure = std::get_if<FormatError>(&root)) return *failure;
  const Chunk& tableChunk = std::get<Chunk>(root);
  if (tableChunk.type != kTableChunk) return FormatError{"不是资源表"};
  ResourceLookup lookup;
  bool poolSeen = false;
  auto readPackage = [&lookup](const Chunk& package) -> std::optional<FormatError> {
    if (package.headerSize < kPackageHeaderSize) return FormatError{"资源包的头部太短"};
    const std::uint32_t packageId = U32At(package.bytes, 8);
    Parsed<std::monostate> types = EachChild(
        package.bytes, package.headerSize, [&](const Chunk& chunk) -> std::optional<FormatError> {
          if (chunk.type != kTypeChunk) return std::nullopt;
          if (chunk.headerSize < kTypeHeaderSize + 4) return FormatError{"类型块的头部太短"};
          const std::uint32_t key = (packageId & 0xff) << 8 | U8At(chunk.bytes, 8);
          const ConfigRank rank = RankOf(chunk.bytes, chunk.headerSize);
          lookup.types_[key].push_back({rank.rank, rank.version, chunk.bytes});
          return std::nullopt;
        });
    if (auto* failure = std::get_if<FormatError>(&types)) return *failure;
    return std::nullopt;
  };
  Parsed<std::monostate> children =
      EachChild(tableChunk.bytes, tableChunk.headerSize,
                [&](const Chunk& chunk) -> std::optional<FormatError> {
                  if (chunk.type == kStringPoolChunk && !poolSeen) {
                    poolSeen = true;
                    Parsed<StringPool> pool = ReadStringPool(chunk.bytes);
                    if (auto* failure = std::get_if<FormatError>(&pool)) return *failure;
                    lookup.values_ = std::move(std::get<StringPool>(pool));
                    return std::nullopt;
                  }
                  if (chunk.type == kPackageChunk) return readPackage(chunk);
                  return std::nullopt;
                });
  if (auto* failure = std::get_if<FormatError>(&children)) return *failure;
  return lookup;
}

std::optional<TypedValue> ResourceLookup::ValueIn(const TypeChunkView& chunk,
                                                  std::uint32_t entry) const {
  const std::string_view bytes = chunk.bytes;
  const std::uint16_t headerSize = U16At(bytes, 2);
  const std::uint8_t flags = U8At(bytes, 9);
  const std::uint32_t count = U32At(bytes, 12);
  const std::uint32_t entriesStart = U32At(bytes, 16);
  std::uint64_t offset = kNoEntry;
  if (flags & kSparse) {
    // Pairs of an entry index and its offset in units of four bytes, sorted.
    if (!Fits(bytes, headerSize, std::uint64_t{count} * 4)) return std::nullopt;
    for (std::uint32_t i = 0; i < count; ++i) {
      if (U16At(bytes, headerSize + i * 4) == entry) {
        offset = std::uint64_t{U16At(bytes, headerSize + i * 4 + 2)} * 4;
        break;
      }
    }
  } else if (entry < count && (flags & kOffset16)) {
    if (!Fits(bytes, headerSize + std::uint64_t{entry} * 2, 2)) return std::nullopt;
    const std::uint16_t stored = U16At(bytes, headerSize + entry * 2);
    if (stored != 0xffff) offset = std::uint64_t{stored} * 4;
  } else if (entry < count) {
    if (!Fits(bytes, headerSize + std::uint64_t{entry} * 4, 4)) return std::nullopt;
    offset = U32At(bytes, headerSize + entry * 4);
  }
  if (offset == kNoEntry) return std::nullopt;
  const std::uint64_t at = std::uint64_t{entriesStart} + offset;
  if (!Fits(bytes, at, 8)) return std::nullopt;
  const std::uint16_t size = U16At(bytes, at);
  const std::uint16_t entryFlags = U16At(bytes, at + 2);
  if (entryFlags & kCompactEntry) {
    return TypedValue{static_cast<std::uint8_t>(entryFlags >> 8), U32At(bytes, at + 4)};
  }
  if ((entryFlags & kComplexEntry) || !Fits(bytes, at + size, kTypedValueSize)) {
    return std::nullopt;
  }
  return TypedValueAt(bytes, at + size);
}

std::optional<TypedValue> ResourceLookup::Find(std::uint32_t id) const {
  auto type = types_.find(id >> 16);
  if (type == types_.end()) return std::nullopt;
  std::optional<TypedValue> best;
  ConfigRank bestRank{4, 0};
  for (const TypeChunkView& chunk : type->second) {
    const ConfigRank rank{chunk.rank, chunk.version};
    if (!Better(rank, bestRank)) continue;
    if (std::optional<TypedValue> value = ValueIn(chunk, id & 0xffff)) {
      best = value;
      bestRank = rank;
      if (rank.rank == 0) break;
    }
  }
  return best;
}

std::optional<ResourceValue> ResourceLookup::Resolve(std::uint32_t id) const {
  for (int hop = 0; hop < kLongestReferenceChain; ++hop) {
    const std::optional<TypedValue> value = Find(id);
    if (!value) return std::nullopt;
    if (value->dataType == kTypeReference || value->dataType == kTypeDynamicReference) {
      id = value->data;
      continue;
    }
    ResourceValue resolved;
    if (value->dataType == kTypeString) {
      if (value->data >= values_.strings.size()) return std::nullopt;
      resolved.text = values_.strings[value->data];
    } else if (value->dataType == kTypeIntDec || value->dataType == kTypeIntHex) {
      resolved.number = static_cast<std::int32_t>(value->data);
    } else {
      return std::nullopt;
    }
    return resolved;
  }
  return std::nullopt;
}

}  // namespace velmora::apk
