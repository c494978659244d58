#include "apk/zip_sections.h"

#include <algorithm>

#include "apk/chunk.h"

namespace velmora::apk {
namespace {

constexpr std::size_t kRecordSize = 22;
constexpr std::size_t kLongestComment = 0xFFFF;
constexpr std::uint32_t kRecordSignature = 0x06054b50;
constexpr std::uint32_t kZip64LocatorSignature = 0x07064b50;
constexpr std::size_t kZip64LocatorSize = 20;

}  // namespace

Parsed<ZipSections> FindZipSections(const ArchiveBytes& archive) {
  const std::uint64_t size = archive.Size();
  if (size < kRecordSize) return FormatError{"文件太短，不是 ZIP 文件"};
  const std::uint64_t tailSize = std::min<std::uint64_t>(size, kRecordSize + kLongestComment);
  std::string tail;
  if (!archive.Read(size - tailSize, tailSize, tail)) return FormatError{"无法读取文件末尾"};
  const std::string_view bytes(tail);
  // Searched from the end, the first record whose comment length reaches
  // exactly to the end of the file, as Android's own reader takes it.
  for (std::size_t at = bytes.size() - kRecordSize + 1; at-- > 0;) {
    if (U32At(bytes, at) != kRecordSignature) continue;
    if (U16At(bytes, at + 20) != bytes.size() - at - kRecordSize) continue;
    ZipSections sections;
    sections.endOfCentralDirectoryOffset = size - tailSize + at;
    sections.endOfCentralDirectory = tail.substr(at);
    sections.centralDirectorySize = U32At(bytes, at + 12);
    sections.centralDirectoryOffset = U32At(bytes, at + kCentralDirectoryOffsetField);
    std::string locator;
    if (sections.endOfCentralDirectoryOffset >= kZip64LocatorSize &&
        archive.Read(sections.endOfCentralDirectoryOffset - kZip64LocatorSize, 4, locator) &&
        U32At(locator, 0) == kZip64LocatorSignature) {
      return FormatError{"是 ZIP64 文件，APK 签名不支持这种格式"};
    }
    if (sections.centralDirectoryOffset + sections.centralDirectorySize !=
        sections.endOfCentralDirectoryOffset) {
      return FormatError{"中央目录没有紧接在目录结束记录之前"};
    }
    return sections;
  }
  return FormatError{"找不到 ZIP 目录结束记录"};
}

}  // namespace velmora::apk
