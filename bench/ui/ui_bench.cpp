// How fast the main window's output area shows a chatty tool's output.
//
// 100 MB of 80-character lines arrive in 4 KB chunks, each appended as one
// line the way a captured run appends what one read returns, with the window's
// pending events handled between chunks. The same stream goes once into a
// discarding sink (the baseline) and once into MemoResult of a shown window.
// Printed: MB/s of each, the longest stall of the event loop (the largest gap
// between ticks of a 1 ms timer), and the peak resident memory after each.
//
// Usage: ui_bench [megabytes]   (default 100; offscreen unless
// QT_QPA_PLATFORM says otherwise)

#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "config/settings.h"
#include "exec/output_sink.h"
#include "ui/form_main.h"

namespace {

constexpr std::size_t kLineBytes = 80;
constexpr std::size_t kChunkBytes = 4096;

class DiscardingSink : public velmora::OutputSink {
 public:
  void AppendLine(std::string_view line) override { bytes_ += line.size(); }
  std::size_t Bytes() const { return bytes_; }

 private:
  std::size_t bytes_ = 0;
};

// Lines of 79 characters and a line feed, cut into 4 KB chunks regardless of
// where the lines end, as reads from a pipe would cut them.
std::string LineStream(std::size_t bytes) {
  std::string line(kLineBytes - 1, 'x');
  line += '\n';
  std::string stream;
  stream.reserve(bytes);
  while (stream.size() < bytes) {
    stream += line;
  }
  stream.resize(bytes);
  return stream;
}

// What the output area must show: the chunks as lines, each without its last
// line feed.
QString ExpectedText(const std::string& stream) {
  QString text;
  for (std::size_t at = 0; at < stream.size(); at += kChunkBytes) {
    std::string_view chunk = std::string_view(stream).substr(at, kChunkBytes);
    if (chunk.ends_with('\n')) {
      chunk.remove_suffix(1);
    }
    if (at > 0) {
      text += QLatin1Char('\n');
    }
    text += QString::fromUtf8(chunk.data(), static_cast<qsizetype>(chunk.size()));
  }
  return text;
}

// The longest time the event loop went without handling a timer event.
class StallMeter : public QObject {
 public:
  StallMeter() {
    connect(&ticker_, &QTimer::timeout, this,
            [this] { longest_ = std::max(longest_, sinceTick_.restart()); });
  }
  void Start() {
    longest_ = 0;
    sinceTick_.start();
    ticker_.start(1);
  }
  qint64 StopMilliseconds() {
    ticker_.stop();
    return longest_;
  }

 private:
  QTimer ticker_;
  QElapsedTimer sinceTick_;
  qint64 longest_ = 0;
};

struct Figures {
  double megabytesPerSecond;
  qint64 longestStallMilliseconds;
  long peakResidentMegabytes;
};

long PeakResidentMegabytes() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024;
}

// Feeds `stream` to `sink` chunk by chunk, each chunk without its last line
// feed, handling events between chunks; `finish` runs before the clock stops.
template <typename Finish>
Figures Feed(const std::string& stream, velmora::OutputSink& sink, velmora::RunEvents& events,
             Finish finish) {
  StallMeter stalls;
  stalls.Start();
  QElapsedTimer clock;
  clock.start();
  for (std::size_t at = 0; at < stream.size(); at += kChunkBytes) {
    std::string_view chunk = std::string_view(stream).substr(at, kChunkBytes);
    if (chunk.ends_with('\n')) {
      chunk.remove_suffix(1);
    }
    sink.AppendLine(chunk);
    events.ProcessPendingEvents();
  }
  finish();
  const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
  return {static_cast<double>(stream.size()) / 1e6 / seconds, stalls.StopMilliseconds(),
          PeakResidentMegabytes()};
}

void Print(const char* name, const Figures& figures) {
  std::printf("%-28s %9.1f MB/s   longest stall %4lld ms   peak memory %6ld MB\n", name,
              figures.megabytesPerSecond, static_cast<long long>(figures.longestStallMilliseconds),
              figures.peakResidentMegabytes);
}

}  // namespace

int main(int argc, char* argv[]) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QApplication application(argc, argv);
  const std::size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 100;
  const std::string stream = LineStream(megabytes * 1000 * 1000);
  std::printf("%zu MB of %zu-character lines in %zu-byte chunks\n", megabytes, kLineBytes,
              kChunkBytes);

  // No settings file: the window starts with its notice and one message.
  const velmora::Settings settings("/nonexistent");
  velmora::TFormMain form(settings);
  form.show();
  QCoreApplication::processEvents();

  DiscardingSink discarding;
  Print("discarding sink (baseline)", Feed(stream, discarding, form.Events(), [] {}));

  form.ClearOutput();
  Print("MemoResult", Feed(stream, form, form.Events(), [&form] {
          form.Output().Flush();
          QCoreApplication::processEvents();
        }));
  const auto& memo = *form.findChild<QPlainTextEdit*>(QStringLiteral("MemoResult"));
  const bool exact = memo.toPlainText() == ExpectedText(stream);
  std::printf("text shown: %s\n", exact ? "exactly the lines appended" : "DIFFERENT");
  return exact ? 0 : 1;
}
