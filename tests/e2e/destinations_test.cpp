#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "e2e/shipped_program_test.h"
#include "support/required_tools.h"

namespace velmora::test {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

// Every file under `folder`, with what it holds.
std::map<std::string, std::string> Snapshot(const std::string& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    if (entry.is_regular_file()) files[entry.path()] = TempDir::ReadFile(entry.path());
  }
  return files;
}

// The shipped sections that write a result beside what they read: a split set
// as a folder and as an .xapk, a package and a smali folder, all with names
// that a tool could take for an option.
class DestinationsTest : public ShippedProgramTest {
 protected:
  void SetUp() override {
    ShippedProgramTest::SetUp();
    if (IsSkipped() || HasFailure()) return;
    RequireTools({"aapt2", "zip"});
    if (IsSkipped() || HasFailure()) return;
    ASSERT_NO_FATAL_FAILURE(CopySplitSetTo(set_));
    ASSERT_TRUE(Zipped(set_, xapk_));
    ASSERT_NO_FATAL_FAILURE(CopyUnsignedPackageTo(package_));
    fs::copy(VELMORA_TEST_DATA_DIR "/demo/smali", smali_, fs::copy_options::recursive);
  }

  // velmora-run with `arguments`, started in the work folder.
  FinishedProgram RunHere(const Lines& arguments) const {
    Lines command{"sh", "-c", "cd \"$0\" && exec \"$@\"", folder_, Program().VelmoraRun()};
    command.insert(command.end(), arguments.begin(), arguments.end());
    return RunToEnd(command);
  }

  const std::string set_ = folder_ + "/-set";
  const std::string xapk_ = folder_ + "/-s.xapk";
  const std::string package_ = folder_ + "/-app.apk";
  const std::string smali_ = folder_ + "/-smali";
};

TEST_F(DestinationsTest, are_written_for_sources_whose_names_start_with_a_dash) {
  for (const auto& [section, source, result] : {std::tuple{"Signer", "-app.apk", "-app_signed.apk"},
                                                {"UserDefine11", "-set", "-set/base.apk"},
                                                {"UserDefine13", "-set", "-set_merged.apk"},
                                                {"UserDefine10", "-s.xapk", "-s/base.apk"},
                                                {"smali2dex", "-smali", "-smali_mod.dex"}}) {
    const FinishedProgram run = RunHere({section, "--", source});
    EXPECT_EQ(run.exitStatus, 0) << section << "\n" << run.out << run.err;
    EXPECT_TRUE(fs::is_regular_file(folder_ + "/" + result)) << result;
  }
  EXPECT_EQ(VerifySignature(folder_ + "/-set/base.apk").exitStatus, 0);
}

TEST_F(DestinationsTest, are_written_under_names_as_long_as_the_file_system_allows) {
  const std::string longName = folder_ + "/" + std::string(246, 'n');
  for (const auto& [section, source, destination] :
       {std::tuple{"Signer", package_, longName + ".apk"},
        {"UserDefine10", xapk_, longName + ".set"},
        {"UserDefine13", set_, longName + ".mrg"},
        {"smali2dex", smali_, longName + ".dex"}}) {
    const FinishedProgram run =
        RunToEnd({Program().VelmoraRun(), "-o", destination, section, source});
    EXPECT_EQ(run.exitStatus, 0) << section << "\n" << run.out << run.err;
    EXPECT_TRUE(fs::exists(destination)) << section;
  }
}

// Through velmora-run where the program cannot know what the script reads,
// directly where the source itself is what would be replaced or the names are
// relative.
TEST_F(DestinationsTest, that_are_what_the_script_reads_are_refused_before_anything_is_written) {
  fs::create_directories(folder_ + "/a");
  fs::create_hard_link(set_ + "/config.fr.apk", folder_ + "/硬 链接.apk");
  fs::create_symlink(xapk_, folder_ + "/符号 链接.xapk");
  const std::string run = Program().VelmoraRun();
  const std::string smali = smali_ + "/org/velmora/demo/MainActivity.smali";
  const std::map<std::string, std::string> before = Snapshot(folder_);
  for (const auto& [command, message] : std::vector<std::pair<Lines, std::string>>{
           {{run, "-f", "-o", folder_ + "/a/../-set/base.apk", "UserDefine13", set_},
            "is the same file as " + set_ + "/base.apk"},
           {{run, "-f", "-o", folder_ + "/硬 链接.apk", "UserDefine13", set_},
            "is the same file as " + set_ + "/config.fr.apk"},
           {{run, "-o", set_ + "/merged.apk", "UserDefine13", set_},
            "lies inside the source folder " + set_},
           {{run, "-f", "-o", smali, "smali2dex", smali_}, "is the same file as"},
           {{"sh", "-c", "cd \"$0\" && exec \"$@\"", folder_,
             Program().Directory() + "/tool/smali-assemble.sh", "-o",
             "-smali/org/velmora/demo/MainActivity.smali", "--", "-smali"},
            "is the same file as ./-smali/org/velmora/demo/MainActivity.smali"},
           {{run, "-f", "-o", folder_ + "/a", "smali2dex", smali_}, "/a is a folder"},
           {{run, "-f", "-o", folder_ + "/a", "UserDefine13", set_}, "/a is a folder"},
           {{Program().Directory() + "/tool/merge-apks.sh", "--merger",
             Program().Directory() + "/velmora-merge", "--keystore", Program().Keystore(),
             "--alias", "androiddebugkey", "--", xapk_, folder_ + "/符号 链接.xapk"},
            "is the source " + xapk_ + " itself"},
           {{Program().Directory() + "/tool/unpack-apk-set.sh", "-o", folder_ + "/符号 链接.xapk",
             "--", xapk_},
            "is the source " + xapk_ + " itself"}}) {
    SCOPED_TRACE(message);
    const FinishedProgram refused = RunToEnd(command);
    EXPECT_EQ(refused.exitStatus, 1) << refused.out << refused.err;
    EXPECT_TRUE(Holds(refused.out + refused.err, message)) << refused.out << refused.err;
    EXPECT_EQ(Snapshot(folder_), before);
  }
}

}  // namespace
}  // namespace velmora::test
