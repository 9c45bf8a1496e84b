#pragma once
// Sixteen card outputs that may be pulsed or blinking. Nothing runs in the background: the state
// at a given clock time is worked out when it is asked for, so a card needs no thread and a
// manual clock drives it exactly.

#include <array>
#include <cstdint>
#include <optional>

class TSimOutputBank {
 public:
  // A blinking output toggles every half period.
  static constexpr int64_t kBlinkHalfPeriodUs = 500'000;

  // The output word at `nowUs`: bit n is output n.
  uint16_t Word(int64_t nowUs) const;
  // Outputs whose blinking is on.
  uint16_t BlinkMask() const;

  // Switching an output ends its pulse and its blinking.
  void Set(int port, bool on);
  void SetWord(uint16_t word) { SetMasked(0xFFFF, word); }
  // Sets the outputs of `mask` to the bits of `value`.
  void SetMasked(uint16_t mask, uint16_t value);
  // On from `startUs` for `lengthUs`, then off.
  void Pulse(int port, int64_t startUs, int64_t lengthUs);
  // Blinking on starts with the output on; off leaves the output off.
  void Blink(int port, bool on, int64_t startUs);

 private:
  void EndTimed(int port);

  uint16_t FSteady = 0;  // the state once pulses have ended
  std::array<std::optional<int64_t>, 16> FPulseEndUs{};
  std::array<std::optional<int64_t>, 16> FBlinkStartUs{};
};
