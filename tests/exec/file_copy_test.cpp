#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <filesystem>
#include <set>
#include <string>

#include "exec/file_copy.h"
#include "support/temp_dir.h"

namespace velmora {
namespace {

using test::TempDir;

std::string Entries(const std::string& directory) {
  std::set<std::string> sorted;
  for (const auto& entry : std::filesystem::directory_iterator(directory)) {
    sorted.insert(entry.path().filename().string());
  }
  std::string names;
  for (const std::string& name : sorted) names += name + ";";
  return names;
}

TEST(CopyFileReplacing, CopiesBytesAndModeOverAnExistingFile) {
  TempDir dir;
  std::string source = dir.Write("a.apk", std::string(300000, 'x') + "end");
  ::chmod(source.c_str(), 0750);
  std::string destination = dir.Write("b.apk", "old contents");

  ASSERT_TRUE(CopyFileReplacing(source, destination));

  EXPECT_EQ(TempDir::ReadFile(destination), TempDir::ReadFile(source));
  EXPECT_EQ(std::filesystem::status(destination).permissions(), std::filesystem::perms(0750));
  EXPECT_EQ(Entries(dir.path()), "a.apk;b.apk;");
}

TEST(CopyFileReplacing, NeverTruncatesAFileCopiedOntoItself) {
  TempDir dir;
  std::string source = dir.Write("a.apk", "precious");
  std::filesystem::create_symlink(source, dir / "link.apk");

  EXPECT_FALSE(CopyFileReplacing(source, source));
  EXPECT_FALSE(CopyFileReplacing(source, dir / "link.apk"));
  EXPECT_FALSE(CopyFileReplacing(source, dir.path() + "/./a.apk"));
  EXPECT_EQ(TempDir::ReadFile(source), "precious");
}

TEST(CopyFileReplacing, RefusesADirectoryOrMissingSource) {
  TempDir dir;
  EXPECT_FALSE(CopyFileReplacing(dir.path(), dir / "out"));
  EXPECT_FALSE(CopyFileReplacing(dir / "missing", dir / "out"));
  EXPECT_FALSE(std::filesystem::exists(dir / "out"));
}

// A file-size limit makes the copy fail halfway, the way a full disk would.
TEST(CopyFileReplacing, LeavesTheDestinationAsItWasWhenWritingFails) {
  TempDir dir;
  std::string source = dir.Write("big.apk", std::string(1 << 20, 'x'));
  std::string destination = dir.Write("out.apk", "previous");
  struct rlimit saved;
  ::getrlimit(RLIMIT_FSIZE, &saved);
  auto savedHandler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = {64 * 1024, saved.rlim_max};
  ::setrlimit(RLIMIT_FSIZE, &small);

  bool copied = CopyFileReplacing(source, destination);

  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, savedHandler);
  EXPECT_FALSE(copied);
  EXPECT_EQ(TempDir::ReadFile(destination), "previous");
  EXPECT_EQ(Entries(dir.path()), "big.apk;out.apk;") << "no partial file is left behind";
}

}  // namespace
}  // namespace velmora
