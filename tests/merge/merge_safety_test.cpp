// velmora-merge given the user's mistakes and hostile sets: an output that
// would destroy the input, a set called "-set", names that reach outside a
// folder, and archives whose sizes lie or are simply large.
#include <gtest/gtest.h>

#include <filesystem>

#include "apk/entry_name.h"
#include "apk/zip_archive.h"
#include "merge/merge_fixture.h"
#include "support/forged_zip.h"

namespace velmora::test {
namespace {

namespace fs = std::filesystem;

// The path and bytes of every file below `folder`.
std::map<std::string, std::string> FilesBelow(const std::string& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    if (entry.is_regular_file()) files[entry.path().string()] = TempDir::ReadFile(entry.path());
  }
  return files;
}

class MergeSafetyTest : public VelmoraMergeTest {
 protected:
  // The set's APKs as members of an archive, `replaced` ones forged anew.
  std::string SetArchive(const std::string& name, std::vector<ForgedEntry> replaced = {}) const {
    std::vector<ForgedEntry> members = std::move(replaced);
    std::map<std::string, std::string> files = app_->SetFiles();
    for (const ForgedEntry& member : members) files.erase(member.name);
    for (const auto& [file, path] : files) members.push_back({.name = file, .file = path});
    ForgedZip::Write(work_ / name, members);
    return work_ / name;
  }
};

TEST_F(MergeSafetyTest, refuses_an_output_that_is_the_set_or_in_its_folder_and_leaves_all_alone) {
  const std::string folder = SetFolder();
  work_.Write("演示 set/notes.txt", "the user's own notes");
  fs::create_directories(work_ / "a");
  const std::string xapk = SetArchive("演示.xapk");
  fs::create_symlink(folder + "/base.apk", work_ / "link.apk");
  fs::create_hard_link(folder + "/config.fr.apk", work_ / "hard.apk");
  fs::create_symlink(xapk, work_ / "link.xapk");
  fs::create_hard_link(xapk, work_ / "hard.xapk");
  const std::map<std::string, std::string> before = FilesBelow(work_.path());

  struct Case {
    std::string set, output;
  };
  for (const Case& c : std::vector<Case>{{folder, folder + "/base.apk"},
                                         {folder, work_ / "a/../演示 set/base.apk"},
                                         {folder, work_ / "link.apk"},
                                         {folder, work_ / "hard.apk"},
                                         {folder, folder + "/notes.txt"},
                                         {folder, folder},
                                         {folder, folder + "/not yet there.apk"},
                                         {xapk, xapk},
                                         {xapk, work_ / "link.xapk"},
                                         {xapk, work_ / "hard.xapk"}}) {
    const FinishedProgram merge = Merge(c.set, c.output);
    EXPECT_EQ(merge.exitStatus, 1) << c.output << "\n" << merge.out << merge.err;
    const std::size_t refusal = merge.out.find("合并失败：输出 " + c.output + " ");
    ASSERT_NE(refusal, std::string::npos) << merge.out;
    EXPECT_NE(merge.out.find(c.set, refusal), std::string::npos) << "names the set:\n" << merge.out;
  }
  EXPECT_EQ(FilesBelow(work_.path()), before);
}

TEST_F(MergeSafetyTest, takes_what_follows_a_double_dash_as_the_set) {
  fs::rename(SetFolder(), work_ / "-set");

  const FinishedProgram merge = RunToEnd({"sh", "-c", "cd \"$1\" && exec \"$0\" -o out.apk -- -set",
                                          VELMORA_MERGE_PATH, work_.path()});

  EXPECT_EQ(merge.exitStatus, 0) << merge.out << merge.err;
  EXPECT_TRUE(merge.out.ends_with("合并完成：out.apk（未签名）\n")) << merge.out;
}

TEST_F(MergeSafetyTest, drops_entries_and_apks_whose_names_reach_outside_a_folder_a_line_each) {
  const std::string folder = SetFolder();
  const std::vector<std::string> unsafe{
      "../escape.txt", "/abs-escape.txt", "a/../../x", "a\\b.txt", "", std::string("x\0y.txt", 7)};
  std::vector<ForgedEntry> base = ForgedZip::EntriesOf(folder + "/base.apk");
  for (const std::string& name : unsafe) base.push_back({.name = name, .bytes = "hostile"});
  ForgedZip::Write(folder + "/base.apk", base);

  const FinishedProgram merge = Merge(folder, output_);

  ASSERT_EQ(merge.exitStatus, 0) << merge.out << merge.err;
  for (const std::string& name : unsafe) {
    EXPECT_NE(merge.out.find("丢弃 base.apk 中的条目 " + apk::ShownEntryName(name) + "："),
              std::string::npos)
        << apk::ShownEntryName(name) << ":\n"
        << merge.out;
  }
  auto opened = apk::ZipReader::OpenFile(output_, "merged");
  const auto& merged = std::get<apk::ZipReader>(opened);
  for (const apk::ZipEntry& entry : merged.Entries()) {
    EXPECT_FALSE(apk::WhyUnsafeEntryName(entry.name)) << apk::ShownEntryName(entry.name);
  }
  EXPECT_EQ(merged.Find("x y.txt"), nullptr) << "a NUL is not taken for a blank";

  // An APK of a set archive under such a name is no part of the set.
  const std::string xapk =
      SetArchive("演示.xapk", {{.name = "../config.x86.apk", .bytes = "hostile"}});
  const FinishedProgram fromArchive = Merge(xapk, work_ / "from archive.apk");
  EXPECT_EQ(fromArchive.exitStatus, 0) << fromArchive.out << fromArchive.err;
  EXPECT_NE(fromArchive.out.find("跳过 演示.xapk 中的 ../config.x86.apk："), std::string::npos)
      << fromArchive.out;
}

// velmora-merge with its address space capped at 256 MB, as on a machine short
// of memory: a merge that held a 300 MB APK or entry in memory dies there.
// AddressSanitizer reserves far more address space than that for itself, so
// its build runs the merge uncapped.
FinishedProgram MergeIn256Megabytes(const std::string& set, const std::string& output) {
#ifdef VELMORA_SANITIZED
  return Merge(set, output);
#else
  return RunToEnd({"sh", "-c", "ulimit -v 262144 && exec \"$0\" \"$1\" -o \"$2\"",
                   VELMORA_MERGE_PATH, set, output});
#endif
}

constexpr std::uint64_t k300Megabytes = std::uint64_t{300} << 20;

TEST_F(MergeSafetyTest, refuses_an_apk_that_inflates_past_its_recorded_size_at_the_first_byte) {
  const std::string xapk =
      SetArchive("演示.xapk", {{.name = "base.apk", .zeros = k300Megabytes, .recordedSize = 620}});
  const std::vector<std::string> before = NamesIn(work_.path());

  const FinishedProgram merge = MergeIn256Megabytes(xapk, output_);

  EXPECT_EQ(merge.exitStatus, 1) << merge.out << merge.err;
  EXPECT_TRUE(merge.out.ends_with(
      "合并失败：演示.xapk 中的 base.apk 已损坏：解压后比记录的 620 字节更长\n"))
      << merge.out;
  EXPECT_EQ(NamesIn(work_.path()), before) << "the spooled part is gone";
}

TEST_F(MergeSafetyTest, merges_an_honest_set_with_a_300_megabyte_asset_from_an_archive) {
  RequireTools({"unzip"});
  if (IsSkipped() || HasFailure()) return;
  // Stored, so that the merged APK really holds 300 MB; a hole on disk until then.
  std::vector<ForgedEntry> base = ForgedZip::EntriesOf(app_->SetFiles()["base.apk"]);
  base.push_back({.name = "assets/big.bin", .zeros = k300Megabytes, .method = 0});
  ForgedZip::Write(work_ / "big base.apk", base);
  const std::string xapk =
      SetArchive("演示.xapk", {{.name = "base.apk", .file = work_ / "big base.apk"}});

  const FinishedProgram merge = MergeIn256Megabytes(xapk, output_);

  ASSERT_EQ(merge.exitStatus, 0) << merge.out << merge.err;
  auto opened = apk::ZipReader::OpenFile(output_, "merged");
  const auto& merged = std::get<apk::ZipReader>(opened);
  ASSERT_NE(merged.Find("assets/big.bin"), nullptr);
  EXPECT_EQ(merged.Find("assets/big.bin")->size, k300Megabytes);
  const FinishedProgram check = RunToEnd({"unzip", "-tqq", output_});
  EXPECT_EQ(check.exitStatus, 0) << "every CRC holds:\n" << check.out << check.err;
  EXPECT_EQ(NamesIn(work_.path()),
            (std::vector<std::string>{"big base.apk", "合并 结果.apk", "演示.xapk"}));
}

}  // namespace
}  // namespace velmora::test
