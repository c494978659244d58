// File names are data: whatever bytes a name holds, it reaches the tool as the
// name, never as options, quotes or placeholders.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "exec/command_pipeline.h"
#include "exec/recording_window.h"
#include "support/temp_dir.h"

namespace velmora {
namespace {

using test::TempDir;
using Arguments = std::vector<std::string>;

// What the recorder at `tool` received: it writes each argument followed by a
// zero byte, the one byte no argument can hold, to `<its path>.argv`.
Arguments RecordedArgv(const std::string& tool) {
  std::string bytes = TempDir::ReadFile(tool + ".argv");
  Arguments arguments;
  for (std::size_t start = 0, end; (end = bytes.find('\0', start)) != bytes.npos; start = end + 1) {
    arguments.push_back(bytes.substr(start, end - start));
  }
  return arguments;
}

struct HostileName {
  const char* label;
  std::string name;
};

class HostileFileName : public ::testing::TestWithParam<HostileName> {};

// Section Run passes the name quoted, within a word, and unquoted, where its
// blanks separate arguments as the template's do. Section Self, which has no
// Command, starts the source itself: its name is then the program name, which
// knows no escapes, so a name with a double quote is refused there.
TEST_P(HostileFileName, ReachesTheToolAsItIs) {
  TempDir dir;
  const std::string recorder = "#!/bin/sh\nprintf '%s\\0' \"$@\" > \"$0.argv\"\n";
  std::string tool = dir.Write("recorder", recorder);
  std::string source = dir.Write(GetParam().name, recorder);
  ::chmod(tool.c_str(), 0755);
  ::chmod(source.c_str(), 0755);
  dir.Write("Velmora.ini",
            "[KeystoreFile]\nstorepass=secret\n[General]\nJAVA_HOME=/jdk\n[Run]\n"
            "Command=" +
                tool +
                "\nCommandLine=-i \"%SourceFile%\" -o \"%DestFile%\" "
                "\"%DestFile%.bak\" %SourceFile%\n[Self]\nDestFileType=none\n"
                "CommandLine=\"%SourceFile%\" -v\n");
  std::string destination = dir / ("out" + GetParam().name);
  test::RecordingWindow window;

  RunSection({.Section = "Run", .Source = source, .Destination = destination}, Settings(dir.path()),
             window);
  RunReport self =
      RunSectionReport({.Section = "Self", .Source = source}, Settings(dir.path()), window);

  Arguments expected{"-i", source, "-o", destination, destination + ".bak"};
  for (std::size_t at = 0; (at = source.find_first_not_of(" \t", at)) != source.npos;) {
    std::size_t end = source.find_first_of(" \t", at);
    expected.push_back(source.substr(at, end - at));
    at = end;
  }
  EXPECT_EQ(RecordedArgv(tool), expected);
  if (source.find('"') == source.npos) {
    EXPECT_EQ(RecordedArgv(source), Arguments{"-v"});
  } else {
    EXPECT_EQ(self.ending, RunEnding::kPathNotPassable);
    EXPECT_EQ(window.lines.back(), "路径 " + source + " 含有双引号，不能用作程序名，请检查");
  }
}

const HostileName kHostileNames[] = {
    {"option_between_quotes", "demo\" --force \"x.apk"},
    {"leading_quote", "\"lead.apk"},
    {"inner_quote", "mid\"dle.apk"},
    {"trailing_quote", "trail.apk\""},
    {"trailing_backslash", "app\\"},
    {"doubled_backslashes", "a\\\\b.apk"},
    {"backslashes_before_quote", "x\\\\\"y.apk"},
    {"escaped_quote", "\\\"x"},
    {"only_backslashes", "\\\\\\\\"},
    {"storepass_placeholder", "app%storepass%.apk"},
    {"source_placeholder", "app%SourceFile%.apk"},
    {"destination_placeholder", "%DestFile%"},
    {"placeholders_of_both_kinds", "%JAVA_HOME%\\%alias%"},
    {"tab", "tab\there.apk"},
    {"newline", "new\nline.apk"},
    {"command_substitution", "$(touch pwned).apk"},
    {"backquotes", "`id`.apk"},
    {"shell_separators", "a;b&c|d>e.apk"},
    {"leading_dash", "-rf"},
    {"option_name", "--force"},
    {"cjk_and_blank", "中文 包.apk"},
    {"emoji", "\xF0\x9F\x98\x80.apk"},
    {"invalid_utf8", "\xFF\xFE bad\x80.apk"},
    {"blanks_around", "  spaced  out  "},
    {"single_quotes", "'single'.apk"},
};

INSTANTIATE_TEST_SUITE_P(Names, HostileFileName, ::testing::ValuesIn(kHostileNames),
                         [](const auto& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace velmora
