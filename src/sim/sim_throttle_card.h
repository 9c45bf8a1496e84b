#pragma once
// The throttle card: four throttles, four occupancy detectors and eight light barriers. Left to
// itself the card shows life: detectors and light barriers change every few seconds, as a
// function of the clock time only, so that a manual clock gives the same picture every run.

#include <array>

#include "sim/sim_card.h"

class TSimHDX01 : public TSimCard {
 public:
  static constexpr const char* kType = "HDX01";
  // Stop event codes of a light barrier.
  static constexpr uint8_t kStopOff = 0x00;
  static constexpr uint8_t kStopBrake = 0x01;
  static constexpr uint8_t kStopHard = 0x03;
  static constexpr int64_t kDetectorPeriodUs = 3'000'000;
  static constexpr int64_t kLightBarrierPeriodUs = 5'000'000;

  explicit TSimHDX01(uint8_t address, std::string version = "1.3");

  // Throttles 1..4: the byte as on the wire (speed in bits 0..4, direction code in bits 6..7).
  uint8_t Throttle(int throttle) const;
  int Speed(int throttle) const { return Throttle(throttle) & 0x1F; }
  int Direction(int throttle) const { return Throttle(throttle) >> 6; }
  void SetThrottle(int throttle, uint8_t value);

  // At the clock's present time. Bit j is detector j + 1, bit i light barrier i + 1.
  uint8_t Detectors() const;
  uint8_t LightBarriers() const;
  // Fixed values end the card's own changes, for tests that need a still picture.
  void SetDetectors(uint8_t detectors);
  void SetLightBarriers(uint8_t lightBarriers);
  bool Animated() const;
  void SetAnimated(bool animated);

  // Light barriers 1..8: stop event code and assigned throttle (1..4), kept in the EEPROM.
  uint8_t StopEvent(int lightBarrier) const;
  void SetStopEvent(int lightBarrier, uint8_t code);
  uint8_t Assignment(int lightBarrier) const;
  void SetAssignment(int lightBarrier, uint8_t throttle);

 protected:
  std::optional<std::string> Handle(const TSimCommand& command, int64_t atUs) override;

 private:
  uint8_t DetectorsAt(int64_t atUs) const;
  uint8_t LightBarriersAt(int64_t atUs) const;

  std::array<uint8_t, 4> FThrottles{};
  std::array<uint8_t, 8> FStopEvents{};
  std::array<uint8_t, 8> FAssignments{1, 1, 2, 2, 3, 3, 4, 4};
  bool FAnimated = true;
  uint8_t FDetectors = 0;
  uint8_t FLightBarriers = 0;
};
