#pragma once
// Reading and writing a real port's descriptor directly. Where the system allows it (Linux), the
// bus thread waits on the port's descriptor itself: one wait that received bytes, a hang-up or
// an interrupt end at once, one read of everything there and one write of a whole command,
// without Qt's buffering and the extra system calls it costs. Elsewhere there is no such access
// and the line uses Qt's blocking calls.

#include <QSerialPort>
#include <memory>

#include "bus/serial_line.h"

class TPortIo {
 public:
  virtual ~TPortIo() = default;
  // As TSerialLine::Read.
  virtual TReadResult Read(int64_t maxWaitUs) = 0;
  // Hands all of `bytes` to the driver. On failure returns false and sets `error`.
  virtual bool Write(const std::string& bytes, std::string& error) = 0;
  // Any thread: the Read in progress, or else the next one, returns Interrupted at once.
  virtual void Interrupt() = 0;
};

// Direct access to the open port, or nullptr where the platform has none.
std::unique_ptr<TPortIo> MakePortIo(QSerialPort& port);
