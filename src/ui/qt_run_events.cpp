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

}  // namespace

// A notifier stays active while its descriptor is readable, and a run reads
// only after its wait has returned; an outer wait whose loop cannot return
// while a nested run goes on would otherwise be woken over and over.
std::unique_ptr<QSocketNotifier> CallOnceReadable(int fd, QObject& context,
                                                  const std::function<void()>& action) {
  auto notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
  QSocketNotifier* raw = notifier.get();
  QObject::connect(raw, &QSocketNotifier::activated, &context, [raw, action] {
    raw->setEnabled(false);
    action();
  });
  return notifier;
}

void QtRunEvents::ProcessPendingEvents() {
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void QtRunEvents::WaitForActivity(int outputFd, int childFd, std::chrono::milliseconds timeout) {
  QEventLoop loop;
  std::vector<std::unique_ptr<QSocketNotifier>> notifiers;
  for (const int fd : {outputFd, childFd}) {
    if (fd >= 0) {
      notifiers.push_back(CallOnceReadable(fd, loop, [&loop] { loop.quit(); }));
    }
  }
  QTimer::singleShot(timeout, &loop, &QEventLoop::quit);
  if (loop.exec() == kLoopDidNotRun) {
    PollForActivity(outputFd, childFd, timeout);
  }
}

}  // namespace velmora
