#pragma once
// One command line on the bus and who handles its answer, and the small contract through which
// the bus master sees a module: its address and its standing (poll) commands.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// Called in the main thread with (command text, answer text) once the command was answered or
// timed out; after a time-out the answer is empty.
using TAnswerHandler = std::function<void(const std::string& command, const std::string& answer)>;

class TBusModule;

// How a one-shot command differs from the interface's way of sending it.
struct TCommandOptions {
  // The answer time-out of this command in ms; 0: the interface's.
  uint32_t TimeoutMs = 0;
  // A time-out is not reported: the caller sums its time-outs up itself.
  bool QuietTimeout = false;
  // Called in the main thread once the command is written to the line.
  std::function<void()> OnSent;
  // Once set, the command leaves the queue unsent and its answer handler is not called.
  std::shared_ptr<std::atomic<bool>> Cancelled;
};

class TBusCommand {
 public:
  explicit TBusCommand(TBusModule* modul = nullptr) : Modul(modul) {}

  TBusModule* Modul = nullptr;  // owning module of a standing command; none for one-shots
  bool Enabled = true;          // a poll entry is sent only while set
  std::string Text;             // the command line without terminator
  TAnswerHandler AnswerHandler;

  // Puts the address into characters 2-3 of the text (texts of two characters or less stay).
  void SetAdresse(uint8_t address);
};

using TBusCommandList = std::vector<std::unique_ptr<TBusCommand>>;

class TBusModule {
 public:
  virtual ~TBusModule() = default;
  virtual uint8_t BusAddress() const = 0;
  // The standing poll commands, owned by the module, in the order they are polled.
  virtual TBusCommandList& BusCommands() = 0;
};
