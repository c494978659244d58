// Merge time of a generated split set of about 20 MB, against unzipping and
// zipping the same bytes (every entry of every APK inflated and deflated
// again), measured in the same run. The merge copies compressed data as it is,
// so it should cost no more than that baseline, and at most twice it.
//
// Then velmora-merge's peak memory (maximum resident set size, as
// /usr/bin/time -v gives it) on a set with a 300 MB asset, as a folder and as
// an .xapk, and on an .xapk whose base.apk records 620 bytes but inflates to
// 300 MB, against its peak on the small app alone: at most 256 MB each.
//
// Needs Debian's aapt2 for the small app at the set's core, and its time.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "apk/split_merge.h"
#include "apk/split_set.h"
#include "support/forged_zip.h"
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

// velmora-merge's peak resident memory in MB merging `set`, and its exit
// status. /usr/bin/time measures it: a child spawned from this process would
// start with this process's own peak as its figure.
std::pair<double, int> PeakOfMerge(const test::TempDir& dir, const std::string& set) {
  const std::string figure = dir / "peak.txt";
  const test::FinishedProgram merge = test::RunToEnd(
      {"/usr/bin/time", "-f", "%M", "-o", figure, VELMORA_MERGE_PATH, set, "-o", dir / "peak.apk"});
  fs::remove(dir / "peak.apk");
  // The figure is the last line; a failed run has "Command exited with..." before it.
  std::string lines = test::TempDir::ReadFile(figure);
  while (lines.ends_with('\n')) lines.pop_back();
  return {std::stod(lines.substr(lines.rfind('\n') + 1)) / 1024, merge.exitStatus};
}

// The small app's set as an archive of `members`, the others as they are.
std::string SetArchive(const test::SplitApp& app, const std::string& path,
                       std::vector<test::ForgedEntry> members) {
  for (const auto& [name, file] : app.SetFiles()) {
    if (name != "base.apk") members.push_back({.name = name, .file = file});
  }
  test::ForgedZip::Write(path, members);
  return path;
}

void PrintPeaks(const test::TempDir& dir, const test::SplitApp& app) {
  if (!fs::exists("/usr/bin/time")) {
    std::printf(
        "velmora-merge peak memory: not measured, /usr/bin/time is missing (apt-get install "
        "time)\n");
    return;
  }
  constexpr std::uint64_t k300Megabytes = std::uint64_t{300} << 20;
  const std::string folder = dir / "large set";
  fs::create_directories(folder);
  for (const auto& [name, path] : app.SetFiles()) fs::copy_file(path, folder + "/" + name);
  std::vector<test::ForgedEntry> base = test::ForgedZip::EntriesOf(folder + "/base.apk");
  base.push_back({.name = "assets/big.bin", .zeros = k300Megabytes, .method = 0});
  test::ForgedZip::Write(folder + "/base.apk", base);

  struct Case {
    const char* what;
    std::string set;
    int status;  // the one it must end with
  };
  const Case cases[] = {
      {"the small app (baseline)",
       SetArchive(app, dir / "small.xapk",
                  {{.name = "base.apk", .file = app.SetFiles().at("base.apk")}}),
       0},
      {"300 MB asset, folder", folder, 0},
      {"300 MB asset, .xapk",
       SetArchive(app, dir / "large.xapk", {{.name = "base.apk", .file = folder + "/base.apk"}}),
       0},
      {"base.apk of 620 bytes inflating to 300 MB, .xapk",
       SetArchive(app, dir / "lying.xapk",
                  {{.name = "base.apk", .zeros = k300Megabytes, .recordedSize = 620}}),
       1},
  };
  std::printf("velmora-merge peak memory (maximum resident set size):\n");
  double baseline = 0;
  for (const Case& c : cases) {
    const auto [megabytes, status] = PeakOfMerge(dir, c.set);
    if (baseline == 0) baseline = megabytes;
    std::printf("  %-50s %7.1f MB  (%.1f x baseline, target <= 256 MB)%s\n", c.what, megabytes,
                megabytes / baseline, status == c.status ? "" : "  UNEXPECTED EXIT STATUS");
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
  PrintPeaks(dir, app);
  return 0;
}
