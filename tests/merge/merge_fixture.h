#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "support/child_program.h"
#include "support/required_tools.h"
#include "support/split_app.h"
#include "support/temp_dir.h"

namespace velmora::test {

// velmora-merge run to its end on `set`, writing `output`.
inline FinishedProgram Merge(const std::string& set, const std::string& output) {
  return RunToEnd({VELMORA_MERGE_PATH, set, "-o", output});
}

// The names in `folder`, sorted: what a run left there.
inline std::vector<std::string> NamesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// A work folder per test and the small split app that aapt2 builds, once for
// the whole suite.
class VelmoraMergeTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!MissingTools({"aapt2"}).empty()) return;
    appDir_ = std::make_unique<TempDir>();
    app_ = std::make_unique<SplitApp>(*appDir_);
  }
  static void TearDownTestSuite() {
    app_.reset();
    appDir_.reset();
  }

  void SetUp() override {
    RequireTools({"aapt2"});
    if (IsSkipped() || HasFailure()) return;
    ASSERT_EQ(app_->Error(), "");
  }

  // The set as a folder, copied into the work folder, plus `extra` APKs.
  std::string SetFolder(const std::map<std::string, std::string>& extra = {}) const {
    const std::string folder = work_ / "演示 set";
    std::filesystem::create_directories(folder);
    std::map<std::string, std::string> files = app_->SetFiles();
    files.insert(extra.begin(), extra.end());
    for (const auto& [name, path] : files) std::filesystem::copy_file(path, folder + "/" + name);
    return folder;
  }

  // The set's APKs as archive entries, named by `entryName`.
  template <typename Naming>
  std::map<std::string, std::string> SetEntries(Naming entryName) const {
    std::map<std::string, std::string> entries;
    for (const auto& [name, path] : app_->SetFiles()) {
      entries[entryName(name)] = TempDir::ReadFile(path);
    }
    return entries;
  }

  static inline std::unique_ptr<TempDir> appDir_;
  static inline std::unique_ptr<SplitApp> app_;
  TempDir work_;
  const std::string output_ = work_ / "合并 结果.apk";
};

}  // namespace velmora::test
