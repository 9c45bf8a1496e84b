#include "sim/sim_serial_line.h"

#include <algorithm>

#include "sim/sim_bus.h"

namespace {

const char* const kNotOpen = "port not open";

}  // namespace

TSimSerialLine::TSimSerialLine(TSimBus& bus) : FBus(bus), FClock(bus.Clock()), FWire(bus, 9600) {}

TSimSerialLine::~TSimSerialLine() {
  Close();
}

void TSimSerialLine::Open(const std::string& port, uint32_t baud) {
  std::lock_guard<std::mutex> lock(FMutex);
  if (FOpen) return;
  if (!FBus.TryAcquire())
    throw EComError("TCOMPORT : cannot open " + port + "\r" +
                    "Device or resource busy: the simulated bus is in use");
  FWire.Reset();
  FWire.SetBaud(baud);
  FOpen = true;
  FError.clear();
}

void TSimSerialLine::Close() {
  {
    std::lock_guard<std::mutex> lock(FMutex);
    if (!FOpen) return;
    FOpen = false;
    FWire.Reset();
    FBus.Release();
  }
  FChanged.notify_all();
}

bool TSimSerialLine::IsOpen() const {
  std::lock_guard<std::mutex> lock(FMutex);
  return FOpen;
}

bool TSimSerialLine::Write(const std::string& bytes) {
  {
    std::lock_guard<std::mutex> lock(FMutex);
    if (!FOpen) {
      FError = kNotOpen;
      return false;
    }
    FWire.Send(bytes, FClock.NowUs());
    ++FWrites;
  }
  FChanged.notify_all();
  return true;
}

bool TSimSerialLine::ReadyLocked() const {
  const std::optional<int64_t> next = FWire.NextArrivalUs();
  return next && *next <= FClock.NowUs();
}

TReadResult TSimSerialLine::Read(int64_t maxWaitUs) {
  TReadResult result;
  std::unique_lock<std::mutex> lock(FMutex);
  const int64_t deadlineUs = FClock.NowUs() + std::max<int64_t>(maxWaitUs, 0);
  for (;;) {
    if (FInterrupted) {
      FInterrupted = false;
      result.Status = TReadStatus::Interrupted;
      return result;
    }
    if (!FOpen) {
      result.Status = TReadStatus::Lost;
      result.Error = kNotOpen;
      return result;
    }
    result.Bytes = FWire.TakeArrived(FClock.NowUs());
    if (!result.Bytes.empty()) {
      result.Status = TReadStatus::Data;
      return result;
    }
    if (FClock.NowUs() >= deadlineUs) {
      result.Status = TReadStatus::Timeout;
      return result;
    }
    // Sleep until the next byte is due or the deadline, whichever comes first; a write or an
    // interrupt from another thread wakes the wait early.
    const std::optional<int64_t> next = FWire.NextArrivalUs();
    const int64_t wakeUs = next ? std::min(*next, deadlineUs) : deadlineUs;
    const uint64_t writes = FWrites;
    FClock.WaitUntil(FChanged, lock, wakeUs,
                     [&] { return FInterrupted || !FOpen || FWrites != writes || ReadyLocked(); });
  }
}

bool TSimSerialLine::PacesBytes() const {
  return FBus.EmulateLineTime();
}

void TSimSerialLine::Interrupt() {
  {
    std::lock_guard<std::mutex> lock(FMutex);
    FInterrupted = true;
  }
  FChanged.notify_all();
}

std::string TSimSerialLine::Error() const {
  std::lock_guard<std::mutex> lock(FMutex);
  return FError;
}

std::unique_ptr<TSerialLine> MakeSimSerialLine(TSimBus& bus) {
  return std::make_unique<TSimSerialLine>(bus);
}
