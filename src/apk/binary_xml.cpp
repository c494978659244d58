#include "apk/binary_xml.h"

#include "apk/chunk.h"

namespace velmora::apk {
namespace {

constexpr std::uint16_t kStartNamespaceType = 0x0100;
constexpr std::uint16_t kEndNamespaceType = 0x0101;
constexpr std::uint16_t kStartElementType = 0x0102;
constexpr std::uint16_t kEndElementType = 0x0103;
constexpr std::uint16_t kTextType = 0x0104;
constexpr std::uint16_t kResourceMapType = 0x0180;

constexpr std::size_t kNodeHeaderSize = 16;
constexpr std::size_t kElementExtSize = 20;
constexpr std::size_t kAttributeSize = 20;

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
    return FormatError{"XML 节点被截断"};
  }
  XmlNode node;
  node.lineNumber = U32At(bytes, 8);
  node.comment = U32At(bytes, 12);
  node.ns = U32At(bytes, ext);
  node.name = U32At(bytes, ext + 4);
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
      node.name = U32At(bytes, ext);
      node.textValue = TypedValueAt(bytes, ext + 4);
      return node;
    default:
      break;
  }
  node.kind = XmlNode::Kind::StartElement;
  const std::size_t attributeStart = U16At(bytes, ext + 8);
  const std::size_t attributeSize = U16At(bytes, ext + 10);
  const std::size_t attributeCount = U16At(bytes, ext + 12);
  node.idIndex = U16At(bytes, ext + 14);
  node.classIndex = U16At(bytes, ext + 16);
  node.styleIndex = U16At(bytes, ext + 18);
  if (attributeCount > 0 &&
      (attributeSize < kAttributeSize || attributeStart < kElementExtSize ||
       attributeStart + attributeCount * attributeSize > bytes.size() - ext)) {
    return FormatError{"第 " + std::to_string(node.lineNumber) + " 行的元素的属性超出了元素的末尾"};
  }
  for (std::size_t i = 0; i < attributeCount; ++i) {
    const std::size_t at = ext + attributeStart + i * attributeSize;
    node.attributes.push_back(XmlAttribute{U32At(bytes, at), U32At(bytes, at + 4),
                                           U32At(bytes, at + 8), TypedValueAt(bytes, at + 12)});
  }
  return node;
}

void AppendNodeHeader(std::string& out, std::uint16_t type, std::size_t size, const XmlNode& node) {
  AppendU16(out, type);
  AppendU16(out, kNodeHeaderSize);
  AppendU32(out, static_cast<std::uint32_t>(size));
  AppendU32(out, node.lineNumber);
  AppendU32(out, node.comment);
}

void AppendStartElement(std::string& out, const XmlNode& node) {
  AppendNodeHeader(out, kStartElementType,
                   kNodeHeaderSize + kElementExtSize + node.attributes.size() * kAttributeSize,
                   node);
  AppendU32(out, node.ns);
  AppendU32(out, node.name);
  AppendU16(out, kElementExtSize);
  AppendU16(out, kAttributeSize);
  AppendU16(out, static_cast<std::uint16_t>(node.attributes.size()));
  AppendU16(out, node.idIndex);
  AppendU16(out, node.classIndex);
  AppendU16(out, node.styleIndex);
  for (const XmlAttribute& attribute : node.attributes) {
    AppendU32(out, attribute.ns);
    AppendU32(out, attribute.name);
    AppendU32(out, attribute.rawValue);
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
      AppendU32(out, node.name);
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
      AppendU32(out, node.ns);
      AppendU32(out, node.name);
      return;
    }
  }
}

}  // namespace

Parsed<XmlDocument> ReadBinaryXml(std::string_view bytes) {
  Parsed<Chunk> tree = ReadChunk(bytes, 0, kChunkHeaderSize, "XML 文件");
  if (auto* error = std::get_if<FormatError>(&tree)) return *error;
  const std::string_view body = std::get<Chunk>(tree).bytes;
  if (std::get<Chunk>(tree).type != kXmlChunk) return FormatError{"不是编译过的 XML 文件"};
  XmlDocument document;
  bool havePool = false;
  for (std::size_t at = std::get<Chunk>(tree).headerSize; at < body.size();) {
    Parsed<Chunk> read = ReadChunk(body, at, kChunkHeaderSize, "XML 的块");
    if (auto* error = std::get_if<FormatError>(&read)) return *error;
    const Chunk& chunk = std::get<Chunk>(read);
    at += chunk.bytes.size();
    if (chunk.type == kStringPoolChunk) {
      if (havePool) return FormatError{"XML 文件有第二个字符串池"};
      Parsed<StringPool> pool = ReadStringPool(chunk.bytes);
      if (auto* error = std::get_if<FormatError>(&pool)) return *error;
      document.pool = std::move(std::get<StringPool>(pool));
      havePool = true;
    } else if (chunk.type == kResourceMapType) {
      for (std::size_t id = chunk.headerSize; id + 4 <= chunk.bytes.size(); id += 4) {
        document.resourceIds.push_back(U32At(chunk.bytes, id));
      }
    } else if (chunk.type >= kStartNamespaceType && chunk.type <= kTextType) {
      Parsed<XmlNode> node = ReadNode(chunk);
      if (auto* error = std::get_if<FormatError>(&node)) return *error;
      document.nodes.push_back(std::move(std::get<XmlNode>(node)));
    } else {
      XmlNode other;
      other.raw = chunk.bytes;
      document.nodes.push_back(std::move(other));
    }
  }
  if (!havePool) return FormatError{"XML 文件没有字符串池"};
  return document;
}

std::string WriteBinaryXml(const XmlDocument& document) {
  std::string out;
  const std::size_t start = BeginChunk(out, kXmlChunk, kChunkHeaderSize);
  out += WriteStringPool(document.pool);
  if (!document.resourceIds.empty()) {
    const std::size_t map = BeginChunk(out, kResourceMapType, kChunkHeaderSize);
    for (std::uint32_t id : document.resourceIds) AppendU32(out, id);
    FinishChunk(out, map);
  }
  for (const XmlNode& node : document.nodes) AppendNode(out, node);
  FinishChunk(out, start);
  return out;
}

std::string_view StringAt(const XmlDocument& document, std::uint32_t index) {
  return index < document.pool.strings.size() ? std::string_view(document.pool.strings[index])
                                              : std::string_view();
}

std::uint32_t ResourceIdAt(const XmlDocument& document, std::uint32_t index) {
  return index < document.resourceIds.size() ? document.resourceIds[index] : 0;
}

}  // namespace velmora::apk
