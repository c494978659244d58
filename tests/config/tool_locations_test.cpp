#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "config/tool_locations.h"
#include "support/temp_dir.h"

namespace velmora {
namespace {

using testing::TempDir;

// Sets or removes JAVA_HOME for one test and puts the old value back.
class JavaHomeEnvironment {
 public:
  explicit JavaHomeEnvironment(const char* value) {
    if (const char* old = std::getenv("JAVA_HOME")) saved_ = old;
    if (value) {
      ::setenv("JAVA_HOME", value, 1);
    } else {
      ::unsetenv("JAVA_HOME");
    }
  }
  ~JavaHomeEnvironment() {
    if (saved_) {
      ::setenv("JAVA_HOME", saved_->c_str(), 1);
    } else {
      ::unsetenv("JAVA_HOME");
    }
  }

 private:
  std::optional<std::string> saved_;
};

TEST(ResolveJavaHome, PrefersTheSettingAndDropsItsTrailingSlashes) {
  TempDir dir;
  Settings settings(dir.path());
  JavaHomeEnvironment environment("/from/environment");
  dir.Write("Velmora.ini", "[General]\nJAVA_HOME=/usr/lib/jvm/java/\n");
  EXPECT_EQ(ResolveJavaHome(settings), "/usr/lib/jvm/java");
  dir.Write("Velmora.ini", "[General]\nJAVA_HOME=/usr/lib/jvm/java///\n");
  EXPECT_EQ(ResolveJavaHome(settings), "/usr/lib/jvm/java");
}

TEST(ResolveJavaHome, FallsBackToTheEnvironmentReadWhole) {
  TempDir dir;
  Settings settings(dir.path());
  dir.Write("Velmora.ini", "[General]\nJAVA_HOME=\n");
  {
    JavaHomeEnvironment environment("  /opt/jdk/  ");
    EXPECT_EQ(ResolveJavaHome(settings), "/opt/jdk");
  }
  {
    std::string longHome = "/" + std::string(4000, 'j');
    JavaHomeEnvironment environment(longHome.c_str());
    EXPECT_EQ(ResolveJavaHome(settings), longHome);
  }
  {
    JavaHomeEnvironment environment(nullptr);
    EXPECT_EQ(ResolveJavaHome(settings), "");
  }
}

TEST(ToolDirectories, FallBackToPlaceholderDefaults) {
  TempDir dir;
  Settings settings(dir.path());
  EXPECT_EQ(ResolveApktoolPath(settings), "%CurrentDir%/tool");
  EXPECT_EQ(ResolveFrameworkPath(settings), "%apktool_path%/framework");

  dir.Write("Velmora.ini", "[General]\napktool_path=/opt/apktool//\nframework_path=/fw/\n");
  EXPECT_EQ(ResolveApktoolPath(settings), "/opt/apktool");
  EXPECT_EQ(ResolveFrameworkPath(settings), "/fw");
}

TEST(ToolDirectories, ASingleSlashResolvesToTheEmptyTextNotTheDefault) {
  TempDir dir;
  Settings settings(dir.path());
  dir.Write("Velmora.ini", "[General]\napktool_path=/\n");
  EXPECT_EQ(ResolveApktoolPath(settings), "");
}

}  // namespace
}  // namespace velmora
