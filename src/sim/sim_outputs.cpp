#include "sim/sim_outputs.h"

uint16_t TSimOutputBank::Word(int64_t nowUs) const {
  uint16_t word = FSteady;
  for (int port = 0; port < 16; ++port) {
    const uint16_t bit = static_cast<uint16_t>(1u << port);
    bool on = (FSteady & bit) != 0;
    if (FBlinkStartUs[port]) {
      const int64_t elapsed = nowUs - *FBlinkStartUs[port];
      // A command that reaches the card a little in the future already counts as started.
      on = elapsed < 0 || (elapsed / kBlinkHalfPeriodUs) % 2 == 0;
    } else if (FPulseEndUs[port]) {
      on = nowUs < *FPulseEndUs[port];
    }
    word = static_cast<uint16_t>(on ? (word | bit) : (word & ~bit));
  }
  return word;
}

uint16_t TSimOutputBank::BlinkMask() const {
  uint16_t mask = 0;
  for (int port = 0; port < 16; ++port)
    if (FBlinkStartUs[port]) mask = static_cast<uint16_t>(mask | (1u << port));
  return mask;
}

void TSimOutputBank::EndTimed(int port) {
  FPulseEndUs[port].reset();
  FBlinkStartUs[port].reset();
}

void TSimOutputBank::Set(int port, bool on) {
  if (port < 0 || port > 15) return;
  const uint16_t bit = static_cast<uint16_t>(1u << port);
  SetMasked(bit, on ? bit : 0);
}

void TSimOutputBank::SetMasked(uint16_t mask, uint16_t value) {
  for (int port = 0; port < 16; ++port)
    if (mask & (1u << port)) EndTimed(port);
  FSteady = static_cast<uint16_t>((FSteady & ~mask) | (value & mask));
}

void TSimOutputBank::Pulse(int port, int64_t startUs, int64_t lengthUs) {
  if (port < 0 || port > 15) return;
  Set(port, false);
  FPulseEndUs[port] = startUs + lengthUs;
}

void TSimOutputBank::Blink(int port, bool on, int64_t startUs) {
  if (port < 0 || port > 15) return;
  Set(port, false);
  if (on) FBlinkStartUs[port] = startUs;
}
