#include "apk/resource_table.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "apk/chunk.h"
#include "support/child_program.h"
#include "support/required_tools.h"
#include "support/split_app.h"
#include "support/temp_dir.h"

namespace velmora::apk {
namespace {

namespace fs = std::filesystem;
using test::RunToEnd;
using test::TempDir;

constexpr const char* kFramework = test::SplitApp::kFramework;

constexpr const char* kManifest = R"(<manifest
    xmlns:android="http://schemas.android.com/apk/res/android" package="org.velmora.merge">
  <application android:label="@string/app_name" android:theme="@style/Theme.Demo"/>
</manifest>)";

// A small app with what a real one spreads over config splits: languages (one
// with a region), densities, a drawable that only one density has, styled
// strings with HTML tags, string arrays, plurals, styles, attributes and
// (for aapt2) overlayable resources, which its splits repeat.
constexpr const char* kValues = R"(<resources>
  <string name="app_name">Merge demo</string>
  <string name="greeting">Hello <b>bold</b> and <i>italic</i> world</string>
  <string name="only_default">Only here</string>
  <string-array name="planets"><item>Mercury</item><item>Venus</item></string-array>
  <plurals name="apples"><item quantity="one">One apple</item><item quantity="other">%d apples</item></plurals>
  <color name="accent">#ff336699</color>
  <dimen name="pad">8dp</dimen>
  <attr name="mode"><enum name="light" value="0"/><enum name="dark" value="1"/></attr>
  <style name="Theme.Demo" parent="android:Theme"><item name="mode">dark</item></style>
</resources>)";
constexpr const char* kFrench = R"(<resources>
  <string name="app_name">Démo de fusion</string>
  <string name="greeting">Bonjour <b>gras</b> et <i>italique</i> monde</string>
  <string-array name="planets"><item>Mercure</item><item>Vénus</item></string-array>
  <plurals name="apples"><item quantity="one">Une pomme</item><item quantity="other">%d pommes</item></plurals>
</resources>)";
constexpr const char* kCanadianFrench =
    R"(<resources><string name="app_name">Démo québécoise</string></resources>)";
constexpr const char* kGerman = R"(<resources>
  <string name="app_name">Zusammenführen</string>
  <string name="greeting">Hallo <u>unterstrichen</u> <font color="red">rot</font></string>
</resources>)";

constexpr const char* kOverlayable = R"(<resources><overlayable name="Demo">
  <policy type="public"><item type="string" name="app_name"/></policy>
</overlayable></resources>)";

