#pragma once
// What the switch cards share in their text commands: how a port command's parameters are read
// and checked, and how a command that fails a check is stopped.

#include <array>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

// A text command that failed a check; the message is what the message sink reports.
class TTextCommandError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A port command of a switch card, read from a split command line.
struct TPortCommand {
  std::string Word;   // entry 0, upper-cased
  int32_t Port = 0;   // entry 3; 0 when missing or not a number
  int32_t Value = 0;  // entry 4; 0 when missing, -1 when present but not a number
  bool On() const { return Value != 0; }
};

// Entry `index` of a split command line, or empty when the line has no such entry.
std::string TextCommandEntry(const std::vector<std::string>& entries, std::size_t index);

// Reads a port command. The port range is checked before the command word is looked at, so an
// overflowing port number wins over an unknown word: throws TTextCommandError(overflowMessage)
// when the port is outside 0 ... lastPort.
TPortCommand ReadPortCommand(const std::vector<std::string>& entries, int32_t lastPort,
                             const std::string& overflowMessage);

// The result of a port query: "1" on, "0" off.
std::string PortStateText(bool on);

// A card's sixteen per-port values as decimal numbers separated by ";".
std::string DecimalList(const std::array<int32_t, 16>& values);
