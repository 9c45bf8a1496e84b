#include "bus/bus_master.h"

#include <QThread>
#include <algorithm>

#include "bus/bus_interface.h"
#include "support/main_thread.h"
#include "support/message_sink.h"

namespace {

// Every 30th command is preceded by 0xA7 CR, which brings a card that lost track of the line
// back to the start of a command.
const std::string kResyncPrefix = std::string("\xA7", 1) + "\r";
constexpr int32_t kCommandsPerResync = 30;
constexpr int64_t kCyclePauseUs = 2000;

}  // namespace

TSer485BusMaster::TSer485BusMaster(TRS485IFC* busInterface, TClock* clock)
    : FBusInterface(busInterface), FClock(clock ? *clock : SystemClock()) {}

TSer485BusMaster::~TSer485BusMaster() {
  StopThread();
  FAlive.reset();
  std::lock_guard<std::mutex> lock(FMutex);
  FCommandQueue.clear();
  FPollList.clear();
}

uint32_t TSer485BusMaster::TransmitTimeMs(std::size_t length, uint32_t baud) {
  if (baud == 0) baud = 9600;
  return static_cast<uint32_t>((static_cast<uint64_t>(length) + 1) * 10 * 1000 / baud);
}

void TSer485BusMaster::SetPollPriority(uint32_t n) {
  FPollPriority.store(std::max<uint32_t>(n, 1));
}

void TSer485BusMaster::SetOnReceived(std::function<void(const std::string&)> observer) {
  FHasReceivedObserver.store(static_cast<bool>(observer));
  FOnReceived = std::move(observer);
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
      if (FRunningHandler) throw std::runtime_error("ComPort konnte nicht geöffnet werden! ");
      RunInBusThread([this] { FComPort.Open(); });
    }
    if (!FComPort.Connected()) throw std::runtime_error("ComPort konnte nicht geöffnet werden! ");
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

