#include "apk/split_merge.h"

#include <algorithm>
#include <array>
#include <map>
#include <optional>

#include "apk/entry_name.h"
#include "apk/manifest.h"
#include "apk/resource_table.h"
#include "apk/zip_writer.h"
#include "config/text.h"

namespace velmora::apk {
namespace {

constexpr std::string_view kManifest = "AndroidManifest.xml";
constexpr std::string_view kTable = "resources.arsc";
constexpr std::uint64_t kLargestManifest = std::uint64_t{16} << 20;
constexpr std::uint64_t kLargestTable = std::uint64_t{1} << 30;
constexpr std::int32_t kStored = 0;

struct SetApk {
  ZipReader archive;
  ManifestFacts facts;
  std::string manifest;
};

const std::string& NameOf(const SetApk& apk) {
  return apk.archive.DisplayName();
}

std::string VersionText(const ManifestFacts& facts) {
  return facts.versionCode ? std::to_string(*facts.versionCode) : "（无）";
}

Parsed<SetApk> ReadManifestOf(ZipReader archive) {
  const ZipEntry* entry = archive.Find(kManifest);
  if (entry == nullptr) {
    return FormatError{archive.DisplayName() + " 中没有 AndroidManifest.xml，不是 APK"};
  }
  Parsed<std::string> manifest = archive.Read(*entry, kLargestManifest);
  if (auto* failure = std::get_if<FormatError>(&manifest)) return *failure;
  Parsed<ManifestFacts> facts = ReadManifestFacts(std::get<std::string>(manifest));
  if (auto* failure = std::get_if<FormatError>(&facts)) {
    return FormatError{archive.DisplayName() + " 的 " + failure->message};
  }
  return SetApk{std::move(archive), std::move(std::get<ManifestFacts>(facts)),
                std::move(std::get<std::string>(manifest))};
}

// Puts the base first; the splits keep their order.
Parsed<std::vector<SetApk>> OrderBaseFirst(std::vector<SetApk> apks) {
  std::vector<std::string> bases;
  for (const SetApk& apk : apks) {
    if (apk.facts.split.empty()) bases.push_back(NameOf(apk));
  }
  if (bases.empty()) return FormatError{"找不到基础包：每个 APK 的清单都带有 split 属性"};
  if (bases.size() > 1) {
    std::string names;
    for (const std::string& name : bases) names += (names.empty() ? "" : "、") + name;
    return FormatError{"有多个基础包（" + names + "），它们不是同一个应用的分包"};
  }
  std::stable_partition(apks.begin(), apks.end(),
                        [](const SetApk& apk) { return apk.facts.split.empty(); });
  return apks;
}

// Why `split` cannot join `base`, if it cannot.
std::optional<FormatError> RefusalOf(const SetApk& base, const SetApk& split) {
  const std::string name = NameOf(split);
  const ManifestFacts& facts = split.facts;
  if (facts.package != base.facts.package) {
    return FormatError{name + " 属于另一个应用（包名 " + facts.package + "，基础包为 " +
                       base.facts.package + "）"};
  }
  if (facts.versionCode != base.facts.versionCode) {
    return FormatError{name + " 的版本号 " + VersionText(facts) + " 与基础包的版本号 " +
                       VersionText(base.facts) + " 不同"};
  }
  if (facts.featureSplit) {
    return FormatError{name + " 是功能分包（split=" + facts.split + "），暂不支持合并"};
  }
  if (facts.assetPack) {
    return FormatError{name + " 是资源包（asset pack），暂不支持合并"};
  }
  if (!facts.configForSplit.empty()) {
    return FormatError{name + " 是功能分包 " + facts.configForSplit + " 的配置分包，暂不支持合并"};
  }
  if (!facts.split.starts_with("config.")) {
    return FormatError{name + " 不是配置分包（split=" + facts.split + "），暂不支持合并"};
  }
  return std::nullopt;
}

Parsed<std::optional<std::string>> ReadTable(const SetApk& apk) {
  const ZipEntry* entry = apk.archive.Find(kTable);
  if (entry == nullptr) return std::optional<std::string>();
  Parsed<std::string> table = apk.archive.Read(*entry, kLargestTable);
  if (auto* failure = std::get_if<FormatError>(&table)) return *failure;
  return std::optional<std::string>(std::move(std::get<std::string>(table)));
}

// The merged resources table; the base's as it is when no split has one.
Parsed<std::string> MergeTables(const std::vector<SetApk>& apks, const StepReport& report) {
  std::vector<std::optional<std::string>> tables;
  for (const SetApk& apk : apks) {
    Parsed<std::optional<std::string>> table = ReadTable(apk);
    if (auto* failure = std::get_if<FormatError>(&table)) return *failure;
    tables.push_back(std::move(std::get<std::optional<std::string>>(table)));
  }
  std::vector<NamedTable> splitTables;
  for (std::size_t i = 1; i < apks.size(); ++i) {
    if (tables[i]) splitTables.push_back({NameOf(apks[i]), *tables[i]});
  }
  const std::optional<std::string>& baseTable = tables.front();
  if (splitTables.empty()) return baseTable.value_or(std::string());
  if (!baseTable) {
    return FormatError{NameOf(apks.front()) + " 没有 resources.arsc，无法合并分包的资源"};
  }
  report("合并资源表：基础包与 " + std::to_string(splitTables.size()) + " 个分包");
  Parsed<MergedTable> merged = MergeResourceTables({NameOf(apks.front()), *baseTable}, splitTables);
  if (auto* failure = std::get_if<FormatError>(&merged)) return *failure;
  for (const std::string& note : std::get<MergedTable>(merged).notes) report(note);
  return std::move(std::get<MergedTable>(merged).bytes);
}

// The files of the old signatures: the JAR signature in META-INF/ and the
// digest of the store's source stamp. The merged APK is signed anew.
bool IsSignatureFile(std::string_view name) {
  if (name == "stamp-cert-sha256") return true;
  if (!name.starts_with("META-INF/")) return false;
  const std::string file = LowerAscii(name.substr(9));
  if (file.find('/') != std::string::npos) return false;
  constexpr std::array<std::string_view, 4> kSignatureExtensions{".sf", ".rsa", ".dsa", ".ec"};
  return file == "manifest.mf" || file.starts_with("sig-") ||
         std::any_of(kSignatureExtensions.begin(), kSignatureExtensions.end(),
                     [&](std::string_view extension) { return file.ends_with(extension); });
}

// Reads the whole of an entry that is copied without being inflated, so that
// a size or CRC that does not match its data is refused here rather than
// carried into the merged APK; nothing of it is kept.
Parsed<std::monostate> CheckData(const ZipReader& archive, const ZipEntry& entry) {
  return archive.Stream(entry, [](std::string_view) { return std::optional<FormatError>(); });
}

// Reads the manifests of a set's APKs and checks that they make one app: the
// base first, then its config splits.
Parsed<std::vector<SetApk>> ReadSet(std::vector<ZipReader> archives, const StepReport& report) {
  std::vector<SetApk> read;
  for (ZipReader& archive : archives) {
    Parsed<SetApk> apk = ReadManifestOf(std::move(archive));
    if (auto* failure = std::get_if<FormatError>(&apk)) return *failure;
    read.push_back(std::move(std::get<SetApk>(apk)));
  }
  Parsed<std::vector<SetApk>> ordered = OrderBaseFirst(std::move(read));
  if (auto* failure = std::get_if<FormatError>(&ordered)) return *failure;
  const std::vector<SetApk>& apks = std::get<std::vector<SetApk>>(ordered);
  const SetApk& base = apks.front();
  report("基础包：" + NameOf(base) + "（" + base.facts.package + "，版本号 " +
         VersionText(base.facts) + "）");
  for (auto split = apks.begin() + 1; split != apks.end(); ++split) {
    if (std::optional<FormatError> refusal = RefusalOf(base, *split)) return *refusal;
    report("配置分包：" + NameOf(*split) + "（" + split->facts.split + "）");
  }
  return ordered;
}

// What the merged APK holds in place of the base's own files.
struct MergedFiles {
  std::string manifest;
  std::string table;
};

// Writes the base's entries, its manifest and table replaced by the merged
// ones, then the splits' other entries; the first APK to hold a name wins.
// An entry whose name could reach outside a folder is dropped, with a line.
Parsed<std::monostate> WriteMergedApk(const std::vector<SetApk>& apks, MergedFiles merged,
                                      const std::string& output, const StepReport& report) {
  Parsed<ZipWriter> created = ZipWriter::Create(output);
  if (auto* failure = std::get_if<FormatError>(&created)) return *failure;
  ZipWriter& writer = std::get<ZipWriter>(created);
  std::map<std::string, std::string, std::less<>> owners;  // entry name -> the APK it came from
  int copied = 0;
  int signatureFiles = 0;
  for (const SetApk& apk : apks) {
    const bool isBase = &apk == &apks.front();
    for (const ZipEntry& entry : apk.archive.Entries()) {
      if (std::optional<std::string_view> why = WhyUnsafeEntryName(entry.name)) {
        report("丢弃 " + NameOf(apk) + " 中的条目 " + ShownEntryName(entry.name) + "：" +
               std::string(*why));
        continue;
      }
      if (IsSignatureFile(entry.name)) {
        ++signatureFiles;
        continue;
      }
      const bool ownFile = entry.name == kManifest || entry.name == kTable;
      if (ownFile && !isBase) continue;
      if (auto owner = owners.find(entry.name); owner != owners.end()) {
        report("重名文件 " + entry.name + "：保留 " + owner->second + " 中的，忽略 " + NameOf(apk) +
               " 中的");
        continue;
      }
      if (!ownFile) {
        Parsed<std::monostate> checked = CheckData(apk.archive, entry);
        if (auto* failure = std::get_if<FormatError>(&checked)) return *failure;
      }
      Parsed<std::monostate> added =
          entry.name == kManifest
              ? writer.Add(entry.name, merged.manifest, entry.method, entry.modified)
          : entry.name == kTable
              ? writer.Add(entry.name, std::move(merged.table), kStored, entry.modified)
              : writer.Copy(apk.archive, entry);
      if (auto* failure = std::get_if<FormatError>(&added)) return *failure;
      copied += ownFile ? 0 : 1;
      owners.emplace(entry.name, NameOf(apk));
    }
  }
  report("复制文件 " + std::to_string(copied) + " 个，删除旧签名文件 " +
         std::to_string(signatureFiles) + " 个");
  return writer.Commit();
}

}  // namespace

Parsed<std::monostate> MergeSplitSet(std::vector<ZipReader> archives, const std::string& output,
                                     const StepReport& report) {
  Parsed<std::vector<SetApk>> read = ReadSet(std::move(archives), report);
  if (auto* failure = std::get_if<FormatError>(&read)) return *failure;
  const std::vector<SetApk>& apks = std::get<std::vector<SetApk>>(read);
  Parsed<std::string> table = MergeTables(apks, report);
  if (auto* failure = std::get_if<FormatError>(&table)) return *failure;
  Parsed<UnsplitManifest> manifest = RemoveSplitDeclarations(apks.front().manifest);
  if (auto* failure = std::get_if<FormatError>(&manifest)) {
    return FormatError{NameOf(apks.front()) + " 的 " + failure->message};
  }
  const UnsplitManifest& unsplit = std::get<UnsplitManifest>(manifest);
  report("清理清单：移除分包属性 " + std::to_string(unsplit.attributes) + " 个、<uses-split> " +
         std::to_string(unsplit.usesSplits) + " 个、分包 meta-data " +
         std::to_string(unsplit.metaData) + " 个");
  return WriteMergedApk(apks, {unsplit.bytes, std::move(std::get<std::string>(table))}, output,
                        report);
}

}  // namespace velmora::apk
