#pragma once
// The abstract serial line of one interface. The bus thread of the interface uses it end to end:
// open, line settings, write, DTR and reading with a deadline. Implementations: Qt SerialPort for
// real ports, the simulated bus, and the fakes of the tests.

#include <cstdint>
#include <stdexcept>
#include <string>

// A serial line that cannot be opened. Its message starts with "TCOMPORT : cannot open ".
class EComError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum class TReadStatus {
  Data,         // bytes arrived
  Timeout,      // the wait ended without bytes
  Interrupted,  // Interrupt() ended the wait
  Lost,         // the device is gone (adapter unplugged, pseudo-terminal closed)
};

struct TReadResult {
  TReadStatus Status = TReadStatus::Timeout;
  std::string Bytes;
  std::string Error;  // with Lost: the system's text
};

class TSerialLine {
 public:
  virtual ~TSerialLine() = default;

  // Opens the device exclusively with 8 data bits, no parity, 1 stop bit, no flow control,
  // discards both queues and clears DTR and RTS. Throws EComError.
  virtual void Open(const std::string& port, uint32_t baud) = 0;
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;

  // Starts sending and returns at once, before the last character has left. Returns false when
  // the device is gone; Error() then tells why.
  virtual bool Write(const std::string& bytes) = 0;
  // Sets or clears DTR. A device that cannot drive DTR ignores it.
  virtual void SetDTR(bool on) = 0;
  // Waits at most `maxWaitUs` for received bytes and returns as soon as some are there. With no
  // time to wait it still returns what the device holds at this moment, the operating system's
  // input queue included.
  virtual TReadResult Read(int64_t maxWaitUs) = 0;
  // Any thread: the Read in progress, or else the next one, returns Interrupted at once.
  virtual void Interrupt() = 0;

  // Whether SetDTR reaches the device. A line without DTR (pseudo-terminals, some adapters, the
  // simulated bus) lets the bus master skip the waits that only time the direction switch.
  virtual bool DrivesDtr() const { return true; }
  // Whether received bytes keep to their time on the wire (a real port, a simulated bus that
  // emulates line time): then no line can be complete before its characters had time to arrive,
  // and there is no point in looking for one earlier.
  virtual bool PacesBytes() const { return false; }

  virtual std::string Error() const { return std::string(); }
};
