#include "bus/bus_master.h"

#include <QThread>
#include <QTimer>
#include <algorithm>
#include <utility>

#include "bus/bus_interface.h"
#include "support/main_thread.h"
#include "support/message_sink.h"
#include "support/texts.h"

namespace {

constexpr int64_t kCyclePauseUs = 2000;
// What an idle interface keeps of the text its line delivers meanwhile.
constexpr std::size_t kIdleKeptBytes = 4096;

}  // namespace

TSer485BusMaster::TSer485BusMaster(TRS485IFC* busInterface, TClock* clock)
    : FBusInterface(busInterface), FClock(clock ? *clock : SystemClock()) {}

TSer485BusMaster::~TSer485BusMaster() {
  StopWaitingForDevice();
  StopThread();
  FAlive.reset();
  std::lock_guard<std::mutex> lock(FMutex);
  FCommandQueue.clear();
  FPollList.clear();
}

uint32_t TSer485BusMaster::TransmitWaitUs(std::size_t length, uint32_t baud) {
  if (baud == 0) baud = 9600;
  // The characters, the terminator and one character of margin, 10 bits each.
  const uint64_t bits = (static_cast<uint64_t>(length) + 2) * 10 * 1'000'000;
  return static_cast<uint32_t>((bits + baud - 1) / baud);
}

int64_t TSer485BusMaster::LineTimeUs(std::size_t chars, uint32_t baud) {
  if (baud == 0) baud = 9600;
  return static_cast<int64_t>(static_cast<uint64_t>(chars) * 10'000'000 / baud);
}

uint32_t TSer485BusMaster::ShortestExchangeUs(std::size_t length, uint32_t baud) {
  return static_cast<uint32_t>(LineTimeUs(length + 1 + ShortestAnswer, baud));
}

void TSer485BusMaster::SetPollPriority(uint32_t n) {
  FPollPriority.store(std::max<uint32_t>(n, 1));
}

void TSer485BusMaster::SetOnReceived(std::function<void(const std::string&)> observer) {
  FHasReceivedObserver.store(static_cast<bool>(observer));
  FOnReceived = std::move(observer);
}

void TSer485BusMaster::SetOnDropped(std::function<void(const TDroppedInput&)> observer) {
  FHasDroppedObserver.store(static_cast<bool>(observer));
  FOnDropped = std::move(observer);
}

void TSer485BusMaster::SetEnabled(bool on) {
  FEnabled.store(on);
  if (!on) SetActive(false);
}

void TSer485BusMaster::EnsureThread() {
  if (FThread) return;
  FThread.reset(QThread::create([this] { ThreadBody(); }));
  // The line timing is measured in single milliseconds: keep the thread ahead of ordinary work.
  FThread->start(QThread::HighPriority);
}

void TSer485BusMaster::RunInBusThread(const std::function<void()>& request) {
  EnsureThread();
  auto done = [this] {
    std::lock_guard<std::mutex> lock(FMutex);
    return FRequestDone;
  };
  {
    std::lock_guard<std::mutex> lock(FMutex);
    FRequest = request;
    FRequestDone = false;
    FRequestError.clear();
  }
  FWake.notify_all();
  FComPort.Interrupt();
  if (MainThread().IsMainThread()) {
    MainThread().WaitUntil(done);
  } else {
    std::unique_lock<std::mutex> lock(FMutex);
    FWake.wait(lock, [this] { return FRequestDone; });
  }
  std::string error;
  {
    std::lock_guard<std::mutex> lock(FMutex);
    error = std::move(FRequestError);
    FRequestDone = false;
  }
  if (!error.empty()) throw std::runtime_error(error);
}

