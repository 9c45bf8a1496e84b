#include "support/waits.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <chrono>
#include <thread>

#include "support/main_thread.h"

TStopWatch::TStopWatch(bool startNow) {
  using Clock = std::chrono::steady_clock;
  FFrequency = Clock::period::den / Clock::period::num;
  FHighResolution = FFrequency >= 1000;
  if (!FHighResolution) FFrequency = 1000;
  if (startNow) Start();
}

void TStopWatch::Start() {
  FStartCount = std::chrono::steady_clock::now().time_since_epoch().count();
  FRunning = true;
}

int64_t TStopWatch::ElapsedMs() {
  if (!FRunning) Start();
  const int64_t now = std::chrono::steady_clock::now().time_since_epoch().count();
  return (now - FStartCount) * 1000 / FFrequency;
}

namespace {

bool HasQtEventLoop() {
  QCoreApplication* app = QCoreApplication::instance();
  return app != nullptr && app->thread() == QThread::currentThread();
}

}  // namespace

bool WaitWithMessagesUntil(const std::function<bool()>& condition, uint32_t ms) {
  TStopWatch watch(true);
  if (!HasQtEventLoop()) {
    return MainThread().WaitUntil(condition, std::chrono::milliseconds(ms + 1));
  }
  QEventLoop loop;
  QTimer deadline;
  deadline.setSingleShot(true);
  deadline.setTimerType(Qt::PreciseTimer);
  QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
  for (;;) {
    MainThread().PumpPending();
    if (condition()) return true;
    const int64_t left = static_cast<int64_t>(ms) + 1 - watch.ElapsedMs();
    if (left <= 0) return condition();
    deadline.start(static_cast<int>(left));
    // Returns after each batch of events; the work of other threads arrives as events too.
    loop.processEvents(QEventLoop::WaitForMoreEvents | QEventLoop::AllEvents);
  }
}

void WaitWithMessages(uint32_t ms) {
  WaitWithMessagesUntil([] { return false; }, ms);
}

void WaitBusy(uint32_t ms) {
  TStopWatch watch(true);
  for (int64_t elapsed = watch.ElapsedMs(); elapsed <= static_cast<int64_t>(ms);
       elapsed = watch.ElapsedMs())
    std::this_thread::sleep_for(std::chrono::milliseconds(static_cast<int64_t>(ms) - elapsed + 1));
}
