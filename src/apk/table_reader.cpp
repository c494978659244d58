#include "apk/table_reader.h"

#include <algorithm>
#include <array>
#include <optional>
#include <unordered_map>

#include "apk/chunk.h"
#include "apk/table_layout.h"
#include "apk/text_encoding.h"

namespace velmora::apk {
namespace {

using Failure = std::optional<FormatError>;

// The package name: UTF-16 units up to the first zero.
std::string PackageName(std::string_view field) {
  std::size_t units = 0;
  while (units < field.size() / 2 && U16At(field, 2 * units) != 0) ++units;
  return Utf16ToUtf8(field, units);
}

class PackageReader {
 public:
  PackageReader(const StringPool& values, Package& package) : values_(values), package_(package) {}

  Failure Read(const Chunk& chunk) {
    const std::string_view bytes = chunk.bytes;
    package_.id = U32At(bytes, 8);
    package_.nameField = std::string(bytes.substr(12, kPackageNameSize));
    package_.name = PackageName(package_.nameField);
    package_.lastPublicType = U32At(bytes, 272);
    package_.lastPublicKey = U32At(bytes, 280);
    package_.typeIdOffset = chunk.headerSize >= kPackageHeaderSize ? U32At(bytes, 284) : 0;
    const std::uint32_t typeNamesAt = U32At(bytes, 268);
    const std::uint32_t keysAt = U32At(bytes, 276);
    if (auto failure = ReadPool(chunk, typeNamesAt, "类型名", package_.typeNames)) return failure;
    if (auto failure = ReadPool(chunk, keysAt, "键", package_.keys)) return failure;

    for (std::size_t at = chunk.headerSize; at < bytes.size();) {
      auto child = ReadChunk(bytes, at, 0, "资源包中的块");
      if (auto* error = std::get_if<FormatError>(&child)) return *error;
      const Chunk& part = std::get<Chunk>(child);
      if (auto failure = ReadPart(part, at == typeNamesAt || at == keysAt)) return failure;
      at += part.bytes.size();
    }
    std::stable_sort(package_.types.begin(), package_.types.end(),
                     [](const TypeGroup& a, const TypeGroup& b) { return a.id < b.id; });
    return std::nullopt;
  }

 private:
  Failure ReadPool(const Chunk& chunk, std::uint32_t at, std::string_view what, StringPool& pool) {
    if (at < chunk.headerSize || at >= chunk.bytes.size()) {
      return FormatError{"资源包的" + std::string(what) + "字符串池偏移超出了包的范围"};
    }
    auto read = ReadStringPool(chunk.bytes.substr(at));
    if (auto* error = std::get_if<FormatError>(&read)) {
      return FormatError{std::string(what) + error->message};
    }
    pool = std::move(std::get<StringPool>(read));
    return std::nullopt;
  }

  Failure ReadPart(const Chunk& part, bool isOwnPool) {
    switch (part.type) {
      case kStringPoolChunk:
        if (isOwnPool) return std::nullopt;
        return FormatError{"资源包中有多余的字符串池"};
      case kTypeSpecChunk:
        return ReadSpec(part);
      case kTypeChunk:
        return ReadType(part);
      case kLibraryChunk:
      case kOverlayableChunk:
      case kStagedAliasChunk:
        // These name packages and resource ids, never a string of the pools
        // that the merge rebuilds, so they stay valid as they are.
        if (part.bytes.size() % 4 != 0) return FormatError{"资源包中有块的大小不是 4 的倍数"};
        package_.keptChunks.emplace_back(part.bytes);
        return std::nullopt;
      default:
        return FormatError{"资源包中有无法识别的块（类型 " + Hex(part.type, 4) + "）"};
    }
  }

  bool HasTypeName(std::uint8_t id) const {
    return id > package_.typeIdOffset &&
           id - 1 - package_.typeIdOffset < package_.typeNames.strings.size();
  }
  std::string TypeName(std::uint8_t id) const {
    return HasTypeName(id) ? package_.typeNames.strings[id - 1 - package_.typeIdOffset]
                           : Hex(id, 2);
  }

