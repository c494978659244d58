// How fast the main window's output area shows a chatty tool's output.
//
// A tool writes 100 MB of 80-character lines in 4 KB writes; RunCaptured
// shows it, waiting in the window's event loop, once into a sink that
// discards it (the baseline) and once into MemoResult of a shown window.
// Printed for each: MB/s, the longest stall of the event loop (the largest
// gap between ticks of a 1 ms timer), and the peak resident memory after it.
// Last, whether the output area shows exactly the lines the tool wrote.
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
#include "exec/process_runner.h"
#include "line_pattern.h"
#include "ui/form_main.h"

namespace {

class DiscardingSink : public velmora::OutputSink {
 public:
  void AppendLine(std::string_view) override {}
  void AppendToolText(std::string_view) override {}
};

// The longest time the event loop went without handling a timer event.
class StallMeter : public QObject {
 public:
  StallMeter() {
    connect(&ticker_, &QTimer::timeout, this,
            [this] { longest_ = std::max(longest_, sinceTick_.restart()); });
    sinceTick_.start();
    ticker_.start(1);
  }
  qint64 LongestMilliseconds() const { return longest_; }

 private:
  QTimer ticker_;
  QElapsedTimer sinceTick_;
  qint64 longest_ = 0;
};

long PeakResidentMegabytes() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024;
}

// Runs the tool into `sink`; `finish` (showing what still waits) counts in.
template <typename Finish>
void MeasureRun(const char* name, std::size_t bytes, velmora::OutputSink& sink,
                velmora::RunEvents& events, Finish finish) {
  const StallMeter stalls;
  QElapsedTimer clock;
  clock.start();
  velmora::RunCaptured(VELMORA_BENCH_LINE_FLOOD, std::to_string(bytes), sink, events);
  finish();
  const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
  std::printf("%-28s %8.1f MB/s   longest stall %4lld ms   peak memory %5ld MB\n", name,
              static_cast<double>(bytes) / 1e6 / seconds,
              static_cast<long long>(stalls.LongestMilliseconds()), PeakResidentMegabytes());
}

// The area shows the tool's lines; the break after the last one is written
// only with a line that follows.
QString AsShown(const std::string& stream) {
  QString text = QString::fromLatin1(stream);
  if (text.endsWith(QLatin1Char('\n'))) text.chop(1);
  return text;
}

}  // namespace

int main(int argc, char* argv[]) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QApplication application(argc, argv);
  const std::size_t bytes = (argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 100) * 1000 * 1000;
  std::printf("%zu MB of %zu-character lines written in %zu-byte writes\n", bytes / 1000 / 1000,
              velmora::bench::kLineBytes, velmora::bench::kWriteBytes);

  // No settings file: the window starts with its notice and one message.
  const velmora::Settings settings("/nonexistent");
  velmora::TFormMain form(settings);
  form.show();
  QCoreApplication::processEvents();

  DiscardingSink discarding;
  MeasureRun("discarding sink (baseline)", bytes, discarding, form.Events(), [] {});
  form.ClearOutput();
  MeasureRun("MemoResult", bytes, form, form.Events(), [&form] {
    form.Output().Flush();
    QCoreApplication::processEvents();
  });

  const auto& memo = *form.findChild<QPlainTextEdit*>(QStringLiteral("MemoResult"));
  const bool whole = memo.toPlainText() == AsShown(velmora::bench::LineStream(bytes));
  std::printf("output area: %s\n", whole ? "every line, as written" : "DIFFERS from the output");
  return whole ? 0 : 1;
}
