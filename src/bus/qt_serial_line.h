#pragma once
// The serial line of a real port, on Qt SerialPort. The QSerialPort lives in the thread that
// opens the line (the bus thread) and is used only there, with Qt's blocking calls; where the
// platform allows, the port's descriptor is read and written directly (TPortIo).

#include <QSerialPort>
#include <atomic>
#include <memory>

#include "bus/port_io.h"
#include "bus/serial_line.h"

class TQtSerialLine : public TSerialLine {
 public:
  TQtSerialLine();
  ~TQtSerialLine() override;

  void Open(const std::string& port, uint32_t baud) override;
  void Close() override;
  bool IsOpen() const override;
  bool Write(const std::string& bytes) override;
  void SetDTR(bool on) override;
  TReadResult Read(int64_t maxWaitUs) override;
  void Interrupt() override;
  std::string Error() const override { return FError; }
  bool DrivesDtr() const override { return FDtrSupported; }
  bool PacesBytes() const override { return true; }

 private:
  bool CheckLost();

  std::unique_ptr<QSerialPort> FPort;
  std::unique_ptr<TPortIo> FIo;  // the port's descriptor, where the platform allows
  std::atomic<bool> FInterrupted{false};
  bool FDtrSupported = true;
  std::string FError;
};

// Platform parts (serial_platform_linux.cpp / serial_platform_other.cpp).
// Asks the driver for low-latency delivery and names, once per port, an adapter whose latency
// timer would slow every answer down.
void TunePortLatency(QSerialPort& port, const std::string& portName);
// Whether the device behind an open port has gone (a hang-up: adapter unplugged, pseudo-terminal
// closed). Qt reports some of these only as endless readiness without data.
bool PortHungUp(QSerialPort& port);
