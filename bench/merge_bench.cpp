// Merge time of a generated split set of about 20 MB, against unzipping and
// zipping the same bytes (every entry of every APK inflated and deflated
// again), measured in the same run. The merge copies compressed data as it is,
// so it should cost no more than that baseline, and at most twice it.
//
// Needs Debian's aapt2 for the small app at the set's core.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

#include "apk/split_merge.h"
#include "apk/split_set.h"
#include "support/split_app.h"

namespace {

using namespace velmora;
namespace fs = std::filesystem;

constexpr int kRounds = 2;

// Text that deflates about as well as code and assets do.
std::string CompressibleBytes(std::size_t size, std::uint32_t seed) {
  static const char* kWords[] = {"invoke", "virtual", "Landroid/", "const", "string", "move",
                                 "result", "return",  "void",      "iget",  "object", "0x7f"};
  std::string bytes;
  while (bytes.size() < size) {
    seed = seed * 1664525u + 1013904223u;
    bytes += kWords[(seed >> 16) % 12];
    bytes.push_back(static_cast<char>(' ' + (seed >> 8) % 64));
  }
  bytes.resize(size);
  return bytes;
}

// Bytes that do not deflate at all, as images and media.
std::string RandomBytes(std::size_t size, std::uint32_t seed) {
  std::string bytes(size, '\0');
  for (char& byte : bytes) {
    seed = seed * 1664525u + 1013904223u;
    byte = static_cast<char>(seed >> 24);
  }
  return bytes;
}

// The best of kRounds runs of `work`, in seconds.
double BestSeconds(const std::function<void()>& work) {
  double best = 1e9;
  for (int round = 0; round < kRounds; ++round) {
    const auto start = std::chrono::steady_clock::now();
    work();
    best = std::min(
        best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  return best;
}

// Inflates every entry of every APK of `folder` and deflates it into a new
// archive, as unzipping and zipping the set would.
void UnzipAndZip(const std::string& folder, const std::string& outputFolder) {
  for (const fs::directory_entry& file : fs::directory_iterator(folder)) {
    auto opened = apk::ZipReader::OpenFile(file.path().string(), "apk");
    const auto& reader = std::get<apk::ZipReader>(opened);
    auto created = apk::ZipWriter::Create(outputFolder + "/" + file.path().filename().string());
    auto& writer = std::get<apk::ZipWriter>(created);
    for (const apk::ZipEntry& entry : reader.Entries()) {
      writer.Add(entry.name, std::get<std::string>(reader.Read(entry, 1u << 30)), entry.method,
                 entry.modified);
    }
    writer.Commit();
  }
}

}  // namespace

int main() {
  test::TempDir dir;
  const test::SplitApp app(dir);
  if (!app.Error().empty()) {
    std::fprintf(stderr, "merge_bench: cannot build the app: %s\n", app.Error().c_str());
    return 1;
  }
  const std::string set = dir / "set";
  fs::create_directories(set);
  for (const auto& [name, path] : app.SetFiles()) fs::copy_file(path, set + "/" + name);
  test::SplitApp::AddToArchive(set + "/base.apk",
                               {{"classes.dex", CompressibleBytes(12 << 20, 1)},
                                {"assets/data.bin", CompressibleBytes(10 << 20, 2)},
                                {"assets/textures.bin", RandomBytes(6 << 20, 5)}},
                               8);
  test::SplitApp::AddToArchive(set + "/config.arm64_v8a.apk",
                               {{"lib/arm64-v8a/libgame.so", CompressibleBytes(8 << 20, 3)}}, 0);
  test::SplitApp::AddToArchive(set + "/config.xhdpi.apk",
                               {{"res/raw/xhdpi.bin", CompressibleBytes(4 << 20, 4)}}, 8);
  std::uintmax_t setBytes = 0;
  for (const fs::directory_entry& file : fs::directory_iterator(set)) setBytes += file.file_size();

  const std::string copies = dir / "copies";
  fs::create_directories(copies);
  const double baseline = BestSeconds([&] { UnzipAndZip(set, copies); });
  const double merge = BestSeconds([&] {
    auto apks = apk::OpenSplitSet(set);
    auto merged = apk::MergeSplitSet(std::move(std::get<std::vector<apk::ZipReader>>(apks)),
                                     dir / "merged.apk", [](std::string_view) {});
    if (std::holds_alternative<apk::FormatError>(merged)) {
      std::fprintf(stderr, "merge_bench: %s\n", std::get<apk::FormatError>(merged).message.c_str());
      std::exit(1);
    }
  });

  std::printf("split set: %zu APKs, %.1f MB on disk\n", app.SetFiles().size(),
              static_cast<double>(setBytes) / (1 << 20));
  std::printf("unzip and zip the same bytes (baseline): %8.3f s\n", baseline);
  std::printf("velmora merge:                           %8.3f s  (%.3f x baseline, target <= 2)\n",
              merge, merge / baseline);
  return 0;
}
