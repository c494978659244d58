#include "ui/qt_run_events.h"

#include <poll.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>
#include <array>
#include <memory>
#include <vector>

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

void PollReadable(int outputFd, int childFd, std::chrono::milliseconds timeout) {
  std::array<pollfd, 2> watched{pollfd{outputFd, POLLIN, 0}, pollfd{childFd, POLLIN, 0}};
  // poll() skips negative descriptors by itself; an interrupted wait may
  // return early, as the contract allows.
  ::poll(watched.data(), watched.size(), static_cast<int>(timeout.count()));
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
    PollReadable(outputFd, childFd, timeout);
  }
}

}  // namespace velmora
