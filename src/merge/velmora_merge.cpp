#include "merge/velmora_merge.h"

#include <string_view>

#include "apk/split_merge.h"
#include "apk/split_set.h"

namespace velmora {
namespace {

constexpr std::string_view kUsage =
    "usage: velmora-merge SET -o OUT.apk\n"
    "  SET  a folder of split APKs, or an .xapk, .apks or .apkm file\n"
    "  -o, --output OUT.apk  the merged APK, unsigned (replaced if it exists)\n";

struct MergeArguments {
  std::string set;
  std::string output;
  bool help = false;
  std::string problem;  // why the arguments make no sense; empty when they do
};

MergeArguments ParseArguments(const std::vector<std::string>& arguments) {
  MergeArguments parsed;
  for (std::size_t i = 0; i < arguments.size() && parsed.problem.empty(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "-o" || argument == "--output") {
      if (i + 1 == arguments.size()) {
        parsed.problem = argument + " needs a file name";
      } else {
        parsed.output = arguments[++i];
      }
    } else if (argument == "-h" || argument == "--help") {
      parsed.help = true;
    } else if (argument.starts_with("-") && argument != "-") {
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
  apk::Parsed<std::vector<apk::ZipReader>> set = apk::OpenSplitSet(parsed.set);
  if (auto* failure = std::get_if<apk::FormatError>(&set)) return Refuse(out, failure->message);
  auto& apks = std::get<std::vector<apk::ZipReader>>(set);
  SayLine(out, "找到 " + std::to_string(apks.size()) + " 个 APK");
  apk::Parsed<std::monostate> merged = apk::MergeSplitSet(
      std::move(apks), parsed.output, [out](std::string_view line) { SayLine(out, line); });
  if (auto* failure = std::get_if<apk::FormatError>(&merged)) return Refuse(out, failure->message);
  SayLine(out, "合并完成：" + parsed.output + "（未签名）");
  return kMerged;
}

}  // namespace velmora