void TSer485BusMaster::SetActive(bool on) {
  // The user's word counts more than the wait for a vanished device, also when the device
  // vanishes at this very moment: a loss seen before the new epoch starts no waiting.
  if (!on) FActive.store(false);
  ++FConnectEpoch;
  StopWaitingForDevice();
  if (!on) {
    FActive.store(false);
    FWake.notify_all();
    FComPort.Interrupt();
    if (!FThread) return;
    if (FRunningHandler) {
      // Called from one of our own answer handlers: the bus thread is waiting for it to return,
      // so it closes the port once the handler is done.
      {
        std::lock_guard<std::mutex> lock(FMutex);
        FClosePending = true;
      }
      FWake.notify_all();
      return;
    }
    try {
      // The request runs only between cycles, so the thread is outside any exchange after it.
      RunInBusThread([this] { FComPort.Close(); });
    } catch (const std::exception& e) {
      ReportMessage(e.what());
    }
    return;
  }

  {
    std::lock_guard<std::mutex> lock(FMutex);
    if (FTerminate) {
      FActive.store(false);
      return;
    }
  }
  try {
    if (!FComPort.Connected()) {
      if (FRunningHandler)
        throw std::runtime_error(
            TrText("TSer485BusMaster", "ComPort konnte nicht geöffnet werden! "));
      RunInBusThread([this] { FComPort.Open(); });
    }
    if (!FComPort.Connected())
      throw std::runtime_error(
          TrText("TSer485BusMaster", "ComPort konnte nicht geöffnet werden! "));
    {
      std::lock_guard<std::mutex> lock(FMutex);
      FCommandQueue.clear();
      FClosePending = false;
      FActive.store(true);
    }
    FWake.notify_all();
  } catch (const std::exception& e) {
    ReportMessage(e.what());
  }
}

bool TSer485BusMaster::AddCommand(const std::string& text, TAnswerHandler handler,
                                  TCommandOptions options) {
  if (!FActive.load() || text.empty()) return false;
  auto command = std::make_unique<TBusCommand>(nullptr);
  command->Enabled = false;
  command->Text = text;
  command->AnswerHandler = std::move(handler);
  {
    std::lock_guard<std::mutex> lock(FMutex);
    FCommandQueue.push_back({FNextSerial++, std::move(command), std::move(options)});
  }
  FWake.notify_all();
  return true;
}

int TSer485BusMaster::FindModule(uint8_t address) const {
  if (!FBusInterface) return -1;
  const auto& modules = FBusInterface->Modules();
  for (std::size_t i = 0; i < modules.size(); ++i)
    if (modules[i]->BusAddress() == address) return static_cast<int>(i);
  return -1;
}

int TSer485BusMaster::AddModule(std::unique_ptr<TBusModule>& module) {
  if (!FBusInterface || !module) return -1;
  if (FindModule(module->BusAddress()) >= 0) return -1;
  TBusModule* added = module.get();
  auto& modules = FBusInterface->Modules();
  modules.push_back(std::move(module));
  {
    std::lock_guard<std::mutex> lock(FMutex);
    for (const auto& command : added->BusCommands())
      FPollList.push_back(command.get());
  }
  FWake.notify_all();
  return static_cast<int>(modules.size() - 1);
}

void TSer485BusMaster::RemoveModule(TBusModule* module) {
  if (!module) return;
  const bool wasActive = FActive.load();
  const bool waiting = FWaitingForDevice.load();
  SetActive(false);
  {
    std::lock_guard<std::mutex> lock(FMutex);
    const TBusCommandList& own = module->BusCommands();
    auto belongs = [&](TBusCommand* entry) {
      if (entry->Modul == module) return true;
      return std::any_of(own.begin(), own.end(), [&](const auto& c) { return c.get() == entry; });
    };
    FPollList.erase(std::remove_if(FPollList.begin(), FPollList.end(), belongs), FPollList.end());
    FPollCountdown = FPollList.empty() ? 0 : static_cast<uint32_t>(FPollList.size() - 1);
  }
  if (FBusInterface) {
    auto& modules = FBusInterface->Modules();
    auto it = std::find_if(modules.begin(), modules.end(),
                           [&](const auto& m) { return m.get() == module; });
    if (it != modules.end()) modules.erase(it);
  }
  if (wasActive) SetActive(true);
  // Removing a card is no reason to give up on a vanished device.
  if (waiting) StartWaitingForDevice(FConnectEpoch.load());
}

void TSer485BusMaster::WithLock(const std::function<void()>& change) {
  {
    std::lock_guard<std::mutex> lock(FMutex);
    change();
  }
  FWake.notify_all();
}

std::size_t TSer485BusMaster::QueueCount() const {
  std::lock_guard<std::mutex> lock(FMutex);
  return FCommandQueue.size();
}

std::size_t TSer485BusMaster::PollCount() const {
  std::lock_guard<std::mutex> lock(FMutex);
  return FPollList.size();
}

uint32_t TSer485BusMaster::PollCountdown() const {
  std::lock_guard<std::mutex> lock(FMutex);
  return FPollCountdown;
}

uint64_t TSer485BusMaster::LastQueuedSerial() const {
  std::lock_guard<std::mutex> lock(FMutex);
  return FNextSerial - 1;
}

uint64_t TSer485BusMaster::OldestWaitingSerial() const {
  std::lock_guard<std::mutex> lock(FMutex);
  return FCommandQueue.empty() ? 0 : FCommandQueue.front().Serial;
}