std::string Shape(const char* color) {
  return std::string(R"(<shape xmlns:android="http://schemas.android.com/apk/res/android">)") +
         "<solid android:color=\"" + color + "\"/></shape>";
}

// Builds the app with aapt2 and with aapt (whose pools are UTF-16), unsplit
// and split, and variants of it that a sound merge must refuse or reconcile.
class Builds {
 public:
  Builds() {
    WriteApp("app", kFrench);
    fs::create_directory(Path("aapt"));
    const std::vector<std::string> package = {
        "aapt", "package",  "-M", Path("app/AndroidManifest.xml"), "-S", Path("app/res"),
        "-I",   kFramework, "-F"};
    Run(Concat(package, {Path("aapt/full.apk")}));
    // aapt makes density splits only of resources that every density has.
    Run(Concat(package, {Path("aapt/base.apk"), "--split", "fr,fr-rCA", "--split", "de"}));
    // aapt2 knows overlayable resources; aapt does not.
    dir_.Write("app/res/values/overlayable.xml", kOverlayable);
    Compile("app");
    Link("app", "full.apk", {});
    Link("app", "base.apk",
         {"--split", Path("fr.apk") + ":fr,fr-rCA", "--split", Path("de.apk") + ":de", "--split",
          Path("xhdpi.apk") + ":xhdpi", "--split", Path("xxhdpi.apk") + ":xxhdpi"});
    Link("app", "sparse.apk", {"--enable-sparse-encoding", "--min-sdk-version", "26"});
    Link("app", "feature.apk", {"--package-id", "0x80", "--split", Path("feature_fr.apk") + ":fr"});
    // The same app with one more string, so later string ids are shifted.
    WriteApp("shifted", kFrench);
    dir_.Write("shifted/res/values/extra.xml",
               R"(<resources><string name="aaa">first</string></resources>)");
    Compile("shifted");
    Link("shifted", "shifted.apk", {"--split", Path("shifted_fr.apk") + ":fr"});
    // The same app whose French name differs.
    WriteApp("renamed", R"(<resources><string name="app_name">Autre nom</string></resources>)");
    Compile("renamed");
    Link("renamed", "renamed.apk", {"--split", Path("renamed_fr.apk") + ":fr"});
  }

  std::string Path(const std::string& name) const { return dir_ / name; }

  // The resources table of an APK built here.
  std::string Table(const std::string& apk) const {
    return RunToEnd({"unzip", "-p", Path(apk), "resources.arsc"}).out;
  }

  // `aapt2 dump resources` of the base's APK with `table` in place of its own.
  std::string Aapt2Dump(const std::string& table) const {
    return Dump({"aapt2", "dump", "resources"}, table);
  }
  // Android's own table parser, as aapt (version 1) uses it.
  std::string AaptDump(const std::string& table) const {
    return Dump({"aapt", "dump", "--values", "resources"}, table);
  }

 private:
  void WriteApp(const std::string& app, const char* french) {
    dir_.Write(app + "/AndroidManifest.xml", kManifest);
    dir_.Write(app + "/res/values/values.xml", kValues);
    dir_.Write(app + "/res/values-fr/values.xml", french);
    dir_.Write(app + "/res/values-fr-rCA/values.xml", kCanadianFrench);
    dir_.Write(app + "/res/values-de/values.xml", kGerman);
    dir_.Write(app + "/res/drawable/dot.xml", Shape("#0000ff"));
    dir_.Write(app + "/res/drawable-hdpi/dot.xml", Shape("#ff0000"));
    dir_.Write(app + "/res/drawable-xhdpi/dot.xml", Shape("#00ff00"));
    dir_.Write(app + "/res/drawable-xxhdpi/only_large.xml", Shape("#123456"));
  }

  void Compile(const std::string& app) {
    Run({"aapt2", "compile", "--dir", Path(app + "/res"), "-o", Path(app + "/compiled.zip")});
  }

  void Link(const std::string& app, const std::string& apk, std::vector<std::string> options) {
    Run(Concat({"aapt2", "link", "-I", kFramework, "--manifest", Path(app + "/AndroidManifest.xml"),
                "-o", Path(apk)},
               Concat(options, {Path(app + "/compiled.zip")})));
  }

  static std::vector<std::string> Concat(std::vector<std::string> first,
                                         const std::vector<std::string>& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
  }

  static void Run(const std::vector<std::string>& argv) {
    auto run = RunToEnd(argv);
    if (run.exitStatus != 0) ADD_FAILURE() << argv[0] << " " << argv[1] << ": " << run.err;
  }

  std::string Dump(std::vector<std::string> argv, const std::string& table) const {
    TempDir scratch;
    const std::string apk = scratch / "merged.apk";
    fs::copy_file(Path("base.apk"), apk);
    scratch.Write("resources.arsc", table);
    Run({"zip", "-q", "-j", apk, scratch / "resources.arsc"});
    argv.push_back(apk);
    auto run = RunToEnd(argv);
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    return run.out;
  }

  TempDir dir_;
};

// The lines of `text` that start (after blanks) with `prefix`.
std::string LinesStartingWith(const std::string& text, const std::string& prefix) {
  std::istringstream lines(text);
  std::string kept;
  for (std::string line; std::getline(lines, line);) {
    if (line.find_first_not_of(' ') == line.find(prefix)) kept += line + "\n";
  }
  return kept;
}

// Built once, on first use, for all tests.
const Builds& SharedBuilds() {
  static const Builds builds;
  return builds;
}

class ResourceTableMerge : public ::testing::Test {
 protected:
  void SetUp() override {
    test::RequireTools({"aapt2", "aapt", "zip", "unzip"});
    if (IsSkipped() || HasFailure()) return;
    if (!fs::exists(kFramework)) {
      if (test::RunningUnderCi()) FAIL() << "CI installs android-framework-res";
      GTEST_SKIP() << "Skipped: android-framework-res is missing (scripts/setup installs it)";
    }
    builds_ = &SharedBuilds();
  }

  // Merges the tables of the APKs named, the first being the base.
  Parsed<MergedTable> Merge(const std::vector<std::string>& apks) {
    tables_.clear();
    for (const std::string& apk : apks) tables_.push_back(builds_->Table(apk));
    std::vector<NamedTable> splits;
    for (std::size_t i = 1; i < apks.size(); ++i) splits.push_back({apks[i], tables_[i]});
    return MergeResourceTables({apks[0], tables_[0]}, splits);
  }

  static MergedTable Merged(Parsed<MergedTable> result) {
    if (auto* error = std::get_if<FormatError>(&result)) ADD_FAILURE() << error->message;
    return result.index() == 0 ? std::get<MergedTable>(std::move(result)) : MergedTable{};
  }

  const Builds* builds_ = nullptr;
  std::vector<std::string> tables_;
};

struct SplitBuild {
  const char* name;
  std::vector<std::string> apks;  // the base first
  const char* unsplit;
};

class SplitBuildMerge : public ResourceTableMerge,
                        public ::testing::WithParamInterface<SplitBuild> {};

TEST_P(SplitBuildMerge, holds_what_the_unsplit_build_holds) {
  const MergedTable merged = Merged(Merge(GetParam().apks));
  EXPECT_TRUE(merged.notes.empty());
  const std::string full = builds_->Table(GetParam().unsplit);
  EXPECT_EQ(builds_->Aapt2Dump(merged.bytes), builds_->Aapt2Dump(full));
  // Android's parser reads it, and each entry's typeSpec flags say which
  // configuration fields its values differ in, as the unsplit build's do.
  EXPECT_EQ(LinesStartingWith(builds_->AaptDump(merged.bytes), "spec resource"),
            LinesStartingWith(builds_->AaptDump(full), "spec resource"));
}

INSTANTIATE_TEST_SUITE_P(
    Builders, SplitBuildMerge,
    ::testing::Values(SplitBuild{"aapt2",
                                 {"base.apk", "fr.apk", "de.apk", "xhdpi.apk", "xxhdpi.apk"},
                                 "full.apk"},
                      SplitBuild{"aapt",
                                 {"aapt/base.apk", "aapt/base_fr_fr-rCA.apk", "aapt/base_de.apk"},
                                 "aapt/full.apk"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ResourceTableMerge, a_table_merged_with_nothing_is_written_back_byte_for_byte) {
  for (const char* apk : {"full.apk", "base.apk", "aapt/full.apk"}) {
    const MergedTable merged = Merged(Merge({apk}));
    EXPECT_EQ(merged.bytes, tables_[0]) << apk;
  }
}

TEST_F(ResourceTableMerge, where_base_and_split_both_define_an_entry_the_base_wins_with_a_note) {
  const MergedTable same = Merged(Merge({"full.apk", "fr.apk"}));
  EXPECT_TRUE(same.notes.empty());
  const MergedTable merged = Merged(Merge({"full.apk", "renamed_fr.apk"}));
  EXPECT_EQ(merged.notes,
            std::vector<std::string>{
                "renamed_fr.apk: resources.arsc: 1 个资源在基础包的同一配置中已有不同的值，"
                "保留基础包的：string/app_name"});
  EXPECT_EQ(builds_->Aapt2Dump(merged.bytes), builds_->Aapt2Dump(tables_[0]));
}

// Finds the first chunk of `type` in the first package of `table`.
std::size_t FirstChunkOf(const std::string& table, std::uint16_t type) {
  const std::size_t package = U16At(table, 2) + U32At(table, U16At(table, 2) + 4);
  const std::size_t end = package + U32At(table, package + 4);
  for (std::size_t at = package + U16At(table, package + 2); at < end; at += U32At(table, at + 4)) {
    if (U16At(table, at) == type) return at;
  }
  throw std::runtime_error("the table has no chunk of the type asked for");
}

// The first entry of the first type chunk (an array in the app: a bag).
std::size_t FirstEntry(const std::string& table) {
  const std::size_t type = FirstChunkOf(table, kTypeChunk);
  return type + U32At(table, type + 16) + U32At(table, type + U16At(table, type + 2));
}

// Grows the configuration of the first type chunk until the chunk's header
// is 0xFFFF bytes long, the most that its 16-bit size can say, and adjusts
// every size and offset that this moves.
void GrowFirstConfigToFill16BitHeader(std::string& table) {
  const std::size_t type = FirstChunkOf(table, kTypeChunk);
  const std::size_t package = U16At(table, 2) + U32At(table, U16At(table, 2) + 4);
  const std::uint16_t headerSize = U16At(table, type + 2);
  const std::uint32_t grow = 0xFFFF - headerSize;
  table.insert(type + headerSize, grow, '\0');
  table[type + 2] = table[type + 3] = '\xFF';
  for (const std::size_t field : {std::size_t{4}, package + 4, type + 4, type + 16, type + 20}) {
    PutU32(table, field, U32At(table, field) + grow);
  }
}

struct RefusalCase {
  const char* name;
  std::vector<std::string> apks;
  std::function<void(std::string& base)> damage;  // done to the base's table
  const char* expected;                           // a part of the message
};

class ResourceTableRefusal : public ResourceTableMerge,
                             public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(ResourceTableRefusal, names_the_apk_and_the_reason) {
  const RefusalCase& c = GetParam();
  std::vector<std::string> tables;
  for (const std::string& apk : c.apks) tables.push_back(builds_->Table(apk));
  if (c.damage) c.damage(tables[0]);
  std::vector<NamedTable> splits;
  for (std::size_t i = 1; i < tables.size(); ++i) splits.push_back({c.apks[i], tables[i]});
  auto result = MergeResourceTables({c.apks[0], tables[0]}, splits);
  ASSERT_EQ(result.index(), 1u);
  const std::string& message = std::get<FormatError>(result).message;
  EXPECT_NE(message.find(c.expected), std::string::npos) << message;
}

INSTANTIATE_TEST_SUITE_P(
    Tables, ResourceTableRefusal,
    ::testing::Values(
        RefusalCase{
            "feature_split",
            {"base.apk", "feature_fr.apk"},
            nullptr,
            "feature_fr.apk: resources.arsc: 资源包 0x80（org.velmora.merge）与基础包的不同"},
        RefusalCase{"split_of_another_build",
                    {"base.apk", "shifted_fr.apk"},
                    nullptr,
                    "shifted_fr.apk: resources.arsc: 资源 0x7f080001 在此包中是 string/app_name，"
                    "在基础包中却是 string/greeting"},
        RefusalCase{"sparse_entries",
                    {"sparse.apk"},
                    nullptr,
                    "sparse.apk: resources.arsc: "
                    "类型 drawable 使用稀疏条目（FLAG_SPARSE）"},
        RefusalCase{"split_with_an_overlayable_chunk_the_base_lacks",
                    {"base.apk", "fr.apk"},
                    [](std::string& t) { t[FirstChunkOf(t, kOverlayableChunk) + 8] ^= 1; },
                    "fr.apk: resources.arsc: 含有基础包中没有的共享库、可覆盖资源或别名块"},
        RefusalCase{"sixteen_bit_offsets",
                    {"full.apk"},
                    [](std::string& t) { t[FirstChunkOf(t, kTypeChunk) + 9] = 0x02; },
                    "FLAG_OFFSET16"},
        RefusalCase{"compact_entries",
                    {"full.apk"},
                    [](std::string& t) { t[FirstEntry(t) + 2] |= 0x08; },
                    "FLAG_COMPACT"},
        RefusalCase{"absurd_entry_count",
                    {"full.apk"},
                    [](std::string& t) { PutU32(t, FirstChunkOf(t, kTypeChunk) + 12, 1u << 30); },
                    "条目偏移表超出了块的末尾"},
        RefusalCase{"absurd_spec_count",
                    {"full.apk"},
                    [](std::string& t) { PutU32(t, FirstChunkOf(t, kTypeSpecChunk) + 12, ~0u); },
                    "类型说明块被截断"},
        RefusalCase{"absurd_bag_size",
                    {"full.apk"},
                    [](std::string& t) { PutU32(t, FirstEntry(t) + 12, 1u << 29); },
                    "有条目超出了类型块的末尾"},
        RefusalCase{"key_past_its_pool",
                    {"full.apk"},
                    [](std::string& t) { PutU32(t, FirstEntry(t) + 4, 4096); },
                    "键超出了键字符串池"},
        RefusalCase{"string_past_the_value_pool",
                    {"full.apk"},
                    [](std::string& t) { PutU32(t, FirstEntry(t) + 16 + 8, 4096); },
                    "字符串值超出了全局字符串池"},
        RefusalCase{"type_header_smaller_than_its_struct",
                    {"full.apk"},
                    [](std::string& t) { t[FirstChunkOf(t, kTypeChunk) + 2] = 16; },
                    "类型块的块头太小"},
        RefusalCase{"chunk_larger_than_its_package",
                    {"full.apk"},
                    [](std::string& t) { PutU32(t, FirstChunkOf(t, kTypeChunk) + 4, 1u << 20); },
                    "块的大小超出了所在数据的末尾"},
        RefusalCase{"configuration_too_large_to_write_back",
                    {"full.apk"},
                    [](std::string& t) { GrowFirstConfigToFill16BitHeader(t); },
                    "类型 array 的配置大小不对"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ResourceTableMerge, every_truncation_of_a_table_is_refused) {
  const std::string table = builds_->Table("base.apk");
  const std::string split = builds_->Table("fr.apk");
  for (std::size_t size = 0; size < table.size(); ++size) {
    const NamedTable cut{"cut.apk", std::string_view(table).substr(0, size)};
    ASSERT_EQ(MergeResourceTables(cut, {}).index(), 1u) << "size " << size;
    const NamedTable cutSplit{"cut.apk", std::string_view(split).substr(0, size)};
    if (size < split.size()) {
      ASSERT_EQ(MergeResourceTables({"base.apk", table}, {&cutSplit, 1}).index(), 1u);
    }
  }
}

}  // namespace
}  // namespace velmora::apk
