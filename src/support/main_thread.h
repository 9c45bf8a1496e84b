#pragma once
// Hands work to the program's main (GUI) thread. Windows, modules, the model list, answer
// handlers and message-sink handlers run there; bus threads post to it or invoke and wait.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

class TMainThreadExecutor {
 public:
  using TTask = std::function<void()>;

  TMainThreadExecutor();
  TMainThreadExecutor(const TMainThreadExecutor&) = delete;
  TMainThreadExecutor& operator=(const TMainThreadExecutor&) = delete;

  // The calling thread becomes the main thread. Programs and test mains call this first.
  void BindToCurrentThread();
  bool IsMainThread() const;

  // Called from any thread whenever work was queued or Notify ran, so that an event loop can
  // come round and pump. The Qt programs install one that posts an event (InstallQtWaker).
  void SetWaker(std::function<void()> waker);

  // Queues a task for the main thread and returns at once. From the main thread the task is
  // queued too (it never runs inside the caller).
  void Post(TTask task);

  // Runs the task in the main thread and returns once it has run. An exception the task throws
  // is caught there and its message returned; nothing crosses the thread boundary. From the main
  // thread the task runs at once.
  std::optional<std::string> InvokeAndWait(const TTask& task);

  // Main thread: runs every task queued so far, in order. Returns how many ran.
  std::size_t PumpPending();

  // Any thread: wakes a WaitUntil in the main thread so it looks at its condition again.
  void Notify();

  // Main thread: waits until the condition holds or the time-out passed, running handed-over
  // work meanwhile (this is what keeps a waiting main thread and a bus thread from blocking each
  // other). Returns the condition's last value.
  bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout);
  bool WaitUntil(const std::function<bool()>& condition);

  std::size_t PendingCount() const;

 private:
  void Wake();

  mutable std::mutex FMutex;
  std::condition_variable FChanged;
  std::deque<TTask> FTasks;
  std::uint64_t FGeneration = 0;
  std::thread::id FMainThread;
  std::mutex FWakerMutex;
  std::function<void()> FWaker;
};

// The one executor of the program.
TMainThreadExecutor& MainThread();

// Installs a waker that wakes the Qt event loop of the calling (main) thread, and binds the
// executor to it. Needs a QCoreApplication.
void InstallQtMainThreadWaker();
// Takes the waker away again; call before the QCoreApplication goes.
void RemoveQtMainThreadWaker();
