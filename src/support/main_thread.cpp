#include "support/main_thread.h"
#include "support/texts.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QPointer>
#include <atomic>
#include <exception>
#include <future>

TMainThreadExecutor::TMainThreadExecutor() : FMainThread(std::this_thread::get_id()) {}

void TMainThreadExecutor::BindToCurrentThread() {
  std::lock_guard<std::mutex> lock(FMutex);
  FMainThread = std::this_thread::get_id();
}

bool TMainThreadExecutor::IsMainThread() const {
  std::lock_guard<std::mutex> lock(FMutex);
  return FMainThread == std::this_thread::get_id();
}

void TMainThreadExecutor::SetWaker(std::function<void()> waker) {
  std::lock_guard<std::mutex> lock(FWakerMutex);
  FWaker = std::move(waker);
}

void TMainThreadExecutor::Wake() {
  FChanged.notify_all();
  // The waker runs under its own lock: once SetWaker has replaced it, no bus thread is still
  // inside it, so the object it posts to can be deleted. It only posts an event, so the lock is
  // held briefly and never while the queue's lock is.
  std::lock_guard<std::mutex> lock(FWakerMutex);
  if (FWaker) FWaker();
}

void TMainThreadExecutor::Post(TTask task) {
  {
    std::lock_guard<std::mutex> lock(FMutex);
    FTasks.push_back(std::move(task));
    ++FGeneration;
  }
  Wake();
}

std::optional<std::string> TMainThreadExecutor::InvokeAndWait(const TTask& task) {
  auto run = [&task]() -> std::optional<std::string> {
    try {
      task();
      return std::nullopt;
    } catch (const std::exception& e) {
      return std::string(e.what());
    } catch (...) {
      return TrText("TMainThreadExecutor", "unbekannter Fehler").Shown();
    }
  };
  if (IsMainThread()) return run();
  auto done = std::make_shared<std::promise<std::optional<std::string>>>();
  std::future<std::optional<std::string>> result = done->get_future();
  Post([done, run] { done->set_value(run()); });
  return result.get();
}

std::size_t TMainThreadExecutor::PumpPending() {
  // Only what is queued now: tasks posted meanwhile wait for the next pump, so that a steady
  // stream of answers from a bus thread cannot keep a waiting caller from its condition.
  std::size_t left;
  {
    std::lock_guard<std::mutex> lock(FMutex);
    left = FTasks.size();
  }
  std::size_t count = 0;
  for (; left > 0; --left) {
    TTask task;
    {
      std::lock_guard<std::mutex> lock(FMutex);
      if (FTasks.empty()) break;
      task = std::move(FTasks.front());
      FTasks.pop_front();
    }
    try {
      task();
    } catch (...) {
      // Tasks report their own failures; one that throws must not stop the others.
    }
    ++count;
  }
  return count;
}

void TMainThreadExecutor::Notify() {
  {
    std::lock_guard<std::mutex> lock(FMutex);
    ++FGeneration;
  }
  Wake();
}

bool TMainThreadExecutor::WaitUntil(const std::function<bool()>& condition,
                                    std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    std::uint64_t seen;
    {
      std::lock_guard<std::mutex> lock(FMutex);
      seen = FGeneration;
    }
    PumpPending();
    if (condition()) return true;
    std::unique_lock<std::mutex> lock(FMutex);
    if (!FChanged.wait_until(lock, deadline, [&] { return FGeneration != seen; })) {
      lock.unlock();
      PumpPending();
      return condition();
    }
  }
}

bool TMainThreadExecutor::WaitUntil(const std::function<bool()>& condition) {
  for (;;) {
    std::uint64_t seen;
    {
      std::lock_guard<std::mutex> lock(FMutex);
      seen = FGeneration;
    }
    PumpPending();
    if (condition()) return true;
    std::unique_lock<std::mutex> lock(FMutex);
    FChanged.wait(lock, [&] { return FGeneration != seen; });
  }
}

std::size_t TMainThreadExecutor::PendingCount() const {
  std::lock_guard<std::mutex> lock(FMutex);
  return FTasks.size();
}

TMainThreadExecutor& MainThread() {
  static TMainThreadExecutor executor;
  return executor;
}

namespace {

// Receives the wake-up events in the main thread. The events carry no data: the work itself
// travels through the executor's own locked queue.
class TQtPump : public QObject {
 public:
  static const QEvent::Type WakeEvent;
  std::atomic<bool> Posted{false};

  bool event(QEvent* e) override {
    if (e->type() != WakeEvent) return QObject::event(e);
    Posted.store(false);
    MainThread().PumpPending();
    return true;
  }
};

const QEvent::Type TQtPump::WakeEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

QPointer<TQtPump>& QtPump() {
  static QPointer<TQtPump> pump;
  return pump;
}

}  // namespace

void InstallQtMainThreadWaker() {
  QPointer<TQtPump>& pump = QtPump();
  MainThread().BindToCurrentThread();
  if (!pump) pump = new TQtPump();
  TQtPump* target = pump.data();
  MainThread().SetWaker([target] {
    // One wake-up event at a time is enough: the pump empties the whole queue.
    if (!target->Posted.exchange(true))
      QCoreApplication::postEvent(target, new QEvent(TQtPump::WakeEvent));
  });
}

void RemoveQtMainThreadWaker() {
  MainThread().SetWaker({});
  delete QtPump().data();
}
