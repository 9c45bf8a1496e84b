#pragma once
// A scripted serial line on a manual clock. A responder decides, for every line written, what
// comes back and after how long; the line records every call with the clock's time.

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "bus/serial_line.h"
#include "support/clock.h"

struct TFakeEvent {
  enum TKind { Open, Close, Dtr, Write } Kind;
  int64_t TimeUs = 0;
  std::string Text;  // Write: the bytes; Open: the port
  bool On = false;   // Dtr: the new state
};

struct TFakeReply {
  std::string Bytes;
  int64_t DelayUs = 1000;  // after the write
};

class TFakeSerialLine;

// Shared state of a fake line that outlives each open: tests keep a handle and the bus master
// makes a new line object at every connect.
class TFakeBus {
 public:
  explicit TFakeBus(TClock& clock) : FClock(clock) {}

  // What the card side answers to a written text (without CR). No value: silence.
  std::function<std::optional<TFakeReply>(const std::string& written)> Responder;

  std::vector<TFakeEvent> Events() const;
  std::vector<std::string> Writes() const;  // written texts without the final CR
  std::size_t WriteCount() const;
  // Waits in real time until at least `count` writes happened.
  bool WaitForWrites(std::size_t count, int timeoutMs = 5000) const;
  void ClearEvents();

  // Characters of the write being answered, with a resynchronisation prefix and the CR: a card
  // that answers only once the command has left the wire needs them. Set before the responder
  // is called.
  std::atomic<std::size_t> WrittenChars{0};
  // Bytes that arrive without a command (noise), at the given time.
  void Inject(const std::string& bytes, int64_t atUs);
  // Makes the device vanish: every later read and write reports it lost.
  void Unplug();
  void Replug();
  bool FailOpen = false;
  std::string OpenError = "No such file or directory";
  // What the lines made from now on are like (see TSerialLine).
  bool DrivesDtr = true;
  bool PacesBytes = false;

  std::unique_ptr<TSerialLine> MakeLine();
  TClock& Clock() { return FClock; }

 private:
  friend class TFakeSerialLine;
  void Record(TFakeEvent event);

  TClock& FClock;
  mutable std::mutex FMutex;
  mutable std::condition_variable FChanged;
  std::vector<TFakeEvent> FEvents;
  struct TPending {
    int64_t ReadyUs;
    std::string Bytes;
  };
  std::vector<TPending> FPending;
  bool FUnplugged = false;
};
