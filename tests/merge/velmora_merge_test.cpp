#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <sstream>

#include "merge/merge_fixture.h"
#include "support/child_program.h"
#include "support/forged_zip.h"

namespace velmora::test {
namespace {

namespace fs = std::filesystem;

// What aapt2 dumps of a package's resources, with each resource's values
// sorted: a merge appends the splits' configurations where a whole build
// interleaves them, and their order means nothing to Android.
std::string ResourcesOf(const std::string& apk) {
  std::istringstream dump(RunToEnd({"aapt2", "dump", "resources", apk}).out);
  std::string normalized, line;
  std::vector<std::string> values;
  auto flush = [&] {
    std::sort(values.begin(), values.end());
    for (const std::string& value : values) normalized += value + "\n";
    values.clear();
  };
  while (std::getline(dump, line)) {
    if (line.starts_with("Binary APK")) continue;
    if (line.find("resource 0x") != std::string::npos || line.find("type ") == 2) {
      flush();
      normalized += line + "\n";
    } else {
      values.push_back(line);
    }
  }
  flush();
  return normalized;
}

std::string ManifestOf(const std::string& apk) {
  return RunToEnd({"aapt2", "dump", "xmltree", "--file", "AndroidManifest.xml", apk}).out;
}

enum class Packing { kFolder, kXapk, kApks };

std::string PackingName(Packing packing) {
  return packing == Packing::kFolder ? "folder" : packing == Packing::kXapk ? "xapk" : "apks";
}

class PackedSetTest : public VelmoraMergeTest, public ::testing::WithParamInterface<Packing> {
 protected:
  std::string PackedSet() const {
    switch (GetParam()) {
      case Packing::kFolder:
        return SetFolder();
      case Packing::kXapk: {
        auto entries = SetEntries([](const std::string& name) { return name; });
        entries["manifest.json"] = R"({"package_name":"org.velmora.splitdemo","split_apks":[]})";
        SplitApp::WriteArchive(work_ / "演示.xapk", entries, 8);
        return work_ / "演示.xapk";
      }
      case Packing::kApks: {
        // bundletool's layout, with a standalone APK for old devices that is
        // no part of the set.
        auto entries = SetEntries([](const std::string& name) { return "splits/" + name; });
        entries["standalones/standalone-hdpi.apk"] = TempDir::ReadFile(app_->Whole());
        entries["toc.pb"] = "table of contents";
        SplitApp::WriteArchive(work_ / "演示.apks", entries, 0);
        return work_ / "演示.apks";
      }
    }
    return "";
  }
};

TEST_P(PackedSetTest, gives_the_whole_builds_resources_an_unsplit_manifest_and_a_stored_library) {
  const FinishedProgram merge = Merge(PackedSet(), output_);

  ASSERT_EQ(merge.exitStatus, 0) << merge.out << merge.err;
  EXPECT_TRUE(merge.out.ends_with("合并完成：" + output_ + "（未签名）\n")) << merge.out;
  EXPECT_EQ(ResourcesOf(output_), ResourcesOf(app_->Whole()));

  const std::string manifest = ManifestOf(output_);
  for (const char* left : {" split=", "isolatedSplits", "isSplitRequired", "uses-split",
                           "com.android.vending", "com.android.stamp"}) {
    EXPECT_EQ(manifest.find(left), std::string::npos) << left << " is left:\n" << manifest;
  }
  EXPECT_NE(manifest.find("org.velmora.kept"), std::string::npos) << manifest;
  EXPECT_NE(manifest.find("@0x7f"), std::string::npos) << "references stay:\n" << manifest;

  auto opened = apk::ZipReader::OpenFile(output_, "merged");
  ASSERT_TRUE(std::holds_alternative<apk::ZipReader>(opened));
  const apk::ZipReader& merged = std::get<apk::ZipReader>(opened);
  const apk::ZipEntry* library = merged.Find(SplitApp::kLibrary);
  ASSERT_NE(library, nullptr);
  EXPECT_EQ(library->method, 0) << "a library the app loads in place stays stored";
  EXPECT_EQ(std::get<std::string>(merged.Read(*library, 1 << 20)), SplitApp::LibraryBytes());
  EXPECT_EQ(merged.Find("resources.arsc")->method, 0);
}

INSTANTIATE_TEST_SUITE_P(Packings, PackedSetTest,
                         ::testing::Values(Packing::kFolder, Packing::kXapk, Packing::kApks),
                         [](const auto& info) { return PackingName(info.param); });

struct RefusalCase {
  std::string name;
  std::string why;  // what the refusal line says
};

class RefusalTest : public VelmoraMergeTest, public ::testing::WithParamInterface<RefusalCase> {
 protected:
  // Writes the APK at `path` anew with `extra` added to its entries.
  static void ForgeApk(const std::string& path, const ForgedEntry& extra) {
    std::vector<ForgedEntry> entries = ForgedZip::EntriesOf(path);
    entries.push_back(extra);
    ForgedZip::Write(path, entries);
  }

