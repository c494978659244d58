#include "apk/split_set.h"

#include <algorithm>
#include <fstream>

#include "apk/entry_name.h"
#include "apk/zip_spool.h"
#include "config/text.h"

namespace velmora::apk {
namespace {

namespace fs = std::filesystem;

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

Parsed<std::vector<fs::path>> ApkFiles(const fs::path& folder) {
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
  return files;
}

// The entries of a set archive that are its APKs. bundletool's .apks holds
// standalone APKs for old devices beside the splits; the splits are the set.
std::vector<ZipEntry> ApkEntries(const ZipReader& archive, const StepReport& report) {
  std::vector<ZipEntry> apks;
  for (const ZipEntry& entry : archive.Entries()) {
    if (!HasApkExtension(entry.name)) continue;
    if (std::optional<std::string_view> why = WhyUnsafeEntryName(entry.name)) {
      report("跳过 " + archive.DisplayName() + " 中的 " + ShownEntryName(entry.name) + "：" +
             std::string(*why));
      continue;
    }
    apks.push_back(entry);
  }
  const bool hasSplits = std::any_of(apks.begin(), apks.end(), [](const ZipEntry& entry) {
    return entry.name.starts_with("splits/");
  });
  if (hasSplits) {
    std::erase_if(apks,
                  [](const ZipEntry& entry) { return entry.name.starts_with("standalones/"); });
  }
  std::sort(apks.begin(), apks.end(),
            [](const ZipEntry& a, const ZipEntry& b) { return a.name < b.name; });
  return apks;
}

}  // namespace

Parsed<SplitSet> SplitSet::Find(const std::string& path, const StepReport& report) {
  std::error_code error;
  const fs::file_status status = fs::status(path, error);
  SplitSet set;
  if (fs::is_directory(status)) {
    Parsed<std::vector<fs::path>> files = ApkFiles(path);
    if (auto* failure = std::get_if<FormatError>(&files)) return *failure;
    set.files_ = std::move(std::get<std::vector<fs::path>>(files));
    for (const fs::path& file : set.files_) {
      // One that cannot be sized now fails to open in a moment, with the reason.
      const std::uintmax_t size = fs::file_size(file, error);
      if (!error) set.apkBytes_ += size;
    }
    return set;
  }
  if (!fs::is_regular_file(status)) return FormatError{"找不到安装包组：" + path};

  const std::string name = fs::path(path).filename().string();
  const bool apkm = LowerAscii(fs::path(path).extension().string()) == ".apkm";
  const std::string encrypted = name + " 是加密的 .apkm 文件，无法读取其中的 APK，请先解密";
  if (!LooksLikeZip(FirstBytes(path, 4))) {
    if (apkm) return FormatError{encrypted};
    return FormatError{name + " 不是 ZIP 格式，不是安装包组"};
  }
  Parsed<ZipReader> opened = ZipReader::OpenFile(path, name);
  if (auto* failure = std::get_if<FormatError>(&opened)) return *failure;
  const ZipReader& archive = std::get<ZipReader>(opened);
  if (archive.Find("AndroidManifest.xml") != nullptr) {
    return FormatError{
        name + " 是单个 APK，不是安装包组（请选择分包所在的文件夹或 .xapk、.apks、.apkm 文件）"};
  }
  set.entries_ = ApkEntries(archive, report);
  if (set.entries_.empty()) return FormatError{name + " 中没有 APK 文件"};
  for (const ZipEntry& entry : set.entries_) {
    if (entry.encrypted) {
      return FormatError{apkm ? encrypted : name + " 中的 " + entry.name + " 已加密，无法读取"};
    }
    set.apkBytes_ += entry.size;
  }
  set.archive_ = std::move(std::get<ZipReader>(opened));
  return set;
}

Parsed<std::vector<ZipReader>> SplitSet::Open(const std::string& spoolFolder) const {
  std::vector<ZipReader> apks;
  if (archive_) {
    for (const ZipEntry& entry : entries_) {
      Parsed<ZipReader> apk = OpenSpooled(*archive_, entry, spoolFolder);
      if (auto* failure = std::get_if<FormatError>(&apk)) return *failure;
      apks.push_back(std::move(std::get<ZipReader>(apk)));
    }
    return apks;
  }
  for (const fs::path& file : files_) {
    Parsed<ZipReader> apk = ZipReader::OpenFile(file.string(), file.filename().string());
    if (auto* failure = std::get_if<FormatError>(&apk)) return *failure;
    apks.push_back(std::move(std::get<ZipReader>(apk)));
  }
  return apks;
}

Parsed<std::vector<ZipReader>> OpenSplitSet(const std::string& path) {
  Parsed<SplitSet> set = SplitSet::Find(path, [](std::string_view) {});
  if (auto* failure = std::get_if<FormatError>(&set)) return *failure;
  std::error_code error;
  const fs::path temporary = fs::temp_directory_path(error);
  return std::get<SplitSet>(set).Open(error ? "/tmp" : temporary.string());
}

}  // namespace velmora::apk
