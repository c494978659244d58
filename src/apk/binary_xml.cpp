#include "apk/binary_xml.h"

#include <optional>

namespace velmora::apk {
namespace {

constexpr std::uint16_t kStringPoolType = 0x0001;
constexpr std::uint16_t kXmlType = 0x0003;
constexpr std::uint16_t kStartNamespaceType = 0x0100;
constexpr std::uint16_t kEndNamespaceType = 0x0101;
constexpr std::uint16_t kStartElementType = 0x0102;
constexpr std::uint16_t kEndElementType = 0x0103;
constexpr std::uint16_t kTextType = 0x0104;
constexpr std::uint16_t kResourceMapType = 0x0180;

constexpr std::size_t kChunkHeaderSize = 8;
constexpr std::size_t kNodeHeaderSize = 16;
constexpr std::size_t kElementExtSize = 20;
constexpr std::size_t kAttributeSize = 20;
constexpr std::size_t kTypedValueSize = 8;

std::uint16_t Read16(std::string_view bytes, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                    static_cast<unsigned char>(bytes[at + 1]) << 8);
}

std::uint32_t Read32(std::string_view bytes, std::size_t at) {
  return static_cast<std::uint32_t>(Read16(bytes, at)) |
         static_cast<std::uint32_t>(Read16(bytes, at + 2)) << 16;
}

void Append16(std::string& out, std::uint16_t value) {
  out.push_back(static_cast<char>(value & 0xff));
  out.push_back(static_cast<char>(value >> 8));
}

void Append32(std::string& out, std::uint32_t value) {
  Append16(out, static_cast<std::uint16_t>(value & 0xffff));
  Append16(out, static_cast<std::uint16_t>(value >> 16));
}

// A chunk's header fields, checked to lie within the bytes that hold it.
struct Chunk {
  std::uint16_t type = 0;
  std::size_t headerSize = 0;
  std::string_view bytes;  // the whole chunk
};

std::optional<Chunk> ChunkAt(std::string_view bytes, std::size_t at) {
  if (bytes.size() - at < kChunkHeaderSize) return std::nullopt;
  const std::size_t headerSize = Read16(bytes, at + 2);
  const std::size_t size = Read32(bytes, at + 4);
  if (headerSize < kChunkHeaderSize || size < headerSize || size > bytes.size() - at) {
    return std::nullopt;
  }
  return Chunk{Read16(bytes, at), headerSize, bytes.substr(at, size)};
}

TypedValue ReadTypedValue(std::string_view bytes, std::size_t at) {
  return TypedValue{static_cast<std::uint8_t>(bytes[at + 3]), Read32(bytes, at + 4)};
}

void AppendTypedValue(std::string& out, TypedValue value) {
  Append16(out, kTypedValueSize);
  out.push_back('\0');
  out.push_back(static_cast<char>(value.dataType));
  Append32(out, value.data);
}

// The size of the extension that follows a node's header, by node type.
std::size_t ExtensionSize(std::uint16_t type) {
  switch (type) {
    case kStartElementType:
      return kElementExtSize;
    case kTextType:
      return 4 + kTypedValueSize;
    default:
      return 8;
  }
}

Parsed<XmlNode> ReadNode(const Chunk& chunk) {
  const std::string_view bytes = chunk.bytes;
  const std::size_t ext = chunk.headerSize;
  if (chunk.headerSize < kNodeHeaderSize || bytes.size() - ext < ExtensionSize(chunk.type)) {
    return FormatError{
        "node at line " +
        std::string(chunk.headerSize < kNodeHeaderSize ? "?" : std::to_string(Read32(bytes, 8))) +
        " is cut short"};
  }
  XmlNode node;
  node.lineNumber = Read32(bytes, 8);
  node.comment = Read32(bytes, 12);
  node.ns = Read32(bytes, ext);
  node.name = Read32(bytes, ext + 4);
  switch (chunk.type) {
    case kStartNamespaceType:
      node.kind = XmlNode::Kind::StartNamespace;
      return node;
    case kEndNamespaceType:
      node.kind = XmlNode::Kind::EndNamespace;
      return node;
    case kEndElementType:
      node.kind = XmlNode::Kind::EndElement;
      return node;
    case kTextType:
      node.kind = XmlNode::Kind::Text;
      node.ns = kNoString;
      node.name = Read32(bytes, ext);
      node.textValue = ReadTypedValue(bytes, ext + 4);
      return node;
    default:
      break;
  }
  node.kind = XmlNode::Kind::StartElement;
  const std::size_t attributeStart = Read16(bytes, ext + 8);
  const std::size_t attributeSize = Read16(bytes, ext + 10);
  const std::size_t attributeCount = Read16(bytes, ext + 12);
  node.idIndex = Read16(bytes, ext + 14);
  node.classIndex = Read16(bytes, ext + 16);
  node.styleIndex = Read16(bytes, ext + 18);
  if (attributeCount > 0 &&
      (attributeSize < kAttributeSize || attributeStart < kElementExtSize ||
       attributeStart + attributeCount * attributeSize > bytes.size() - ext)) {
    return FormatError{"element at line " + std::to_string(node.lineNumber) +
                       ": its attributes do not fit the element"};
  }
  for (std::size_t i = 0; i < attributeCount; ++i) {
    const std::size_t at = ext + attributeStart + i * attributeSize;
    node.attributes.push_back(XmlAttribute{Read32(bytes, at), Read32(bytes, at + 4),
                                           Read32(bytes, at + 8), ReadTypedValue(bytes, at + 12)});
  }
  return node;
}

void AppendNodeHeader(std::string& out, std::uint16_t type, std::size_t size, const XmlNode& node) {
  Append16(out, type);
  Append16(out, kNodeHeaderSize);
  Append32(out, static_cast<std::uint32_t>(size));
  Append32(out, node.lineNumber);
  Append32(out, node.comment);
}

void AppendStartElement(std::string& out, const XmlNode& node) {
  AppendNodeHeader(out, kStartElementType,
                   kNodeHeaderSize + kElementExtSize + node.attributes.size() * kAttributeSize,
                   node);
  Append32(out, node.ns);
  Append32(out, node.name);
  Append16(out, kElementExtSize);
  Append16(out, kAttributeSize);
  Append16(out, static_cast<std::uint16_t>(node.attributes.size()));
  Append16(out, node.idIndex);
  Append16(out, node.classIndex);
  Append16(out, node.styleIndex);
  for (const XmlAttribute& attribute : node.attributes) {
    Append32(out, attribute.ns);
    Append32(out, attribute.name);
    Append32(out, attribute.rawValue);
    AppendTypedValue(out, attribute.value);
  }
}

void AppendNode(std::string& out, const XmlNode& node) {
  switch (node.kind) {
    case XmlNode::Kind::StartElement:
      AppendStartElement(out, node);
      return;
    case XmlNode::Kind::Text:
      AppendNodeHeader(out, kTextType, kNodeHeaderSize + ExtensionSize(kTextType), node);
      Append32(out, node.name);
      AppendTypedValue(out, node.textValue);
      return;
    case XmlNode::Kind::Other:
      out += node.raw;
      return;
    case XmlNode::Kind::StartNamespace:
    case XmlNode::Kind::EndNamespace:
    case XmlNode::Kind::EndElement: {
      const std::uint16_t type = node.kind == XmlNode::Kind::StartNamespace ? kStartNamespaceType
                                 : node.kind == XmlNode::Kind::EndNamespace ? kEndNamespaceType
                                                                            : kEndElementType;
      AppendNodeHeader(out, type, kNodeHeaderSize + 8, node);
      Append32(out, node.ns);
      Append32(out, node.name);
      return;
    }
  }
}

}  // namespace

