#include "apk/split_set.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "config/text.h"

namespace velmora::apk {
namespace {

namespace fs = std::filesystem;

// An APK inside a set archive may be as large as an app gets.
constexpr std::uint64_t kLargestApk = std::uint64_t{4} << 30;

bool HasApkExtension(const std::string& name) {
  return LowerAscii(name).ends_with(".apk");
}

std::string FirstBytes(const fs::path& path, std::size_t count) {
  std::ifstream file(path, std::ios::binary);
  std::string bytes(count, '\0');
  file.read(bytes.data(), static_cast<std::streamsize>(count));
  bytes.resize(static_cast<std::size_t>(file.gcount()));
  return bytes;
}

Parsed<std::vector<ZipReader>> OpenFolder(const fs::path& folder) {
  std::vector<fs::path> files;
  std::error_code error;
  for (fs::directory_iterator entry(folder, error), end; !error && entry != end;
       entry.increment(error)) {
    // An entry whose type cannot be read, as a link to nothing, is no APK;
    // the folder itself is still read.
    std::error_code unreadable;
    if (entry->is_regular_file(unreadable) && HasApkExtension(entry->path().filename().string())) {
      files.push_back(entry->path());
    }
  }
  if (error) return FormatError{"无法读取文件夹 " + folder.string() + "：" + error.message()};
  if (files.empty()) return FormatError{"文件夹 " + folder.string() + " 中没有 APK 文件"};
  std::sort(files.begin(), files.end());
  std::vector<ZipReader> apks;
  for (const fs::path& file : files) {
    Parsed<ZipReader> apk = ZipReader::OpenFile(file.string(), file.filename().string());
    if (auto* failure = std::get_if<FormatError>(&apk)) return *failure;
    apks.push_back(std::move(std::get<ZipReader>(apk)));
  }
  return apks;
}

// The entries of a set archive that are its APKs. bundletool's .apks holds
// standalone APKs for old devices beside the splits; the splits are the set.
std::vector<const ZipEntry*> ApkEntries(const ZipReader& archive) {
  std::vector<const ZipEntry*> apks;
  for (const ZipEntry& entry : archive.Entries()) {
    if (HasApkExtension(entry.name)) apks.push_back(&entry);
  }
  const bool hasSplits = std::any_of(apks.begin(), apks.end(), [](const ZipEntry* entry) {
    return entry->name.starts_with("splits/");
  });
  if (hasSplits) {
    std::erase_if(apks,
                  [](const ZipEntry* entry) { return entry->name.starts_with("standalones/"); });
  }
  std::sort(apks.begin(), apks.end(),
            [](const ZipEntry* a, const ZipEntry* b) { return a->name < b->name; });
  return apks;
}

Parsed<std::vector<ZipReader>> OpenArchive(const fs::path& path) {
  const std::string name = path.filename().string();
  const bool apkm = LowerAscii(path.extension().string()) == ".apkm";
  const std::string encrypted = name + " 是加密的 .apkm 文件，无法读取其中的 APK，请先解密";
  if (!LooksLikeZip(FirstBytes(path, 4))) {
    if (apkm) return FormatError{encrypted};
    return FormatError{name + " 不是 ZIP 格式，不是安装包组"};
  }
  Parsed<ZipReader> opened = ZipReader::OpenFile(path.string(), name);
  if (auto* failure = std::get_if<FormatError>(&opened)) return *failure;
  const ZipReader& archive = std::get<ZipReader>(opened);
  if (archive.Find("AndroidManifest.xml") != nullptr) {
    return FormatError{
        name + " 是单个 APK，不是安装包组（请选择分包所在的文件夹或 .xapk、.apks、.apkm 文件）"};
  }
  const std::vector<const ZipEntry*> entries = ApkEntries(archive);
  if (entries.empty()) return FormatError{name + " 中没有 APK 文件"};
  std::vector<ZipReader> apks;
  for (const ZipEntry* entry : entries) {
    if (entry->encrypted) {
      return FormatError{apkm ? encrypted : name + " 中的 " + entry->name + " 已加密，无法读取"};
    }
    Parsed<std::string> bytes = archive.Read(*entry, kLargestApk);
    if (auto* failure = std::get_if<FormatError>(&bytes)) return *failure;
    Parsed<ZipReader> apk =
        ZipReader::OpenBytes(std::move(std::get<std::string>(bytes)), entry->name);
    if (auto* failure = std::get_if<FormatError>(&apk)) return *failure;
    apks.push_back(std::move(std::get<ZipReader>(apk)));
  }
  return apks;
}

}  // namespace

Parsed<std::vector<ZipReader>> OpenSplitSet(const std::string& path) {
  std::error_code error;
  const fs::file_status status = fs::status(path, error);
  if (fs::is_directory(status)) return OpenFolder(path);
  if (fs::is_regular_file(status)) return OpenArchive(path);
  return FormatError{"找不到安装包组：" + path};
}

}  // namespace velmora::apk
