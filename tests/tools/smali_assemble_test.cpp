#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <string>

#include "support/child_program.h"
#include "support/required_tools.h"
#include "support/temp_dir.h"

namespace velmora::test {
namespace {

namespace fs = std::filesystem;

const std::string kAssembleScript = VELMORA_TEST_PROGRAM_DIR "/tool/smali-assemble.sh";

class SmaliAssembleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RequireTools({"smali", "baksmali"});
    if (IsSkipped() || HasFailure()) return;
    fs::create_directories(folder_);
    fs::copy(VELMORA_TEST_DATA_DIR "/demo/smali", sources_, fs::copy_options::recursive);
    fs::copy(VELMORA_TEST_DATA_DIR "/broken-smali", brokenSources_, fs::copy_options::recursive);
  }

  FinishedProgram Assemble(const std::string& sources, const EnvironmentChanges& environment = {}) {
    return RunToEnd({kAssembleScript, "-o", dex_, sources}, environment);
  }

  TempDir work_;
  const std::string folder_ = work_ / "工作 区";
  const std::string sources_ = folder_ + "/smali 源";
  const std::string brokenSources_ = folder_ + "/坏 smali";
  const std::string dex_ = folder_ + "/classes 新.dex";
};

TEST_F(SmaliAssembleTest, assembles_a_smali_folder_into_a_dex_that_disassembles_back) {
  const FinishedProgram assembly = Assemble(sources_);
  ASSERT_EQ(assembly.exitStatus, 0) << assembly.out << assembly.err;

  const FinishedProgram classes = RunToEnd({"baksmali", "list", "classes", dex_});
  EXPECT_EQ(classes.out, "Lorg/velmora/demo/MainActivity;\n") << classes.err;
  EXPECT_EQ(fs::status(dex_).permissions() & fs::perms::others_read, fs::perms::others_read)
      << "a new dex is readable like any new file, not private like a scratch file";
}

// Java says which collector it uses at its start with -Xlog:gc.
TEST_F(SmaliAssembleTest, starts_java_with_the_serial_collector_unless_the_user_chose_one) {
  const FinishedProgram shipped = Assemble(sources_, {{"VELMORA_JAVA_OPTIONS", "-Xlog:gc"}});
  EXPECT_EQ(shipped.exitStatus, 0) << shipped.out << shipped.err;
  EXPECT_NE(shipped.out.find("[gc] Using Serial"), std::string::npos) << shipped.out;

  const FinishedProgram chosen = Assemble(
      sources_, {{"VELMORA_JAVA_OPTIONS", "-Xlog:gc"}, {"JAVA_ARGS", "-XX:+UseParallelGC"}});
  EXPECT_EQ(chosen.exitStatus, 0) << chosen.out << chosen.err;
  EXPECT_NE(chosen.out.find("[gc] Using Parallel"), std::string::npos) << chosen.out;
}

TEST_F(SmaliAssembleTest, a_broken_source_fails_with_smalis_error_and_writes_no_dex) {
  const FinishedProgram assembly = Assemble(brokenSources_);

  EXPECT_EQ(assembly.exitStatus, 1);
  EXPECT_NE(assembly.err.find("Broken.smali[12,4] mismatched input 'retrun'"), std::string::npos)
      << assembly.err;
  EXPECT_FALSE(fs::exists(dex_));
  EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 2)
      << "only the two source folders are left";
}

TEST_F(SmaliAssembleTest, a_broken_source_leaves_an_existing_dex_as_it_was) {
  work_.Write("工作 区/classes 新.dex", "the dex of an earlier run");

  EXPECT_EQ(Assemble(brokenSources_).exitStatus, 1);

  EXPECT_EQ(TempDir::ReadFile(dex_), "the dex of an earlier run");
}

TEST_F(SmaliAssembleTest, refuses_a_command_line_without_the_output_first) {
  const FinishedProgram result = RunToEnd({kAssembleScript, sources_, "-o", dex_});

  EXPECT_EQ(result.exitStatus, 2);
  EXPECT_NE(result.err.find("usage: smali-assemble.sh -o DEX"), std::string::npos);
  EXPECT_FALSE(fs::exists(dex_));
}

}  // namespace
}  // namespace velmora::test