bool TSer485BusMaster::WaitQueueEmpty(std::chrono::milliseconds timeout) {
  return MainThread().WaitUntil([this] { return QueueCount() == 0 || !Active(); }, timeout) &&
         QueueCount() == 0;
}

void TSer485BusMaster::StartWaitingForDevice(uint64_t epoch) {
  if (epoch != FConnectEpoch.load() || FActive.load()) return;
  FWaitingForDevice.store(true);
  FAmbiguityReported = false;
  FFailedOpens = 0;
  if (!FReconnectTimer) {
    FReconnectTimer = std::make_unique<QTimer>();
    FReconnectTimer->setInterval(ReconnectCheckMs);
    FReconnectTimer->callOnTimeout([this] { TryReconnect(); });
  }
  FReconnectTimer->start();
}

void TSer485BusMaster::StopWaitingForDevice() {
  FWaitingForDevice.store(false);
  if (FReconnectTimer) FReconnectTimer->stop();
}

void TSer485BusMaster::TryReconnect() {
  if (!FWaitingForDevice.load() || FActive.load()) {
    StopWaitingForDevice();
    return;
  }
  {
    std::lock_guard<std::mutex> lock(FMutex);
    if (FTerminate) return;
  }
  // Only a device that is there is tried: a failed open every second would fill the log.
  const TComPort::TPortChoice choice = FComPort.ChoosePort(true);
  if (!choice.Ambiguous.empty() && !std::exchange(FAmbiguityReported, true))
    ReportMessage(choice.Ambiguous);
  if (!choice.Present) return;
  try {
    RunInBusThread([this] { FComPort.Open(true); });
  } catch (const std::exception& e) {
    // There, but not usable yet: the system may still be setting it up, or a modem manager
    // probing it. What keeps it closed longer (the rights, another program) the user must hear
    // about, once.
    if (++FFailedOpens == kFailedOpensReported) ReportMessage(e.what());
    return;
  }
  if (!FComPort.Connected()) return;
  {
    std::lock_guard<std::mutex> lock(FMutex);
    FCommandQueue.clear();
    FClosePending = false;
    FActive.store(true);
  }
  FWake.notify_all();
  StopWaitingForDevice();
  ReportMessage(TrText("TSer485BusMaster",
                       "ComPort %1 ist wieder verfügbar, die Verbindung wurde wiederhergestellt. ")
                    .Arg(FComPort.Port()));
  if (OnReconnected) OnReconnected();
}

void TSer485BusMaster::StopThread() {
  FActive.store(false);
  if (!FThread) return;
  {
    std::lock_guard<std::mutex> lock(FMutex);
    FTerminate = true;
  }
  FWake.notify_all();
  FComPort.Interrupt();
  auto ended = [this] {
    std::lock_guard<std::mutex> lock(FMutex);
    return FThreadEnded;
  };
  if (MainThread().IsMainThread()) {
    // Serve the thread's pending answer handler, if any, or the two would wait for each other.
    MainThread().WaitUntil(ended);
  } else {
    std::unique_lock<std::mutex> lock(FMutex);
    FWake.wait(lock, [this] { return FThreadEnded; });
  }
  FThread->wait();
  FThread.reset();
}

bool TSer485BusMaster::HasWorkLocked() const {
  if (!FCommandQueue.empty()) return true;
  return std::any_of(FPollList.begin(), FPollList.end(),
                     [](const TBusCommand* entry) { return entry->Enabled; });
}

void TSer485BusMaster::AdvanceIdleCycles(uint64_t cycles) {
  // Cycles that sent nothing, each followed by the 2 ms pause. Their effect on the schedule is
  // worked out at once instead of waking up for every one of them.
  if (cycles == 0) return;
  FCycleCount += cycles;
  const uint64_t first = FPollCountdown > 0 ? FPollCountdown : 1;
  if (cycles < first) {
    FPollCountdown -= static_cast<uint32_t>(cycles);
    return;
  }
  const uint64_t period = std::max<uint32_t>(FPollPriority.load(), 1);
  const uint64_t polls = 1 + (cycles - first) / period;
  const uint64_t rest = (cycles - first) % period;
  if (!FPollList.empty())
    std::rotate(FPollList.begin(),
                FPollList.begin() + static_cast<std::ptrdiff_t>(polls % FPollList.size()),
                FPollList.end());
  FPollCountdown = static_cast<uint32_t>(period - rest);
}