  Failure ReadSpec(const Chunk& chunk) {
    if (chunk.headerSize < kTypeSpecHeaderSize) return FormatError{"类型说明块的块头太小"};
    const std::string_view bytes = chunk.bytes;
    const std::uint8_t id = U8At(bytes, 8);
    if (id == 0 || !HasTypeName(id)) {
      return FormatError{"类型 ID " + Hex(id, 2) + " 在类型名字符串池中没有名字"};
    }
    if (groupOf_[id]) return FormatError{"类型 " + TypeName(id) + " 的类型说明块出现了两次"};
    const std::uint32_t entryCount = U32At(bytes, 12);
    if (!Fits(bytes, chunk.headerSize, 4 * std::uint64_t{entryCount})) {
      return FormatError{"类型 " + TypeName(id) + " 的类型说明块被截断"};
    }
    TypeGroup group;
    group.id = id;
    group.typesCount = U16At(bytes, 10);
    group.specFlags.reserve(entryCount);
    for (std::uint32_t i = 0; i < entryCount; ++i) {
      group.specFlags.push_back(U32At(bytes, chunk.headerSize + 4 * std::size_t{i}));
    }
    groupOf_[id] = package_.types.size();
    package_.types.push_back(std::move(group));
    return std::nullopt;
  }

  Failure ReadType(const Chunk& chunk) {
    const std::string_view bytes = chunk.bytes;
    if (chunk.headerSize < kTypeHeaderSize + kConfigSizeField) {
      return FormatError{"类型块的块头太小"};
    }
    const std::uint8_t id = U8At(bytes, 8);
    const std::uint8_t flags = U8At(bytes, 9);
    const std::string where = "类型 " + TypeName(id) + " ";
    if (flags & kSparseType) {
      return FormatError{where + "使用稀疏条目（FLAG_SPARSE），无法如实写回，不支持合并"};
    }
    if (flags & kOffset16Type) {
      return FormatError{where + "使用 16 位条目偏移（FLAG_OFFSET16），无法如实写回，不支持合并"};
    }
    if (flags != 0) return FormatError{where + "有无法识别的类型块标志 " + Hex(flags, 2)};
    if (!groupOf_[id]) return FormatError{where + "的类型块前面没有它的类型说明块"};

    // A header padded to four bytes around the configuration must still fit
    // the 16-bit header size when the chunk is written again.
    const std::uint32_t configSize = U32At(bytes, kTypeHeaderSize);
    if (configSize < kConfigSizeField || configSize > chunk.headerSize - kTypeHeaderSize ||
        kTypeHeaderSize + configSize > 0xFFFC) {
      return FormatError{where + "的配置大小不对"};
    }
    const std::uint32_t entryCount = U32At(bytes, 12);
    const std::uint32_t entriesStart = U32At(bytes, 16);
    if (!Fits(bytes, chunk.headerSize, 4 * std::uint64_t{entryCount}) ||
        entriesStart > bytes.size()) {
      return FormatError{where + "的条目偏移表超出了块的末尾"};
    }

    TypeChunk type;
    type.config = std::string(bytes.substr(kTypeHeaderSize, configSize));
    type.slots.reserve(entryCount);
    const std::string_view entries = bytes.substr(entriesStart);
    // Each offset is read once; the budget stops offsets that overlap one
    // long bag from reading it again and again.
    std::unordered_map<std::uint32_t, std::uint32_t> entryAt;
    DecodeBudget budget(bytes.size());
    for (std::uint32_t i = 0; i < entryCount; ++i) {
      const std::uint32_t offset = U32At(bytes, chunk.headerSize + 4 * std::size_t{i});
      if (offset == kNoEntry) {
        type.slots.push_back(kNoEntry);
        continue;
      }
      if (auto seen = entryAt.find(offset); seen != entryAt.end()) {
        type.slots.push_back(seen->second);
        continue;
      }
      Entry entry;
      if (auto failure = ReadEntry(entries, offset, entry, budget)) {
        return FormatError{where + failure->message};
      }
      entryAt.emplace(offset, static_cast<std::uint32_t>(type.entries.size()));
      type.slots.push_back(static_cast<std::uint32_t>(type.entries.size()));
      type.entries.push_back(std::move(entry));
    }
    package_.types[*groupOf_[id]].chunks.push_back(std::move(type));
    return std::nullopt;
  }

