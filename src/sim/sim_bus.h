#pragma once
// A simulated RS485 bus: the cards on it, keyed by address, the timing of their answers and the
// faults they show on request. The cards' state lives as long as the bus, so a program that
// disconnects and connects again finds its outputs as it left them.

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "sim/sim_card.h"
#include "support/clock.h"

// What one command line causes on the line back to the PC.
struct TSimExchange {
  std::optional<std::string> Answer;  // as it goes on the line: faults applied
  int64_t DelayUs = 0;                // from the command's arrival to the answer's start
  std::string Noise;                  // bytes that arrive after the exchange
};

// How often each fault struck, for tests that drive many exchanges through a line.
struct TSimFaultCounts {
  uint64_t Commands = 0;  // lines the bus was given, answered or not
  uint64_t Answered = 0;  // answers put on the line, faulty ones included
  uint64_t Silent = 0;
  uint64_t Corrupt = 0;
  uint64_t NoLineEnd = 0;
  uint64_t Slow = 0;
  uint64_t Noise = 0;
};

// The time 10 bits per character take at `baud`, in whole microseconds (rounded down).
int64_t SimLineTimeUs(std::size_t characters, uint32_t baud);

class TSimBus {
 public:
  static constexpr int64_t kDefaultAnswerDelayUs = 1000;

  explicit TSimBus(TClock& clock = SystemClock());
  TSimBus(const TSimBus&) = delete;
  TSimBus& operator=(const TSimBus&) = delete;

  TClock& Clock() const { return FClock; }

  // Cards. A card added at an address that is taken replaces the card there.
  TSimCard& AddCard(std::unique_ptr<TSimCard> card);
  template <class TCard, class... TArgs>
  TCard& Add(uint8_t address, TArgs&&... args) {
    return static_cast<TCard&>(
        AddCard(std::make_unique<TCard>(address, std::forward<TArgs>(args)...)));
  }
  // The default set: type 1 at $1E, type 2 at $32, throttle at $20, port expansion at $7F and a
  // card of unknown type at $40.
  void AddDefaultCards();
  bool RemoveCard(uint8_t address);
  void RemoveAllCards();
  std::vector<uint8_t> Addresses() const;
  TSimCard* FindCard(uint8_t address) const;
  // Throws std::out_of_range when no card is at the address.
  TSimCard& Card(uint8_t address) const;
  // Throws std::out_of_range, or std::bad_cast when the card is of another type.
  template <class TCard>
  TCard& CardAs(uint8_t address) const {
    return dynamic_cast<TCard&>(Card(address));
  }

  // The clean answer of the card addressed by a command line (without CR), at the clock's
  // present time; nothing for silence. Faults are not applied.
  std::optional<std::string> Answer(const std::string& command);
  // The exchange a command line causes when it reaches the cards at `atUs`, faults applied.
  TSimExchange Exchange(const std::string& command, int64_t atUs);

  // Time from a command's arrival to the first character of its answer.
  int64_t AnswerDelayUs() const;
  void SetAnswerDelayUs(int64_t delayUs);
  // Whether the serial lines on this bus take 10 bits per character at their baud rate.
  bool EmulateLineTime() const;
  void SetEmulateLineTime(bool on);

  // Faults of the card at an address (no card: nothing happens).
  void SetFaults(uint8_t address, const TSimFaults& faults);
  void ClearFaults();
  // Seeds the generator that draws fault chances, corrupt characters and noise.
  void SetSeed(uint64_t seed);
  TSimFaultCounts FaultCounts() const;

  // A bus is held by one connection at a time, as a serial port is.
  bool TryAcquire();
  void Release();
  bool InUse() const;

 private:
  std::optional<std::string> AnswerLocked(const std::string& command, int64_t atUs);
  std::optional<std::string> ChangeAddress(TSimCard& card, const TSimCommand& command);
  bool Draw(bool fixed, double chance);
  uint64_t Random(uint64_t below);
  void CorruptLine(std::string& line);
  std::string MakeNoise();

  TClock& FClock;
  mutable std::mutex FMutex;
  std::map<uint8_t, std::unique_ptr<TSimCard>> FCards;
  std::mt19937_64 FRandom;
  TSimFaultCounts FCounts;
  int64_t FAnswerDelayUs = kDefaultAnswerDelayUs;
  bool FEmulateLineTime = false;
  bool FInUse = false;
};

// The process-wide bus with the default cards, on the system clock.
TSimBus& DefaultSimBus();