void TSer485BusMaster::AwaitHandler(std::unique_lock<std::mutex>& lock) {
  if (!FHandlerPending) return;
  FAwaitingHandler = true;
  FWake.wait(lock, [this] { return !FHandlerPending; });
  FAwaitingHandler = false;
}

void TSer485BusMaster::ThreadBody() {
  FResyncCounter = CommandsPerResync;
  std::unique_lock<std::mutex> lock(FMutex);
  for (;;) {
    // Whatever comes next, the last answer's handler has returned first, as when the thread
    // waited for it right away.
    AwaitHandler(lock);
    if (FRequest) {
      FPreSendFromUs = 0;
      std::function<void()> request = std::move(FRequest);
      FRequest = nullptr;
      lock.unlock();
      std::string error;
      try {
        request();
      } catch (const std::exception& e) {
        error = e.what();
        if (error.empty()) error = TrText("TSer485BusMaster", "Fehler");
      } catch (...) {
        error = TrText("TSer485BusMaster", "Fehler");
      }
      lock.lock();
      FRequestError = error;
      FRequestDone = true;
      FWake.notify_all();
      MainThread().Notify();
      continue;
    }
    if (FTerminate) break;
    if (FClosePending && !FActive.load()) {
      FPreSendFromUs = 0;
      FClosePending = false;
      lock.unlock();
      FComPort.Close();
      lock.lock();
      continue;
    }
    if (!FActive.load()) {
      FPreSendFromUs = 0;
      FWake.wait(lock,
                 [this] { return FTerminate || FRequest || FActive.load() || FClosePending; });
      continue;
    }
    if (FCommandQueue.empty()) {
      auto interrupted = [this] {
        return FTerminate || FRequest || !FActive.load() || !FCommandQueue.empty();
      };
      const int64_t start = FClock.NowUs();
      if (!HasWorkLocked()) {
        FPreSendFromUs = 0;
        // With nothing to send no read would see the device go: a pulled adapter would leave
        // the interface shown as connected. A look at the line about once a second sees its
        // hang-up; what it reads stays buffered and is dropped before the next command, as
        // anything the line held then would be.
        const bool woken = FWake.wait_for(lock, std::chrono::milliseconds(ReconnectCheckMs),
                                          [&] { return interrupted() || HasWorkLocked(); });
        AdvanceIdleCycles(static_cast<uint64_t>((FClock.NowUs() - start) / kCyclePauseUs));
        if (!woken) {
          lock.unlock();
          const TReadResult result = FComPort.ReceiveNow();
          if (result.Status == TReadStatus::Lost) ConnectionLost(result.Error);
          // A line that keeps talking while the interface is idle must not fill the memory: no
          // more is kept than the system's own queue would have held.
          if (FComPort.PartialLine().size() > kIdleKeptBytes) FComPort.TakeBuffered();
          lock.lock();
        }
        continue;
      }
      const uint64_t idleCycles = FPollCountdown > 1 ? FPollCountdown - 1 : 0;
      if (idleCycles > 0) {
        FPreSendFromUs = 0;
        FClock.WaitUntil(FWake, lock, start + static_cast<int64_t>(idleCycles) * kCyclePauseUs,
                         interrupted);
        const uint64_t elapsed = static_cast<uint64_t>((FClock.NowUs() - start) / kCyclePauseUs);
        AdvanceIdleCycles(std::min(elapsed, idleCycles));
        continue;
      }
    }
    lock.unlock();
    RunCycle();
    lock.lock();
    const int64_t pauseEnd = FClock.NowUs() + kCyclePauseUs;
    int64_t wakeAt = pauseEnd;
    // Without DTR nothing happens between the pause and the next cycle's pre-send wait: when
    // that cycle is going to send, one sleep serves both. (Should it find nothing to send after
    // all, it merely starts that much later.)
    if (!FComPort.DrivesDtr() && NextCycleSendsLocked()) {
      FPreSendFromUs = pauseEnd;
      wakeAt += static_cast<int64_t>(FPreSendDelay.load()) * 1000;
    }
    // The answer handler, if any, runs in the main thread meanwhile: the pause runs from its
    // hand-over, and the next command still goes out only after it has returned.
    FClock.WaitUntil(FWake, lock, wakeAt, [this] { return FTerminate || FRequest; });
  }
  FActive.store(false);
  lock.unlock();
  try {
    FComPort.Close();
  } catch (...) {
    // Closing at the end is best effort.
  }
  lock.lock();
  FThreadEnded = true;
  FWake.notify_all();
  lock.unlock();
  MainThread().Notify();
}
