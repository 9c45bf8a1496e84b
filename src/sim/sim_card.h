#pragma once
// The card side of the bus: one simulated controller card. A card sees only well-formed command
// lines addressed to it and answers as the firmware of its type does; everything about the line
// itself (timing, faults, framing) belongs to the bus and the simulated serial lines.

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

#include "support/clock.h"

// One command line as a card receives it: kind, address, code and two data bytes.
struct TSimCommand {
  char Kind = '?';  // '?' query, '!' order
  uint8_t Address = 0;
  uint8_t Code = 0;
  uint8_t D1 = 0;
  uint8_t D2 = 0;
  std::string Text;  // the nine characters, hexadecimal digits in upper case

  uint16_t Word() const { return static_cast<uint16_t>((D1 << 8) | D2); }
  bool IsQuery() const { return Kind == '?'; }
  bool IsOrder() const { return Kind == '!'; }
};

// Splits a line without its CR. Anything but "?" or "!" followed by exactly eight hexadecimal
// digits gives nothing: the cards ignore such lines.
std::optional<TSimCommand> ParseSimCommand(const std::string& line);

// "#" + address + code + data + CR LF, in upper-case hexadecimal.
std::string SimAnswerLine(uint8_t address, uint8_t code, const std::string& data);
// Two hexadecimal digits of a byte and four of a word.
std::string SimHex8(unsigned value);
std::string SimHex16(unsigned value);

// Faults a card shows on request: fixed ones apply to every exchange, chances are drawn per
// exchange from the bus's seeded generator.
struct TSimFaults {
  bool Silent = false;     // never answers
  bool Corrupt = false;    // characters of the answer are replaced, the line end is kept
  bool NoLineEnd = false;  // the answer comes without CR LF
  bool Slow = false;       // the answer comes only after SlowAnswerDelayUs
  bool Noise = false;      // random bytes follow the exchange

  double SilentChance = 0.0;
  double CorruptChance = 0.0;
  double NoLineEndChance = 0.0;
  double SlowChance = 0.0;
  double NoiseChance = 0.0;

  int64_t SlowAnswerDelayUs = 500'000;
};

class TSimCard {
 public:
  TSimCard(uint8_t address, std::string type, std::string version);
  virtual ~TSimCard() = default;
  TSimCard(const TSimCard&) = delete;
  TSimCard& operator=(const TSimCard&) = delete;

  uint8_t Address() const;
  const std::string& Type() const { return FType; }
  const std::string& Version() const { return FVersion; }
  // The key that authorises an address change; never 0.
  uint8_t AddressKey() const;

  TSimFaults Faults() const;
  void SetFaults(const TSimFaults& faults);

  // The answer line (with CR LF) to a command addressed to this card, evaluated at `atUs`; no
  // value when the card stays silent. The address change is run by the bus, which owns the
  // addresses.
  std::optional<std::string> Answer(const TSimCommand& command, int64_t atUs);

 protected:
  // Called with FMutex held, for everything but the identification query.
  virtual std::optional<std::string> Handle(const TSimCommand& command, int64_t atUs) = 0;
  // The clock of the bus the card sits on; for the accessors that depend on time.
  int64_t NowUs() const { return FClock->NowUs(); }
  // Shorthand for an answer from this card; call with FMutex held.
  std::string Reply(uint8_t code, const std::string& data) const;

  mutable std::mutex FMutex;

 private:
  friend class TSimBus;
  void SetAddress(uint8_t address);
  void AttachClock(TClock& clock) { FClock = &clock; }

  uint8_t FAddress;
  const std::string FType;
  const std::string FVersion;
  TSimFaults FFaults;
  TClock* FClock;
};
