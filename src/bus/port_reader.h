#pragma once
// Waiting for and reading a real port's received bytes. Where the system allows it (Linux), the
// bus thread waits on the port's descriptor itself: one wait that received bytes, a hang-up or
// an interrupt end at once, and one read of everything there, without Qt's buffering. Elsewhere
// there is no such reader and the line uses Qt's blocking calls.

#include <QSerialPort>
#include <memory>

#include "bus/serial_line.h"

class TPortReader {
 public:
  virtual ~TPortReader() = default;
  // As TSerialLine::Read.
  virtual TReadResult Read(int64_t maxWaitUs) = 0;
  // Any thread: the Read in progress, or else the next one, returns Interrupted at once.
  virtual void Interrupt() = 0;
};

// A reader of the open port, or nullptr where the platform has none.
std::unique_ptr<TPortReader> MakePortReader(QSerialPort& port);
