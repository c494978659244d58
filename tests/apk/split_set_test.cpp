#include "apk/split_set.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/split_app.h"
#include "support/temp_dir.h"

namespace velmora::apk {
namespace {

std::string LastListed(const std::string& folder) {
  std::string last;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    last = entry.path().filename();
  }
  return last;
}

TEST(SplitSetFolder, passes_over_entries_it_cannot_look_at) {
  test::TempDir dir;
  test::SplitApp::WriteArchive(dir / "base.apk", {{"AndroidManifest.xml", "manifest"}}, 8);
  // Links to nothing, added until one is the last entry listed: the failure to
  // look at it is the one that would outlast the listing.
  for (int i = 0; LastListed(dir.path()) == "base.apk"; ++i) {
    std::filesystem::create_symlink(dir / "gone", dir / ("link" + std::to_string(i)));
  }

  auto set = OpenSplitSet(dir.path());
  if (auto* error = std::get_if<FormatError>(&set)) FAIL() << error->message;
  const auto& apks = std::get<std::vector<ZipReader>>(set);
  ASSERT_EQ(apks.size(), 1u);
  EXPECT_EQ(apks[0].DisplayName(), "base.apk");
}

}  // namespace
}  // namespace velmora::apk
