#include "cli/terminal_window.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>

#include "exec/stop_signals.h"

namespace velmora {
namespace {

bool Exists(const std::string& path) {
  struct stat info;
  return ::lstat(path.c_str(), &info) == 0;
}

}  // namespace

TerminalWindow::TerminalWindow(int signerType, std::optional<std::string> output, bool force)
    : signerType_(signerType), output_(std::move(output)), force_(force) {}

void TerminalWindow::BeginSource(std::string source) {
  source_ = std::move(source);
  bannerSeen_ = false;
  refused_ = false;
}

void TerminalWindow::SignalEvents::ProcessPendingEvents() {
  if (CaughtStopSignal() != 0) Tools().StopAll();
}

// A pipe or a terminal sees the output as the tool produces it. Once the
// pipe's reader has gone nothing more can be shown, so no tool goes on. Text
// larger than the stream's buffer is written straight through by fwrite,
// leaving the flush nothing to fail on, so both are looked at.
void TerminalWindow::Write(std::FILE* stream, std::string_view text) {
  if (stream == stdout && outputClosed_) return;
  const bool written =
      std::fwrite(text.data(), 1, text.size(), stream) == text.size() && std::fflush(stream) == 0;
  if (!written && errno == EPIPE && stream == stdout) {
    outputClosed_ = true;
    events_.Tools().StopAll();
  }
}

void TerminalWindow::AppendLine(std::string_view line) {
  if (line.starts_with("------")) bannerSeen_ = true;
  std::string text = lineOpen_ ? "\n" : "";
  lineOpen_ = false;
  text += line;
  text += '\n';
  Write(bannerSeen_ ? stdout : stderr, text);
}

void TerminalWindow::AppendToolText(std::string_view text) {
  if (text.empty()) return;
  lineOpen_ = text.back() != '\n';
  Write(stdout, text);
}

std::string TerminalWindow::ProposedBesideSource(const std::string& fileName) const {
  std::size_t slash = source_.rfind('/');
  return slash == std::string::npos ? fileName : source_.substr(0, slash + 1) + fileName;
}

std::optional<std::string> TerminalWindow::AskDestination(const SavePrompt& prompt) {
  if (!output_ && prompt.FileName.empty()) {
    Write(stderr, "velmora-run: no destination name can be made from \"" + source_ +
                      "\"; give one with --output\n");
    refused_ = true;
    return std::nullopt;
  }
  std::string destination = output_ ? *output_ : ProposedBesideSource(prompt.FileName);
  if (Exists(destination) && !force_) {
    Write(stderr, "velmora-run: " + destination + " already exists; use --force to replace it\n");
    refused_ = true;
    return std::nullopt;
  }
  return destination;
}

}  // namespace velmora
