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

  ASSERT_EQ(CopyFileReplacing(source, destination), CopyResult::kReplacedDestination);

  EXPECT_EQ(TempDir::ReadFile(destination), TempDir::ReadFile(source));
  EXPECT_EQ(std::filesystem::status(destination).permissions(), std::filesystem::perms(0750));
  EXPECT_EQ(Entries(dir.path()), "a.apk;b.apk;");
}

// The temporary file beside the destination must fit where the longest legal
// name fits.
TEST(CopyFileReplacing, CreatesADestinationWithALongestLegalName) {
  TempDir dir;
  std::string source = dir.Write("a.apk", "bytes");
  std::string destination = dir / (std::string(251, 'n') + ".apk");

  EXPECT_EQ(CopyFileReplacing(source, destination), CopyResult::kCreatedDestination);
  EXPECT_EQ(TempDir::ReadFile(destination), "bytes");
}

TEST(CopyFileReplacing, NeverTruncatesAFileCopiedOntoItself) {
  TempDir dir;
  std::string source = dir.Write("a.apk", "precious");
  std::filesystem::create_symlink(source, dir / "link.apk");

  EXPECT_EQ(CopyFileReplacing(source, source), CopyResult::kFailed);
  EXPECT_EQ(CopyFileReplacing(source, dir / "link.apk"), CopyResult::kFailed);
  EXPECT_EQ(CopyFileReplacing(source, dir.path() + "/./a.apk"), CopyResult::kFailed);
  EXPECT_EQ(TempDir::ReadFile(source), "precious");
}

TEST(CopyFileReplacing, RefusesADirectoryOrMissingSource) {
  TempDir dir;
  EXPECT_EQ(CopyFileReplacing(dir.path(), dir / "out"), CopyResult::kFailed);
  EXPECT_EQ(CopyFileReplacing(dir / "missing", dir / "out"), CopyResult::kFailed);
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

  CopyResult copied = CopyFileReplacing(source, destination);

  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, savedHandler);
  EXPECT_EQ(copied, CopyResult::kFailed);
  EXPECT_EQ(TempDir::ReadFile(destination), "previous");
  EXPECT_EQ(Entries(dir.path()), "big.apk;out.apk;") << "no partial file is left behind";
}

}  // namespace
}  // namespace velmora