  Failure ReadEntry(std::string_view bytes, std::size_t at, Entry& entry, DecodeBudget& budget) {
    if (!Fits(bytes, at, kEntrySize)) return FormatError{"有条目超出了类型块的末尾"};
    const std::uint16_t size = U16At(bytes, at);
    entry.flags = U16At(bytes, at + 2);
    entry.key = U32At(bytes, at + 4);
    if (entry.flags & kCompactEntry) {
      return FormatError{"使用紧凑条目（FLAG_COMPACT），无法如实写回，不支持合并"};
    }
    if (entry.key >= package_.keys.strings.size()) return FormatError{"有条目的键超出了键字符串池"};
    if (size != (entry.complex() ? kMapEntrySize : kEntrySize)) {
      return FormatError{"有条目的大小不对"};
    }
    if (!entry.complex()) {
      if (!budget.Spend(kEntrySize + kTypedValueSize)) return FormatError{"的条目偏移相互重叠"};
      if (!Fits(bytes, at + kEntrySize, kTypedValueSize)) {
        return FormatError{"有条目超出了类型块的末尾"};
      }
      return ReadValue(bytes, at + kEntrySize, entry.value);
    }
    if (!Fits(bytes, at, kMapEntrySize)) return FormatError{"有条目超出了类型块的末尾"};
    entry.parent = U32At(bytes, at + 8);
    const std::uint32_t count = U32At(bytes, at + 12);
    const std::uint64_t mapBytes = kMapSize * std::uint64_t{count};
    if (!Fits(bytes, at + kMapEntrySize, mapBytes)) return FormatError{"有条目超出了类型块的末尾"};
    if (!budget.Spend(kMapEntrySize + mapBytes)) return FormatError{"的条目偏移相互重叠"};
    entry.map.resize(count);
    for (std::uint32_t i = 0; i < count; ++i) {
      const std::size_t item = at + kMapEntrySize + kMapSize * std::size_t{i};
      entry.map[i].name = U32At(bytes, item);
      if (auto failure = ReadValue(bytes, item + 4, entry.map[i].value)) return failure;
    }
    return std::nullopt;
  }

  Failure ReadValue(std::string_view bytes, std::size_t at, TypedValue& value) const {
    if (U16At(bytes, at) != kTypedValueSize) return FormatError{"有值的大小不对"};
    value = TypedValueAt(bytes, at);
    if (value.dataType == kTypeString && value.data >= values_.strings.size()) {
      return FormatError{"有字符串值超出了全局字符串池"};
    }
    return std::nullopt;
  }

  const StringPool& values_;
  Package& package_;
  std::array<std::optional<std::size_t>, 256> groupOf_{};
};

}  // namespace

Parsed<Table> ReadTable(std::string_view bytes) {
  auto read = ReadChunk(bytes, 0, kTableHeaderSize, "资源表");
  if (auto* error = std::get_if<FormatError>(&read)) return *error;
  const Chunk& chunk = std::get<Chunk>(read);
  if (chunk.type != kTableChunk) return FormatError{"不是资源表"};

  Table table;
  bool hasValues = false;
  for (std::size_t at = chunk.headerSize; at < chunk.bytes.size();) {
    auto child = ReadChunk(chunk.bytes, at, 0, "资源表中的块");
    if (auto* error = std::get_if<FormatError>(&child)) return *error;
    const Chunk& part = std::get<Chunk>(child);
    if (part.type == kStringPoolChunk) {
      if (hasValues) return FormatError{"资源表有两个全局字符串池"};
      auto pool = ReadStringPool(part.bytes);
      if (auto* error = std::get_if<FormatError>(&pool)) {
        return FormatError{"全局" + error->message};
      }
      table.values = std::move(std::get<StringPool>(pool));
      hasValues = true;
    } else if (part.type == kPackageChunk) {
      if (!hasValues) return FormatError{"资源包出现在全局字符串池之前"};
      if (part.headerSize < kOldPackageHeaderSize) return FormatError{"资源包的块头太小"};
      Package& package = table.packages.emplace_back();
      if (auto failure = PackageReader(table.values, package).Read(part)) return *failure;
    } else {
      return FormatError{"资源表中有无法识别的块（类型 " + Hex(part.type, 4) + "）"};
    }
    at += part.bytes.size();
  }
  if (!hasValues) return FormatError{"资源表没有全局字符串池"};
  return table;
}

}  // namespace velmora::apk
