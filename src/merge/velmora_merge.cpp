#include "merge/velmora_merge.h"

#include <optional>
#include <string_view>

#include "apk/split_merge.h"
#include "apk/split_set.h"
#include "merge/merge_destination.h"

namespace velmora {
namespace {

constexpr std::string_view kUsage =
    "usage: velmora-merge SET -o OUT.apk\n"
    "       velmora-merge -o OUT.apk -- SET\n"
    "  SET  a folder of split APKs, or an .xapk, .apks or .apkm file\n"
    "  -o, --output OUT.apk  the merged APK, unsigned (replaced if it exists;\n"
    "                        never the set or a file of its folder)\n"
    "  --   what follows is the set, even if it starts with \"-\"\n";

struct MergeArguments {
  std::string set;
  std::string output;
  bool help = false;
  std::string problem;  // why the arguments make no sense; empty when they do
};

MergeArguments ParseArguments(const std::vector<std::string>& arguments) {
  MergeArguments parsed;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < arguments.size() && parsed.problem.empty(); ++i) {
    const std::string& argument = arguments[i];
    const bool isOption = !optionsEnded && argument.starts_with("-") && argument != "-";
    if (isOption && argument == "--") {
      optionsEnded = true;
    } else if (isOption && (argument == "-o" || argument == "--output")) {
      if (i + 1 == arguments.size()) {
        parsed.problem = argument + " needs a file name";
      } else {
        parsed.output = arguments[++i];
      }
    } else if (isOption && (argument == "-h" || argument == "--help")) {
      parsed.help = true;
    } else if (isOption) {
      parsed.problem = "unknown option: " + argument;
    } else if (!parsed.set.empty()) {
      parsed.problem = "more than one set: " + parsed.set + ", " + argument;
    } else {
      parsed.set = argument;
    }
  }
  if (parsed.help || !parsed.problem.empty()) return parsed;
  if (parsed.set.empty()) {
    parsed.problem = "no set given";
  } else if (parsed.output.empty()) {
    parsed.problem = "no output given (-o OUT.apk)";
  }
  return parsed;
}

void PrintUsage(std::FILE* stream) {
  std::fprintf(stream, "%.*s", static_cast<int>(kUsage.size()), kUsage.data());
}

void SayLine(std::FILE* out, std::string_view line) {
  std::fprintf(out, "%.*s\n", static_cast<int>(line.size()), line.data());
  // A window shows the lines as they come only if each is sent at once.
  std::fflush(out);
}

// About what a merge writes beside its output: the spooled APKs, if any, and
// the merged APK, which holds about as much as they do.
std::uint64_t BytesWritten(const apk::SplitSet& set) {
  return set.ApkBytes() * (set.SpoolsApks() ? 2 : 1);
}

int Refuse(std::FILE* out, const std::string& reason) {
  SayLine(out, "合并失败：" + reason);
  return kMergeRefused;
}

}  // namespace

int RunVelmoraMerge(const std::vector<std::string>& arguments, std::FILE* out, std::FILE* err) {
  const MergeArguments parsed = ParseArguments(arguments);
  if (parsed.help) {
    PrintUsage(out);
    return kMerged;
  }
  if (!parsed.problem.empty()) {
    std::fprintf(err, "velmora-merge: %s\n", parsed.problem.c_str());
    PrintUsage(err);
    return kMergeUsage;
  }
  SayLine(out, "读取安装包组：" + parsed.set);
  if (std::optional<std::string> refusal = WhyOutputWouldHitSet(parsed.set, parsed.output)) {
    return Refuse(out, *refusal);
  }
  const apk::StepReport report = [out](std::string_view line) { SayLine(out, line); };
  apk::Parsed<apk::SplitSet> found = apk::SplitSet::Find(parsed.set, report);
  if (auto* failure = std::get_if<apk::FormatError>(&found)) return Refuse(out, failure->message);
  const apk::SplitSet& set = std::get<apk::SplitSet>(found);
  if (std::optional<std::string> refusal = WhyNoRoomFor(BytesWritten(set), parsed.output)) {
    return Refuse(out, *refusal);
  }
  apk::Parsed<std::vector<apk::ZipReader>> opened = set.Open(FolderOf(parsed.output));
  if (auto* failure = std::get_if<apk::FormatError>(&opened)) return Refuse(out, failure->message);
  auto& apks = std::get<std::vector<apk::ZipReader>>(opened);
  SayLine(out, "找到 " + std::to_string(apks.size()) + " 个 APK");
  apk::Parsed<std::monostate> merged = apk::MergeSplitSet(std::move(apks), parsed.output, report);
  if (auto* failure = std::get_if<apk::FormatError>(&merged)) return Refuse(out, failure->message);
  SayLine(out, "合并完成：" + parsed.output + "（未签名）");
  return kMerged;
}

}  // namespace velmora
