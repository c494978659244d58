#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "config/tool_locations.h"
#include "support/scoped_environment.h"
#include "support/temp_dir.h"

namespace velmora {
namespace {

using test::TempDir;

// Sets or removes JAVA_HOME for one test.
class JavaHomeEnvironment : public test::ScopedEnvironment {
 public:
  explicit JavaHomeEnvironment(const char* value)
      : ScopedEnvironment("JAVA_HOME", value ? std::optional<std::string>(value) : std::nullopt) {}
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