  std::string RefusedSet() {
    const std::string& name = GetParam().name;
    if (name == "mismatched_version_code") {
      return SetFolder({{"config.x86.apk", app_->ManifestOnlySplit("config.x86", "8", "")}});
    }
    if (name == "feature_split") {
      return SetFolder({{"extra.apk", app_->ManifestOnlySplit("feature_extra", "7",
                                                              "android:isFeatureSplit=\"true\"")}});
    }
    if (name == "encrypted_apkm") return work_.Write("演示.apkm", std::string(600, '\x5a'));
    if (name == "damaged_zip") {
      const std::string folder = SetFolder();
      const std::string base = TempDir::ReadFile(folder + "/base.apk");
      work_.Write("演示 set/base.apk", base.substr(0, base.size() - 30));
      return folder;
    }
    if (name == "truncated_manifest") {
      const std::string folder = SetFolder();
      auto opened = apk::ZipReader::OpenFile(folder + "/config.fr.apk", "fr");
      const auto& fr = std::get<apk::ZipReader>(opened);
      const std::string manifest =
          std::get<std::string>(fr.Read(*fr.Find("AndroidManifest.xml"), 1 << 20));
      SplitApp::WriteArchive(folder + "/config.fr.apk",
                             {{"AndroidManifest.xml", manifest.substr(0, manifest.size() - 40)}},
                             8);
      return folder;
    }
    if (name == "entry_longer_than_recorded") {
      const std::string folder = SetFolder();
      ForgeApk(folder + "/base.apk",
               {.name = "assets/lie.bin", .zeros = 1 << 20, .recordedSize = 620});
      return folder;
    }
    if (name == "entry_crc_mismatch") {
      const std::string folder = SetFolder();
      std::vector<ForgedEntry> entries = ForgedZip::EntriesOf(folder + "/config.arm64_v8a.apk");
      for (ForgedEntry& entry : entries) {
        if (entry.name == SplitApp::kLibrary) entry.recordedCrc = 0x12345678;
      }
      ForgedZip::Write(folder + "/config.arm64_v8a.apk", entries);
      return folder;
    }
    if (name == "member_crc_mismatch" || name == "claims_more_than_free_space") {
      std::vector<ForgedEntry> members;
      for (const auto& [member, bytes] : SetEntries([](const std::string& file) { return file; })) {
        members.push_back({.name = member, .bytes = bytes});
      }
      if (name == "member_crc_mismatch") members.front().recordedCrc = 0x12345678;
      if (name == "claims_more_than_free_space") members.front().recordedSize = 1ull << 50;
      ForgedZip::Write(work_ / "演示.xapk", members);
      return work_ / "演示.xapk";
    }
    // Unrelated apps: two bases.
    return SetFolder({{"other.apk", app_->Whole()}});
  }
};

TEST_P(RefusalTest, says_why_in_one_line_and_writes_nothing) {
  const std::string set = RefusedSet();
  const std::vector<std::string> before = NamesIn(work_.path());
  const FinishedProgram merge = Merge(set, output_);

  EXPECT_EQ(merge.exitStatus, 1) << merge.out << merge.err;
  const std::size_t refusal = merge.out.find("合并失败：");
  ASSERT_NE(refusal, std::string::npos) << merge.out;
  EXPECT_NE(merge.out.find(GetParam().why, refusal), std::string::npos) << merge.out;
  EXPECT_TRUE(merge.out.ends_with("\n") && merge.out.find('\n', refusal) == merge.out.size() - 1)
      << "the refusal is the last line:\n"
      << merge.out;
  EXPECT_FALSE(fs::exists(output_));
  EXPECT_EQ(NamesIn(work_.path()), before) << "nothing is left beside the output";
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, RefusalTest,
    ::testing::Values(
        RefusalCase{"mismatched_version_code", "config.x86.apk 的版本号 8"},
        RefusalCase{"feature_split", "extra.apk 是功能分包"},
        RefusalCase{"encrypted_apkm", "演示.apkm 是加密的 .apkm 文件"},
        RefusalCase{"damaged_zip", "base.apk 不是可读的 ZIP 文件"},
        RefusalCase{"truncated_manifest", "config.fr.apk 的"},
        RefusalCase{"unrelated_apps", "有多个基础包（base.apk、other.apk）"},
        RefusalCase{"entry_longer_than_recorded",
                    "base.apk 中的 assets/lie.bin 已损坏：解压后比记录的 620 字节更长"},
        RefusalCase{"entry_crc_mismatch",
                    "config.arm64_v8a.apk 中的 lib/arm64-v8a/libdemo.so 已损坏（CRC"},
        RefusalCase{"member_crc_mismatch", "演示.xapk 中的 base.apk 已损坏（CRC"},
        RefusalCase{"claims_more_than_free_space", "空间不足：合并需要约 2048.0 TB，"}),
    [](const auto& info) { return info.param.name; });

TEST(VelmoraMergeUsage, ends_with_status_2_and_the_usage_on_standard_error_unless_asked_for_it) {
  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{}, {"set"}, {"set", "-o"}, {"a", "b", "-o", "c.apk"}}) {
    std::vector<std::string> argv{VELMORA_MERGE_PATH};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    const FinishedProgram run = RunToEnd(argv);
    EXPECT_EQ(run.exitStatus, 2) << ::testing::PrintToString(arguments);
    EXPECT_NE(run.err.find("usage: velmora-merge SET -o OUT.apk"), std::string::npos) << run.err;
  }
  const FinishedProgram help = RunToEnd({VELMORA_MERGE_PATH, "--help"});
  EXPECT_EQ(help.exitStatus, 0);
  EXPECT_TRUE(help.out.starts_with("usage: velmora-merge SET -o OUT.apk")) << help.out;
}

}  // namespace
}  // namespace velmora::test