Parsed<XmlDocument> ReadBinaryXml(std::string_view bytes) {
  const std::optional<Chunk> tree = ChunkAt(bytes, 0);
  if (!tree || tree->type != kXmlType) return FormatError{"not a compiled XML file"};
  XmlDocument document;
  bool havePool = false;
  for (std::size_t at = tree->headerSize; at < tree->bytes.size();) {
    const std::optional<Chunk> chunk = ChunkAt(tree->bytes, at);
    if (!chunk) return FormatError{"chunk at offset " + std::to_string(at) + " does not fit"};
    at += chunk->bytes.size();
    if (chunk->type == kStringPoolType) {
      if (havePool) return FormatError{"a second string pool"};
      Parsed<StringPool> pool = ReadStringPool(chunk->bytes);
      if (auto* error = std::get_if<FormatError>(&pool)) {
        return FormatError{"string pool: " + error->message};
      }
      document.pool = std::move(std::get<StringPool>(pool));
      havePool = true;
    } else if (chunk->type == kResourceMapType) {
      for (std::size_t id = chunk->headerSize; id + 4 <= chunk->bytes.size(); id += 4) {
        document.resourceIds.push_back(Read32(chunk->bytes, id));
      }
    } else if (chunk->type >= kStartNamespaceType && chunk->type <= kTextType) {
      Parsed<XmlNode> node = ReadNode(*chunk);
      if (auto* error = std::get_if<FormatError>(&node)) return *error;
      document.nodes.push_back(std::move(std::get<XmlNode>(node)));
    } else {
      XmlNode other;
      other.raw = chunk->bytes;
      document.nodes.push_back(std::move(other));
    }
  }
  if (!havePool) return FormatError{"no string pool"};
  return document;
}

std::string WriteBinaryXml(const XmlDocument& document) {
  std::string body = WriteStringPool(document.pool);
  if (!document.resourceIds.empty()) {
    Append16(body, kResourceMapType);
    Append16(body, kChunkHeaderSize);
    Append32(body, static_cast<std::uint32_t>(kChunkHeaderSize + 4 * document.resourceIds.size()));
    for (std::uint32_t id : document.resourceIds) Append32(body, id);
  }
  for (const XmlNode& node : document.nodes) AppendNode(body, node);
  std::string out;
  Append16(out, kXmlType);
  Append16(out, kChunkHeaderSize);
  Append32(out, static_cast<std::uint32_t>(kChunkHeaderSize + body.size()));
  return out + body;
}

std::string_view StringAt(const XmlDocument& document, std::uint32_t index) {
  return index < document.pool.strings.size() ? std::string_view(document.pool.strings[index])
                                              : std::string_view();
}

std::uint32_t ResourceIdAt(const XmlDocument& document, std::uint32_t index) {
  return index < document.resourceIds.size() ? document.resourceIds[index] : 0;
}

}  // namespace velmora::apk
