#pragma once
// A live interface on the simulated bus for the window tests, with a record of every line the
// interface put on the bus, so that a test sees what reached the cards and what did not.

#include <QCoreApplication>
#include <QEvent>
#include <QTest>
#include <QWidget>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "bus/bus_interface.h"
#include "bus/serial_line.h"
#include "sim/sim_bus.h"
#include "sim/sim_serial_line.h"

// The lines written, without their CR. Shared by the bus thread and the test.
class TLineLog {
 public:
  void Add(std::string line) {
    std::lock_guard<std::mutex> lock(FMutex);
    FLines.push_back(std::move(line));
  }
  std::vector<std::string> Take() {
    std::lock_guard<std::mutex> lock(FMutex);
    return std::exchange(FLines, {});
  }

 private:
  std::mutex FMutex;
  std::vector<std::string> FLines;
};

// A simulated line that notes every write.
class TRecordingLine : public TSerialLine {
 public:
  TRecordingLine(std::unique_ptr<TSerialLine> inner, TLineLog& log)
      : FInner(std::move(inner)), FLog(log) {}
  void Open(const std::string& port, uint32_t baud) override { FInner->Open(port, baud); }
  void Close() override { FInner->Close(); }
  bool IsOpen() const override { return FInner->IsOpen(); }
  bool Write(const std::string& bytes) override {
    std::string line = bytes;
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
      line.pop_back();
    FLog.Add(line);
    return FInner->Write(bytes);
  }
  void SetDTR(bool on) override { FInner->SetDTR(on); }
  TReadResult Read(int64_t maxWaitUs) override { return FInner->Read(maxWaitUs); }
  void Interrupt() override { FInner->Interrupt(); }
  std::string Error() const override { return FInner->Error(); }

 private:
  std::unique_ptr<TSerialLine> FInner;
  TLineLog& FLog;
};

class TSimIfcFixture {
 public:
  TSimIfcFixture() {
    Bus.AddDefaultCards();
    Ifc.BusMaster().ComPort().SetLineCreator(
        [this] { return std::make_unique<TRecordingLine>(MakeSimSerialLine(Bus), Log); });
    // Short, yet long enough for a busy machine: no test here waits for a time-out.
    Ifc.SetTimeout(250);
  }
  ~TSimIfcFixture() { Ifc.SetActive(false); }

  // A module on the interface, which owns it. Without polling its poll lines are off before
  // the bus master sees them, so that only the lines a test causes reach the bus.
  template <class TModul>
  TModul& Add(uint8_t address, bool polling = true) {
    auto modul = std::make_unique<TModul>(&Ifc.BusMaster(), address);
    if (!polling) modul->SetPolling(false);
    TModul& result = *modul;
    std::unique_ptr<TBusModule> owned = std::move(modul);
    Ifc.AddModule(owned);
    return result;
  }

  bool Connect() {
    Ifc.SetActive(true);
    return Ifc.Active();
  }

  // Waits until every queued line is answered and its handler has run, then lets the windows
  // refresh.
  bool Settle() {
    const bool drained = Ifc.BusMaster().WaitQueueEmpty(std::chrono::seconds(5));
    QCoreApplication::processEvents();
    return drained;
  }

  // The lines sent since the last call, once everything queued is answered.
  std::vector<std::string> Sent() {
    Settle();
    return Log.Take();
  }

  // Declared before the interface: its bus thread uses them until it stops.
  TSimBus Bus;
  TLineLog Log;
  TRS485IFC Ifc;
};

// Failed comparisons of sent lines show the lines.
namespace QTest {
template <>
inline char* toString(const std::vector<std::string>& lines) {
  QByteArray text = "{";
  for (const std::string& line : lines)
    text += (text.size() > 1 ? ", \"" : "\"") + QByteArray::fromStdString(line) + "\"";
  return qstrdup(text + "}");
}
}  // namespace QTest

// Makes the window the active one, as the window system does when the user brings it up.
inline void ActivateWindow(QWidget& window) {
  QEvent activate(QEvent::WindowActivate);
  QCoreApplication::sendEvent(&window, &activate);
}
