#pragma once
// The wire between the PC and a simulated bus, as one serial connection sees it: bytes the PC
// sends become command lines for the cards, and the cards' answers become bytes that arrive at
// given clock times. Shared by the in-process serial line and the pseudo-terminal server; not
// thread-safe by itself, its owner serialises the calls.

#include <cstdint>
#include <deque>
#include <optional>
#include <string>

class TSimBus;

class TSimWire {
 public:
  // Answers of a silent or faulty card are followed by noise this long after their end.
  static constexpr int64_t kNoiseGapUs = 200;

  TSimWire(TSimBus& bus, uint32_t baud) : FBus(bus), FBaud(baud) {}

  void SetBaud(uint32_t baud) { FBaud = baud; }
  uint32_t Baud() const { return FBaud; }
  // Forgets a half-received command and everything not yet delivered.
  void Reset();

  // Bytes the PC starts sending at `nowUs`. A command ends at CR; a resynchronisation prefix
  // (0xA7 then CR) and empty lines are dropped.
  void Send(const std::string& bytes, int64_t nowUs);
  // The bytes that have arrived at the PC by `nowUs`, removed from the wire.
  std::string TakeArrived(int64_t nowUs);
  // When the next byte arrives; nothing when none is on its way.
  std::optional<int64_t> NextArrivalUs() const;

 private:
  struct TChunk {
    int64_t StartUs = 0;
    std::string Bytes;
    std::size_t Taken = 0;
    bool Timed = false;  // characters follow each other at line speed
  };

  int64_t ByteTimeUs(const TChunk& chunk, std::size_t index) const;
  int64_t EndUs(const TChunk& chunk) const;
  std::size_t ArrivedCount(const TChunk& chunk, int64_t nowUs) const;
  void Deliver(const std::string& command, int64_t arrivalUs);
  void Queue(std::string bytes, int64_t startUs, bool timed);

  TSimBus& FBus;
  uint32_t FBaud;
  std::string FReceived;      // start of a command whose CR has not come yet
  int64_t FSendFreeUs = 0;    // when the PC's last character has left
  int64_t FAnswerFreeUs = 0;  // when the last queued character has arrived
  std::deque<TChunk> FChunks;
};
