// velmora-info on the real packages the end-to-end suite fetches, against
// what the same facts cost with the Android tools: `aapt2 dump badging` and
// `apksigner verify --print-certs` run one after the other, measured in the
// same run. Prints the best of a few rounds of each and how many times faster
// velmora-info is.
//
// Needs Debian's aapt2 and apksigner, and the packages in the cache
// (scripts/fetch-test-packages).
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "support/cached_package.h"
#include "support/child_program.h"

namespace {

using namespace velmora::test;

constexpr int kRounds = 5;

// The best of kRounds runs of `work`, in seconds; false in `ok` when a run failed.
double BestSeconds(const std::function<bool()>& work, bool& ok) {
  double best = 1e9;
  for (int round = 0; round < kRounds; ++round) {
    const auto start = std::chrono::steady_clock::now();
    ok = work() && ok;
    best = std::min(
        best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  return best;
}

bool Succeeds(const std::vector<std::string>& argv) {
  return RunToEnd(argv).exitStatus == 0;
}

}  // namespace

int main() {
  std::printf("%-12s %8s %15s %18s %7s\n", "package", "size MB", "velmora-info s",
              "aapt2+apksigner s", "faster");
  int measured = 0;
  for (const char* name : {"settings", "server", "server-test"}) {
    const auto apk = CachedPackage(VELMORA_BENCH_DATA_DIR "/real-packages.txt", name);
    if (!apk) {
      std::printf("%-12s not in the cache (scripts/fetch-test-packages fetches it)\n", name);
      continue;
    }
    bool ok = true;
    const double info = BestSeconds([&] { return Succeeds({VELMORA_BENCH_INFO, *apk}); }, ok);
    const double tools = BestSeconds(
        [&] {
          return Succeeds({"aapt2", "dump", "badging", *apk}) &&
                 Succeeds({"apksigner", "verify", "--print-certs", *apk});
        },
        ok);
    const double megabytes = static_cast<double>(std::filesystem::file_size(*apk)) / 1e6;
    std::printf("%-12s %8.1f %15.3f %18.3f %6.0fx%s\n", name, megabytes, info, tools, tools / info,
                ok ? "" : "  (a run failed)");
    ++measured;
  }
  return measured > 0 ? 0 : 1;
}
