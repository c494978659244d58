#include "apk/table_writer.h"

#include "apk/chunk.h"
#include "apk/table_layout.h"

namespace velmora::apk {
namespace {

void AppendEntry(std::string& out, const Entry& entry) {
  AppendU16(out, entry.complex() ? kMapEntrySize : kEntrySize);
  AppendU16(out, entry.flags);
  AppendU32(out, entry.key);
  if (!entry.complex()) {
    AppendTypedValue(out, entry.value);
    return;
  }
  AppendU32(out, entry.parent);
  AppendU32(out, static_cast<std::uint32_t>(entry.map.size()));
  for (const MapItem& item : entry.map) {
    AppendU32(out, item.name);
    AppendTypedValue(out, item.value);
  }
}

void AppendSpec(std::string& out, const TypeGroup& group) {
  const std::size_t start = BeginChunk(out, kTypeSpecChunk, kTypeSpecHeaderSize);
  AppendU8(out, group.id);
  AppendU8(out, 0);
  AppendU16(out, group.typesCount);
  AppendU32(out, static_cast<std::uint32_t>(group.specFlags.size()));
  for (std::uint32_t flags : group.specFlags) AppendU32(out, flags);
  FinishChunk(out, start);
}

void AppendType(std::string& out, std::uint8_t id, const TypeChunk& type) {
  const std::size_t headerSize = (kTypeHeaderSize + type.config.size() + 3) / 4 * 4;
  const std::size_t start = BeginChunk(out, kTypeChunk, static_cast<std::uint16_t>(headerSize));
  const std::size_t entriesStart = headerSize + 4 * type.slots.size();
  AppendU8(out, id);
  AppendU8(out, 0);
  AppendU16(out, 0);
  AppendU32(out, static_cast<std::uint32_t>(type.slots.size()));
  AppendU32(out, static_cast<std::uint32_t>(entriesStart));
  out += type.config;
  PadToFour(out);
  const std::size_t offsetsAt = out.size();
  out.append(4 * type.slots.size(), '\0');

  std::vector<std::uint32_t> entryOffsets;
  entryOffsets.reserve(type.entries.size());
  for (const Entry& entry : type.entries) {
    entryOffsets.push_back(static_cast<std::uint32_t>(out.size() - start - entriesStart));
    AppendEntry(out, entry);
  }
  for (std::size_t i = 0; i < type.slots.size(); ++i) {
    const std::uint32_t slot = type.slots[i];
    PutU32(out, offsetsAt + 4 * i, slot == kNoEntry ? kNoEntry : entryOffsets[slot]);
  }
  FinishChunk(out, start);
}

void AppendPackage(std::string& out, const Package& package) {
  const std::string typeNames = WriteStringPool(package.typeNames);
  const std::string keys = WriteStringPool(package.keys);
  const std::size_t start = BeginChunk(out, kPackageChunk, kPackageHeaderSize);
  AppendU32(out, package.id);
  out += package.nameField;
  AppendU32(out, kPackageHeaderSize);
  AppendU32(out, package.lastPublicType);
  AppendU32(out, static_cast<std::uint32_t>(kPackageHeaderSize + typeNames.size()));
  AppendU32(out, package.lastPublicKey);
  AppendU32(out, package.typeIdOffset);
  out += typeNames;
  out += keys;
  for (const TypeGroup& group : package.types) {
    AppendSpec(out, group);
    for (const TypeChunk& type : group.chunks) AppendType(out, group.id, type);
  }
  for (const std::string& chunk : package.keptChunks) out += chunk;
  FinishChunk(out, start);
}

}  // namespace

std::string WriteTable(const Table& table) {
  std::string out;
  const std::size_t start = BeginChunk(out, kTableChunk, kTableHeaderSize);
  AppendU32(out, static_cast<std::uint32_t>(table.packages.size()));
  out += WriteStringPool(table.values);
  for (const Package& package : table.packages) AppendPackage(out, package);
  FinishChunk(out, start);
  return out;
}

}  // namespace velmora::apk
