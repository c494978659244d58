#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "exec/process_runner.h"
#include "run_test_support.h"

namespace velmora {
namespace {

constexpr auto kExecutable = std::filesystem::perms::owner_all;

// A FIFO the opened program reports to, good for one report. Reading it waits
// for the program, so the test needs no sleeping; the generous limit only keeps
// a broken ShellOpen from hanging the suite.
class Report {
 public:
  explicit Report(std::string path) : path_(std::move(path)) {
    ::mkfifo(path_.c_str(), 0600);
    fd_ = ::open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  }
  ~Report() {
    ::close(fd_);
    ::unlink(path_.c_str());
  }
  Report(const Report&) = delete;
  Report& operator=(const Report&) = delete;

  const std::string& Path() const { return path_; }

  std::string Read() {
    std::string text;
    pollfd readable{fd_, POLLIN, 0};
    char buffer[256];
    while (::poll(&readable, 1, 60'000) > 0) {
      const ssize_t size = ::read(fd_, buffer, sizeof buffer);
      if (size <= 0) {
        break;
      }
      text.append(buffer, static_cast<std::size_t>(size));
    }
    return text;
  }

 private:
  std::string path_;
  int fd_ = -1;
};

// A program that writes its arguments and whether it leads its own session to
// the report at `reportPath`.
void WriteReportingProgram(const std::string& path, const std::string& reportPath) {
  test::WriteFile(path,
                  "#!/bin/sh\n"
                  "read -r pid name state parent group session rest < /proc/$$/stat\n"
                  "{ printf '[%s]' \"$@\"; [ \"$session\" = $$ ] && printf ' own-session'; } > '" +
                      reportPath + "'\n",
                  kExecutable);
}

TEST(ShellOpen, starts_an_executable_detached_with_the_split_argument_line) {
  test::TempDir directory;
  Report report(directory / "report");
  WriteReportingProgram(directory / "tool", report.Path());
  ShellOpen(directory / "tool", R"(-x "a b" c;d)", OpenTarget::kNamedByTemplate);
  EXPECT_TRUE(test::HasNoChildren());
  EXPECT_EQ(report.Read(), "[-x][a b][c;d] own-session");
}

TEST(ShellOpen, hands_a_document_or_url_to_xdg_open) {
  test::TempDir directory;
  std::filesystem::create_directory(directory / "bin");
  WriteReportingProgram(directory / "bin/xdg-open", directory / "report");
  test::WriteFile(directory / "notes.txt", "", std::filesystem::perms::owner_read);
  test::ScopedEnvironment path("PATH", directory / "bin" + ":/usr/bin:/bin");
  for (const std::string& target :
       {directory / "notes.txt", directory.path(), std::string("https://example.org/")}) {
    Report report(directory / "report");
    ShellOpen(target, "ignored arguments", OpenTarget::kNamedByTemplate);
    EXPECT_TRUE(test::HasNoChildren());
    EXPECT_EQ(report.Read(), "[" + target + "] own-session");
  }
}

TEST(ShellOpen, finds_a_bare_program_name_on_path) {
  test::TempDir directory;
  Report report(directory / "report");
  std::filesystem::create_directory(directory / "bin");
  WriteReportingProgram(directory / "bin/velmora-opened", report.Path());
  test::ScopedEnvironment path("PATH", directory / "bin" + ":/usr/bin:/bin");
  ShellOpen("velmora-opened", "one", OpenTarget::kNamedByTemplate);
  EXPECT_TRUE(test::HasNoChildren());
  EXPECT_EQ(report.Read(), "[one] own-session");
}

TEST(ShellOpen, starts_nothing_for_an_empty_command) {
  ShellOpen("", "anything", OpenTarget::kNamedByTemplate);
  EXPECT_TRUE(test::HasNoChildren());
}

}  // namespace
}  // namespace velmora
