#include "ui/qt_run_events.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>
#include <memory>
#include <vector>

#include "exec/poll_run_events.h"

namespace velmora {
namespace {

// QEventLoop::exec gives -1 without running when the application is quitting.
constexpr int kLoopDidNotRun = -1;

// A notifier stays active while its descriptor is readable, and the run reads
// only after this wait has returned; an outer wait whose loop cannot return
// while a nested run goes on would otherwise be woken over and over.
std::unique_ptr<QSocketNotifier> WakeOnReadable(int fd, QEventLoop& loop) {
  auto notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
  QSocketNotifier* raw = notifier.get();
  QObject::connect(raw, &QSocketNotifier::activated, &loop, [raw, &loop] {
    raw->setEnabled(false);
    loop.quit();
  });
  return notifier;
}

}  // namespace

void QtRunEvents::ProcessPendingEvents() {
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void QtRunEvents::WaitForActivity(int outputFd, int childFd, std::chrono::milliseconds timeout) {
  QEventLoop loop;
  std::vector<std::unique_ptr<QSocketNotifier>> notifiers;
  for (const int fd : {outputFd, childFd}) {
    if (fd >= 0) {
      notifiers.push_back(WakeOnReadable(fd, loop));
    }
  }
  QTimer::singleShot(timeout, &loop, &QEventLoop::quit);
  if (loop.exec() == kLoopDidNotRun) {
    PollForActivity(outputFd, childFd, timeout);
  }
}

}  // namespace velmora