bool TSer485BusMaster::AddCommand(const std::string& text, TAnswerHandler handler) {
  if (!FActive.load() || text.empty()) return false;
  auto command = std::make_unique<TBusCommand>(nullptr);
  command->Enabled = false;
  command->Text = text;
  command->AnswerHandler = std::move(handler);
  {
    std::lock_guard<std::mutex> lock(FMutex);
    FCommandQueue.push_back({FNextSerial++, std::move(command)});
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

bool TSer485BusMaster::WaitQueueEmpty(std::chrono::milliseconds timeout) {
  return MainThread().WaitUntil([this] { return QueueCount() == 0 || !Active(); }, timeout) &&
         QueueCount() == 0;
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

void TSer485BusMaster::ThreadBody() {
  FResyncCounter = kCommandsPerResync;
  std::unique_lock<std::mutex> lock(FMutex);
  for (;;) {
    if (FRequest) {
      std::function<void()> request = std::move(FRequest);
      FRequest = nullptr;
      lock.unlock();
      std::string error;
      try {
        request();
      } catch (const std::exception& e) {
        error = e.what();
        if (error.empty()) error = "Fehler";
      } catch (...) {
        error = "Fehler";
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
      FClosePending = false;
      lock.unlock();
      FComPort.Close();
      lock.lock();
      continue;
    }
    if (!FActive.load()) {
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
        FWake.wait(lock, [&] { return interrupted() || HasWorkLocked(); });
        AdvanceIdleCycles(static_cast<uint64_t>((FClock.NowUs() - start) / kCyclePauseUs));
        continue;
      }
      const uint64_t idleCycles = FPollCountdown > 1 ? FPollCountdown - 1 : 0;
      if (idleCycles > 0) {
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
    FClock.WaitUntil(FWake, lock, FClock.NowUs() + kCyclePauseUs,
                     [this] { return FTerminate || FRequest; });
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

TSer485BusMaster::TWaitEnd TSer485BusMaster::WaitWhileActive(int64_t us) {
  std::unique_lock<std::mutex> lock(FMutex);
  const bool stopped = FClock.WaitUntil(FWake, lock, FClock.NowUs() + us,
                                        [this] { return !FActive.load() || FTerminate; });
  return stopped ? TWaitEnd::Abandon : TWaitEnd::Elapsed;
}

void TSer485BusMaster::CollectPieces() {
  std::string piece;
  while (FComPort.NextPiece(piece)) {
    FAnswerBuffer += piece;
    if (FHasReceivedObserver.load()) {
      std::weak_ptr<int> alive = FAlive;
      MainThread().Post([this, alive, piece] {
        if (!alive.expired() && FOnReceived) FOnReceived(piece);
      });
    }
  }
}

void TSer485BusMaster::ConnectionLost(const std::string& error) {
  const bool wasActive = FActive.exchange(false);
  FComPort.Close();
  if (!wasActive) return;
  ReportMessage("ComPort " + FComPort.OpenPort() + " ist nicht mehr verfügbar" +
                (error.empty() ? std::string() : " (" + error + ")") +
                ", die Verbindung wurde getrennt. ");
  std::weak_ptr<int> alive = FAlive;
  MainThread().Post([this, alive] {
    if (!alive.expired() && OnConnectionLost) OnConnectionLost();
  });
}

void TSer485BusMaster::RunCycle() {
  uint64_t serial = 0;
  std::string text;
  TAnswerHandler handler;
  {
    std::lock_guard<std::mutex> lock(FMutex);
    if (!FActive.load()) return;
    ++FCycleCount;
    TBusCommand* current = nullptr;
    if (!FCommandQueue.empty()) {
      current = FCommandQueue.front().Command.get();
      serial = FCommandQueue.front().Serial;
    }
    if (FPollCountdown > 0) --FPollCountdown;
    if (FPollCountdown == 0) {
      if (!FPollList.empty()) {
        TBusCommand* entry = FPollList.front();
        FPollList.pop_front();
        FPollList.push_back(entry);
        if (entry->Enabled) {
          current = entry;
          serial = 0;
        }
      }
      FPollCountdown = std::max<uint32_t>(FPollPriority.load(), 1);
    }
    if (!current) return;
    text = current->Text;
    handler = current->AnswerHandler;
  }
  // A standing command with an empty text is never sent (one-shots cannot be empty).
  if (text.empty()) return;

  std::string sent = text;
  if (--FResyncCounter < 1) {
    sent = kResyncPrefix + text;
    FResyncCounter = kCommandsPerResync;
  }
  try {
    const uint32_t baud = FComPort.Baud();
    FComPort.SetDTR(false);
    if (WaitWhileActive(static_cast<int64_t>(FPreSendDelay.load()) * 1000) == TWaitEnd::Abandon)
      return;
    const uint32_t transmitMs = TransmitTimeMs(sent.size(), baud);
    // Whatever arrived between two exchanges is dropped with the old answer.
    FComPort.Receive(0);
    CollectPieces();
    FAnswerBuffer.clear();
    if (!FComPort.WriteString(sent + "\r")) {
      ConnectionLost(FComPort.Error());
      return;
    }
    if (WaitWhileActive(static_cast<int64_t>(transmitMs) * 1000) == TWaitEnd::Abandon) return;
    FComPort.SetDTR(true);

    const int64_t deadline = FClock.NowUs() + static_cast<int64_t>(FTimeout.load()) * 1000;
    while (FAnswerBuffer.find('\r') == std::string::npos) {
      if (!FActive.load()) return;
      const int64_t left = deadline - FClock.NowUs();
      if (left <= 0) break;
      const TReadResult result = FComPort.Receive(left);
      if (result.Status == TReadStatus::Lost) {
        ConnectionLost(result.Error);
        return;
      }
      CollectPieces();
    }
    if (FAnswerBuffer.find('\r') == std::string::npos)
      ReportMessage("TimeOut, Modul antwortet nicht! \"" + sent + "\" ", 1);

    if (handler) {
      const std::string answer = FAnswerBuffer;
      const std::optional<std::string> error = MainThread().InvokeAndWait([&] {
        FRunningHandler = true;
        try {
          handler(text, answer);
        } catch (...) {
          FRunningHandler = false;
          throw;
        }
        FRunningHandler = false;
      });
      if (error) ReportMessage(*error, 1);
    }
    // The exchange is over, also when the handler failed: sending it again would only fail again
    // and hold up every later command.
    if (serial != 0) {
      {
        std::lock_guard<std::mutex> lock(FMutex);
        if (!FCommandQueue.empty() && FCommandQueue.front().Serial == serial)
          FCommandQueue.pop_front();
      }
      // Someone in the main thread may be waiting for the queue to run empty.
      MainThread().Notify();
    }
  } catch (const std::exception& e) {
    ReportMessage(e.what(), 1);
  }
}
