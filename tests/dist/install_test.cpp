#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <ostream>
#include <string>

#include "support/child_program.h"
#include "support/required_tools.h"
#include "support/temp_dir.h"

namespace velmora::test {
namespace {

namespace fs = std::filesystem;

// cmake --install of this build into `prefix`, with the home folder and
// the data folder the desktop entry goes to set as given.
FinishedProgram Install(const std::string& prefix,
                        const std::map<std::string, std::string>& environment) {
  return RunToEnd({VELMORA_TEST_CMAKE, "--install", VELMORA_TEST_BUILD_DIR, "--prefix", prefix},
                  environment);
}

std::string LineStartingWith(const std::string& text, const std::string& start) {
  const std::size_t at = text.find("\n" + start);
  if (at == std::string::npos) return "";
  return text.substr(at + 1, text.find('\n', at + 1) - at - 1);
}

class InstallTest : public ::testing::Test {
 protected:
  FinishedProgram InstallIntoHome() {
    return Install(prefix_, {{"HOME", home_}, {"XDG_DATA_HOME", ""}, {"DESTDIR", ""}});
  }

  TempDir work_;
  const std::string home_ = work_ / "家 目录";
  const std::string prefix_ = home_ + "/.local/opt/维尔 mora";
  const std::string entry_ = home_ + "/.local/share/applications/velmora.desktop";
};

TEST_F(InstallTest, lays_out_the_program_folder_as_the_program_expects_it) {
  const FinishedProgram install = InstallIntoHome();
  ASSERT_EQ(install.exitStatus, 0) << install.out << install.err;

  EXPECT_EQ(TempDir::ReadFile(prefix_ + "/Velmora.ini"),
            TempDir::ReadFile(VELMORA_TEST_SOURCE_DIR "/dist/Velmora.ini"));
  for (const char* script :
       {"/tool/sign-apk.sh", "/tool/smali-assemble.sh", "/tool/apktool.sh", "/tool/aapt2/aapt2"}) {
    EXPECT_EQ(::access((prefix_ + script).c_str(), X_OK), 0) << script;
  }
  EXPECT_TRUE(fs::is_regular_file(prefix_ + "/tool/lib/scratch_beside.sh"));
  EXPECT_TRUE(fs::is_regular_file(prefix_ + "/tool/dex2jar/README.txt"));
  EXPECT_TRUE(fs::is_regular_file(prefix_ + "/tool/bootclasspath/README.txt"));
  EXPECT_TRUE(fs::is_regular_file(prefix_ + "/velmora.svg"));
  EXPECT_EQ(fs::exists(prefix_ + "/velmora"), fs::exists(VELMORA_TEST_PROGRAM_DIR "/velmora"))
      << "the executable is installed whenever the build has one";
  if (MissingTools({"keytool"}).empty()) {
    EXPECT_TRUE(fs::is_regular_file(prefix_ + "/tool/debug.keystore"));
  }
}

TEST_F(InstallTest, puts_a_desktop_entry_that_starts_the_installed_program_into_the_users_menu) {
  RequireTools({"desktop-file-validate"});
  if (IsSkipped() || HasFailure()) return;

  ASSERT_EQ(InstallIntoHome().exitStatus, 0);

  const std::string entry = TempDir::ReadFile(entry_);
  EXPECT_EQ(LineStartingWith(entry, "Exec="), "Exec=\"" + prefix_ + "/velmora\"");
  EXPECT_EQ(LineStartingWith(entry, "Icon="), "Icon=" + prefix_ + "/velmora.svg");
  const FinishedProgram validation = RunToEnd({"desktop-file-validate", entry_});
  EXPECT_EQ(validation.exitStatus, 0) << validation.out << validation.err;
}

TEST_F(InstallTest, honours_the_users_data_folder) {
  const std::string dataHome = work_ / "数据";

  ASSERT_EQ(Install(prefix_, {{"HOME", home_}, {"XDG_DATA_HOME", dataHome}}).exitStatus, 0);

  EXPECT_TRUE(fs::is_regular_file(dataHome + "/applications/velmora.desktop"));
  EXPECT_FALSE(fs::exists(entry_));
}

TEST_F(InstallTest, installing_again_keeps_the_users_settings_and_keystore) {
  ASSERT_EQ(InstallIntoHome().exitStatus, 0);
  work_.Write("家 目录/.local/opt/维尔 mora/Velmora.ini", "[General]\nSignerType=2\n");
  work_.Write("家 目录/.local/opt/维尔 mora/tool/debug.keystore", "the user's key");

  const FinishedProgram again = InstallIntoHome();

  ASSERT_EQ(again.exitStatus, 0) << again.out << again.err;
  EXPECT_EQ(TempDir::ReadFile(prefix_ + "/Velmora.ini"), "[General]\nSignerType=2\n");
  EXPECT_EQ(TempDir::ReadFile(prefix_ + "/Velmora.ini.new"),
            TempDir::ReadFile(VELMORA_TEST_SOURCE_DIR "/dist/Velmora.ini"));
  EXPECT_EQ(TempDir::ReadFile(prefix_ + "/tool/debug.keystore"), "the user's key");
}

// Exec quotes the program's path; inside the quotes " ` $ and \ are escaped,
// % is doubled, and the value's own escaping doubles the backslashes again.
TEST_F(InstallTest, a_folder_outside_the_home_gets_an_entry_for_every_user_with_its_path_escaped) {
  const std::string stage = work_ / "stage";
  const std::string prefix = "/opt/ve$l \"q\" `x` 100%";

  const FinishedProgram install = Install(prefix, {{"HOME", home_}, {"DESTDIR", stage}});

  ASSERT_EQ(install.exitStatus, 0) << install.out << install.err;
  const std::string entry =
      TempDir::ReadFile(stage + "/usr/local/share/applications/velmora.desktop");
  EXPECT_EQ(LineStartingWith(entry, "Exec="),
            R"(Exec="/opt/ve\\$l \\"q\\" \\`x\\` 100%%/velmora")");
  EXPECT_EQ(LineStartingWith(entry, "TryExec="), "TryExec=" + prefix + "/velmora");
  EXPECT_TRUE(fs::is_regular_file(stage + prefix + "/Velmora.ini"));
}

}  // namespace
}  // namespace velmora::test
