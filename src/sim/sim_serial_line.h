#pragma once
// A serial line whose far end is a simulated bus instead of a device. It behaves as a real port
// does: exclusive open, asynchronous write, answers that arrive after the cards' answer delay
// (and, if the bus says so, after their line time), reads that wait on the bus's clock.

#include <condition_variable>
#include <memory>
#include <mutex>

#include "bus/serial_line.h"
#include "sim/sim_wire.h"
#include "support/clock.h"

class TSimBus;

class TSimSerialLine : public TSerialLine {
 public:
  explicit TSimSerialLine(TSimBus& bus);
  ~TSimSerialLine() override;

  // Throws EComError when another line holds the bus.
  void Open(const std::string& port, uint32_t baud) override;
  void Close() override;
  bool IsOpen() const override;
  bool Write(const std::string& bytes) override;
  void SetDTR(bool) override {}
  bool DrivesDtr() const override { return false; }
  bool PacesBytes() const override;
  TReadResult Read(int64_t maxWaitUs) override;
  void Interrupt() override;
  std::string Error() const override;

 private:
  bool ReadyLocked() const;

  TSimBus& FBus;
  TClock& FClock;
  mutable std::mutex FMutex;
  std::condition_variable FChanged;
  TSimWire FWire;
  bool FOpen = false;
  bool FInterrupted = false;
  uint64_t FWrites = 0;  // lets a waiting read notice a write
  std::string FError;
};

std::unique_ptr<TSerialLine> MakeSimSerialLine(TSimBus& bus);
