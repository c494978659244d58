#include "info/apk_report.h"

#include <sys/stat.h>

#include <charconv>
#include <regex>
#include <set>

#include "apk/package_facts.h"
#include "apk/resource_lookup.h"
#include "apk/signature_verdict.h"

namespace velmora::info {
namespace {

constexpr std::uint64_t kLargestManifest = 64u << 20;
constexpr std::uint64_t kLargestTable = 256u << 20;

std::optional<std::int64_t> NumberIn(std::string_view text) {
  std::int64_t number = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (error != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
  return number;
}

// A manifest value with its resource looked up, as it is stored.
ShownValue Resolved(const apk::ManifestValue& value, const apk::ResourceLookup* resources) {
  ShownValue shown;
  if (value.reference != 0 && resources != nullptr) {
    if (std::optional<apk::ResourceValue> resolved = resources->Resolve(value.reference)) {
      shown.number = resolved->number;
      shown.text = resolved->text;
    }
  } else {
    shown.number = value.number;
    shown.text = value.text;
  }
  return shown;
}

// A manifest value with its resource looked up, as a number where it reads
// as one.
ShownValue Shown(const apk::ManifestValue& value, const apk::ResourceLookup* resources) {
  ShownValue shown = Resolved(value, resources);
  if (shown.text) {
    if (std::optional<std::int64_t> number = NumberIn(*shown.text)) {
      shown.number = number;
      shown.text.reset();
    }
  }
  return shown;
}

// A manifest value that is text, whatever it reads as: a versionName "007"
// keeps its zeros.
std::optional<std::string> TextOf(const apk::ManifestValue& value,
                                  const apk::ResourceLookup* resources) {
  const ShownValue shown = Resolved(value, resources);
  if (shown.text) return shown.text;
  if (shown.number) return std::to_string(*shown.number);
  return std::nullopt;
}

std::uint64_t SizeOf(const apk::ZipReader& apk) {
  struct stat status {};
  return ::fstat(apk.BytesDescriptor(), &status) == 0 ? static_cast<std::uint64_t>(status.st_size)
                                                      : 0;
}

void AddLayoutFacts(const apk::ZipReader& apk, ApkReport& report) {
  static const std::regex kDex("classes[0-9]*\\.dex");
  std::set<std::string> abis;
  for (const apk::ZipEntry& entry : apk.Entries()) {
    if (std::regex_match(entry.name, kDex)) ++report.dexFiles;
    if (entry.name.starts_with("lib/") && !entry.name.ends_with('/')) {
      const std::size_t slash = entry.name.find('/', 4);
      if (slash != std::string::npos && slash > 4) abis.insert(entry.name.substr(4, slash - 4));
    }
  }
  report.abis.assign(abis.begin(), abis.end());
}

void AddSignature(const apk::ZipReader& apk, ApkReport& report) {
  const int minSdk = static_cast<int>(report.minSdk.number.value_or(1));
  const int targetSdk = static_cast<int>(report.targetSdk.number.value_or(minSdk));
  const apk::SignatureVerdict verdict = apk::VerifyApkSignature(apk, minSdk, targetSdk);
  SignatureReport& signature = report.signature;
  if (verdict.v1) signature.schemes.push_back("v1");
  if (verdict.v2) signature.schemes.push_back("v2");
  if (verdict.v3) signature.schemes.push_back("v3");
  signature.v31 = verdict.v31;
  signature.verified = verdict.verified;
  signature.problem = verdict.problem;
  for (const std::string& der : verdict.certificates) {
    apk::Parsed<apk::CertificateFacts> facts = apk::ReadCertificate(der);
    if (auto* read = std::get_if<apk::CertificateFacts>(&facts)) signature.signers.push_back(*read);
  }
}

}  // namespace

apk::Parsed<ApkReport> ReportApk(const apk::ZipReader& apk, const std::string& file) {
  const apk::ZipEntry* manifestEntry = apk.Find("AndroidManifest.xml");
  if (manifestEntry == nullptr)
    return apk::FormatError{file + " 不是 APK：没有 AndroidManifest.xml"};
  apk::Parsed<std::string> manifest = apk.Read(*manifestEntry, kLargestManifest);
  if (auto* failure = std::get_if<apk::FormatError>(&manifest)) return *failure;
  apk::Parsed<apk::PackageFacts> parsed = apk::ReadPackageFacts(std::get<std::string>(manifest));
  if (auto* failure = std::get_if<apk::FormatError>(&parsed)) {
    return apk::FormatError{file + "：" + failure->message};
  }
  const apk::PackageFacts& facts = std::get<apk::PackageFacts>(parsed);

  std::string tableBytes;
  std::optional<apk::ResourceLookup> resources;
  if (const apk::ZipEntry* tableEntry = apk.Find("resources.arsc")) {
    apk::Parsed<std::string> table = apk.Read(*tableEntry, kLargestTable);
    if (auto* failure = std::get_if<apk::FormatError>(&table)) return *failure;
    tableBytes = std::move(std::get<std::string>(table));
    apk::Parsed<apk::ResourceLookup> lookup = apk::ResourceLookup::Read(tableBytes);
    if (auto* failure = std::get_if<apk::FormatError>(&lookup)) {
      return apk::FormatError{file + "：resources.arsc：" + failure->message};
    }
    resources = std::move(std::get<apk::ResourceLookup>(lookup));
  }
  const apk::ResourceLookup* lookup = resources ? &*resources : nullptr;

  ApkReport report;
  report.file = file;
  report.package = facts.package;
  report.versionCode = Shown(facts.versionCode, lookup).number;
  report.versionName = TextOf(facts.versionName, lookup);
  report.label = TextOf(facts.label, lookup);
  report.minSdk = Shown(facts.minSdk, lookup);
  report.targetSdk = Shown(facts.targetSdk, lookup);
  report.compileSdk = Shown(facts.compileSdk, lookup);
  report.split = facts.split;
  if (!facts.launchActivity.empty()) report.launchActivity = facts.launchActivity;
  report.permissions = facts.permissions;
  report.size = SizeOf(apk);
  AddLayoutFacts(apk, report);
  AddSignature(apk, report);
  return report;
}

}  // namespace velmora::info
