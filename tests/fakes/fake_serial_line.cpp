#include "fakes/fake_serial_line.h"

#include <algorithm>
#include <atomic>
#include <chrono>

class TFakeSerialLine : public TSerialLine {
 public:
  explicit TFakeSerialLine(TFakeBus& bus) : FBus(bus) {}

  void Open(const std::string& port, uint32_t) override {
    std::lock_guard<std::mutex> lock(FBus.FMutex);
    if (FBus.FailOpen || FBus.FUnplugged)
      throw EComError("TCOMPORT : cannot open " + port + "\r" + FBus.OpenError);
    FOpen = true;
    FBus.FEvents.push_back({TFakeEvent::Open, FBus.FClock.NowUs(), port, false});
    FBus.FChanged.notify_all();
  }
  void Close() override {
    if (!FOpen) return;
    FOpen = false;
    FBus.Record({TFakeEvent::Close, FBus.FClock.NowUs(), "", false});
  }
  bool IsOpen() const override { return FOpen; }
  bool Write(const std::string& bytes) override {
    std::optional<TFakeReply> reply;
    std::string text = bytes;
    if (!text.empty() && text.back() == '\r') text.pop_back();
    // The card sees the command after the resynchronisation prefix.
    const std::string prefix = std::string("\xA7", 1) + "\r";
    const std::string command = text.compare(0, 2, prefix) == 0 ? text.substr(2) : text;
    {
      std::lock_guard<std::mutex> lock(FBus.FMutex);
      if (FBus.FUnplugged) {
        FError = "device unplugged";
        return false;
      }
    }
    FBus.WrittenChars = bytes.size();
    if (FBus.Responder) reply = FBus.Responder(command);
    std::lock_guard<std::mutex> lock(FBus.FMutex);
    const int64_t now = FBus.FClock.NowUs();
    FBus.FEvents.push_back({TFakeEvent::Write, now, bytes, false});
    if (reply) FBus.FPending.push_back({now + reply->DelayUs, reply->Bytes});
    FBus.FChanged.notify_all();
    return true;
  }
  void SetDTR(bool on) override { FBus.Record({TFakeEvent::Dtr, FBus.FClock.NowUs(), "", on}); }
  TReadResult Read(int64_t maxWaitUs) override {
    TReadResult result;
    if (FInterrupted.exchange(false)) {
      result.Status = TReadStatus::Interrupted;
      return result;
    }
    std::unique_lock<std::mutex> lock(FBus.FMutex);
    if (FBus.FUnplugged) {
      result.Status = TReadStatus::Lost;
      result.Error = "device unplugged";
      return result;
    }
    const int64_t now = FBus.FClock.NowUs();
    const int64_t deadline = now + maxWaitUs;
    auto next =
        std::min_element(FBus.FPending.begin(), FBus.FPending.end(),
                         [](const auto& a, const auto& b) { return a.ReadyUs < b.ReadyUs; });
    if (next == FBus.FPending.end() || next->ReadyUs > deadline) {
      lock.unlock();
      auto* manual = &FBus.FClock;
      std::condition_variable unused;
      std::mutex m;
      std::unique_lock<std::mutex> l(m);
      manual->WaitUntil(unused, l, deadline, [] { return false; });
      result.Status = TReadStatus::Timeout;
      return result;
    }
    const int64_t ready = next->ReadyUs;
    // As a driver does, everything there by then comes in one read.
    std::stable_sort(FBus.FPending.begin(), FBus.FPending.end(),
                     [](const auto& a, const auto& b) { return a.ReadyUs < b.ReadyUs; });
    const int64_t upTo = std::max(ready, now);
    auto end = FBus.FPending.begin();
    while (end != FBus.FPending.end() && end->ReadyUs <= upTo)
      result.Bytes += (end++)->Bytes;
    FBus.FPending.erase(FBus.FPending.begin(), end);
    lock.unlock();
    if (ready > now) {
      std::condition_variable unused;
      std::mutex m;
      std::unique_lock<std::mutex> l(m);
      FBus.FClock.WaitUntil(unused, l, ready, [] { return false; });
    }
    result.Status = TReadStatus::Data;
    return result;
  }
  void Interrupt() override { FInterrupted.store(true); }
  bool DrivesDtr() const override { return FBus.DrivesDtr; }
  bool PacesBytes() const override { return FBus.PacesBytes; }
  std::string Error() const override { return FError; }

 private:
  TFakeBus& FBus;
  bool FOpen = false;
  std::atomic<bool> FInterrupted{false};
  std::string FError;
};

void TFakeBus::Record(TFakeEvent event) {
  std::lock_guard<std::mutex> lock(FMutex);
  FEvents.push_back(std::move(event));
  FChanged.notify_all();
}

std::vector<TFakeEvent> TFakeBus::Events() const {
  std::lock_guard<std::mutex> lock(FMutex);
  return FEvents;
}

std::vector<std::string> TFakeBus::Writes() const {
  std::lock_guard<std::mutex> lock(FMutex);
  std::vector<std::string> writes;
  for (const TFakeEvent& e : FEvents) {
    if (e.Kind != TFakeEvent::Write) continue;
    std::string text = e.Text;
    if (!text.empty() && text.back() == '\r') text.pop_back();
    writes.push_back(text);
  }
  return writes;
}

std::size_t TFakeBus::WriteCount() const {
  std::lock_guard<std::mutex> lock(FMutex);
  return static_cast<std::size_t>(
      std::count_if(FEvents.begin(), FEvents.end(),
                    [](const TFakeEvent& e) { return e.Kind == TFakeEvent::Write; }));
}

bool TFakeBus::WaitForWrites(std::size_t count, int timeoutMs) const {
  std::unique_lock<std::mutex> lock(FMutex);
  return FChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
    return static_cast<std::size_t>(std::count_if(
               FEvents.begin(), FEvents.end(),
               [](const TFakeEvent& e) { return e.Kind == TFakeEvent::Write; })) >= count;
  });
}

void TFakeBus::ClearEvents() {
  std::lock_guard<std::mutex> lock(FMutex);
  FEvents.clear();
}

void TFakeBus::Inject(const std::string& bytes, int64_t atUs) {
  std::lock_guard<std::mutex> lock(FMutex);
  FPending.push_back({atUs, bytes});
}

void TFakeBus::Unplug() {
  std::lock_guard<std::mutex> lock(FMutex);
  FUnplugged = true;
}

void TFakeBus::Replug() {
  std::lock_guard<std::mutex> lock(FMutex);
  FUnplugged = false;
}

std::unique_ptr<TSerialLine> TFakeBus::MakeLine() {
  return std::make_unique<TFakeSerialLine>(*this);
}
