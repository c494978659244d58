#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <ostream>
#include <string>
#include <string_view>

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
    return Install(prefix_,
                   {{"HOME", home_}, {"XDG_DATA_HOME", ""}, {"XDG_BIN_HOME", ""}, {"DESTDIR", ""}});
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
  for (const char* program : {"/velmora-run", "/velmora-merge", "/velmora-info"}) {
    EXPECT_EQ(::access((prefix_ + program).c_str(), X_OK), 0) << program;
  }
  if (MissingTools({"keytool"}).empty()) {
    EXPECT_TRUE(fs::is_regular_file(prefix_ + "/tool/debug.keystore"));
  }
}

TEST_F(InstallTest, links_velmora_run_onto_the_users_path_and_it_finds_its_settings_through_it) {
  ASSERT_EQ(InstallIntoHome().exitStatus, 0);
  const std::string link = home_ + "/.local/bin/velmora-run";
  ASSERT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(fs::read_symlink(link), prefix_ + "/velmora-run");

  work_.Write("家 目录/.local/opt/维尔 mora/Velmora.ini", "[Mine]\nComments=装好的\n");
  const FinishedProgram list = RunToEnd({link, "--list"});
  EXPECT_EQ(list.exitStatus, 0) << list.err;
  EXPECT_NE(list.out.find("装好的"), std::string::npos) << list.out;
}

// The entry opens a file it is given, and is offered for packages and jars
// without becoming the default application of either.
TEST_F(InstallTest, puts_a_desktop_entry_that_opens_packages_with_the_installed_program) {
  RequireTools({"desktop-file-validate", "update-desktop-database"});
  if (IsSkipped() || HasFailure()) return;

  ASSERT_EQ(InstallIntoHome().exitStatus, 0);

  const std::string entry = TempDir::ReadFile(entry_);
  EXPECT_EQ(LineStartingWith(entry, "Exec="), "Exec=\"" + prefix_ + "/velmora\" %f");
  EXPECT_EQ(LineStartingWith(entry, "Icon="), "Icon=" + prefix_ + "/velmora.svg");
  EXPECT_NE(LineStartingWith(entry, "MimeType=")
                .find("application/vnd.android.package-archive;application/java-archive;"),
            std::string::npos);
  const FinishedProgram validation = RunToEnd({"desktop-file-validate", entry_});
  EXPECT_EQ(validation.exitStatus, 0) << validation.out << validation.err;
  EXPECT_NE(TempDir::ReadFile(home_ + "/.local/share/applications/mimeinfo.cache")
                .find("application/vnd.android.package-archive=velmora.desktop;"),
            std::string::npos);
}

TEST_F(InstallTest, honours_the_users_data_and_program_folders) {
  const std::string dataHome = work_ / "数据";

  ASSERT_EQ(
      Install(prefix_,
              {{"HOME", home_}, {"XDG_DATA_HOME", dataHome}, {"XDG_BIN_HOME", work_ / "程序"}})
          .exitStatus,
      0);

  EXPECT_TRUE(fs::is_regular_file(dataHome + "/applications/velmora.desktop"));
  EXPECT_FALSE(fs::exists(entry_));
  EXPECT_TRUE(fs::is_symlink(work_ / "程序/velmora-run"));
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
            R"(Exec="/opt/ve\\$l \\"q\\" \\`x\\` 100%%/velmora" %f)");
  EXPECT_EQ(LineStartingWith(entry, "TryExec="), "TryExec=" + prefix + "/velmora");
  EXPECT_TRUE(fs::is_regular_file(stage + prefix + "/Velmora.ini"));
  EXPECT_FALSE(fs::exists(fs::symlink_status(stage + "/opt/bin/velmora-run")));
}

// The link step alone, staged (DESTDIR) for a user whose home is /home/u.
// `before` and `after` say what lies at the link's place: a link's target,
// "file" for someone else's file, "" for nothing.
TEST(TerminalLink, is_made_where_it_belongs_and_replaces_only_velmoras_own) {
  struct Case {
    const char *prefix, *link, *before, *after;
    bool systemBin;
  };
  const Case cases[] = {
      {"/opt/velmora/", "/opt/bin/velmora-run", "", "/opt/velmora/velmora-run", true},
      {"/usr/velmora", "/usr/bin/velmora-run", "", "", true},
      {"/home/u/v", "/home/u/.local/bin/velmora-run", "/old/velmora-run", "/home/u/v/velmora-run",
       false},
      {"/home/u/v", "/home/u/.local/bin/velmora-run", "/usr/bin/true", "/usr/bin/true", false},
      {"/home/u/v", "/home/u/.local/bin/velmora-run", "file", "file", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.link) + " over " + c.before);
    TempDir stage;
    const std::string link = stage.path() + c.link;
    fs::create_directories(fs::path(link).parent_path());
    if (std::string_view(c.before) == "file") {
      stage.Write(c.link + 1, "file");
    } else if (*c.before != '\0') {
      fs::create_symlink(c.before, link);
    }

    const FinishedProgram install =
        RunToEnd({VELMORA_TEST_CMAKE, std::string("-DCMAKE_INSTALL_PREFIX=") + c.prefix,
                  std::string("-DVELMORA_LINK_SYSTEM_BIN=") + (c.systemBin ? "ON" : "OFF"), "-P",
                  VELMORA_TEST_SOURCE_DIR "/dist/cmake/install_terminal_link.cmake"},
                 {{"HOME", "/home/u"}, {"XDG_BIN_HOME", ""}, {"DESTDIR", stage.path()}});

    ASSERT_EQ(install.exitStatus, 0) << install.err;
    EXPECT_EQ(fs::is_symlink(link) ? fs::read_symlink(link).string() : stage.Read(c.link + 1),
              c.after);
    if (*c.before != '\0' && std::string_view(c.before) == c.after) {
      EXPECT_NE(install.err.find(link), std::string::npos) << "a warning names it";
    }
  }
}

}  // namespace
}  // namespace velmora::test
