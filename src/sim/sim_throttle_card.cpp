#include "sim/sim_throttle_card.h"

namespace {

constexpr uint8_t kCodeDetectors = 0x10;
constexpr uint8_t kCodeLightBarriers = 0x11;
constexpr uint8_t kCodeInputs = 0x12;
constexpr uint8_t kCodeThrottle = 0x20;
constexpr uint8_t kCodeStopEvent = 0x52;
constexpr uint8_t kCodeAssignment = 0x53;

// Bit 5 of a throttle byte carries nothing.
constexpr uint8_t kThrottleBits = 0xDF;

// A well-stirred 64-bit value of a number, so that neighbouring periods look unrelated.
uint64_t Stir(uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

uint64_t Period(int64_t atUs, int64_t lengthUs) {
  return static_cast<uint64_t>(atUs >= 0 ? atUs / lengthUs : 0);
}

bool IsStopCode(uint8_t code) {
  return code == TSimHDX01::kStopOff || code == TSimHDX01::kStopBrake ||
         code == TSimHDX01::kStopHard;
}

}  // namespace

TSimHDX01::TSimHDX01(uint8_t address, std::string version)
    : TSimCard(address, kType, std::move(version)) {}

uint8_t TSimHDX01::Throttle(int throttle) const {
  std::lock_guard<std::mutex> lock(FMutex);
  return throttle >= 1 && throttle <= 4 ? FThrottles[throttle - 1] : 0;
}

void TSimHDX01::SetThrottle(int throttle, uint8_t value) {
  std::lock_guard<std::mutex> lock(FMutex);
  if (throttle >= 1 && throttle <= 4) FThrottles[throttle - 1] = value & kThrottleBits;
}

uint8_t TSimHDX01::DetectorsAt(int64_t atUs) const {
  if (!FAnimated) return FDetectors;
  return static_cast<uint8_t>(Stir(Period(atUs, kDetectorPeriodUs)) & 0x0F);
}

uint8_t TSimHDX01::LightBarriersAt(int64_t atUs) const {
  if (!FAnimated) return FLightBarriers;
  return static_cast<uint8_t>(Stir(~Period(atUs, kLightBarrierPeriodUs)) & 0xFF);
}

uint8_t TSimHDX01::Detectors() const {
  std::lock_guard<std::mutex> lock(FMutex);
  return DetectorsAt(NowUs());
}

uint8_t TSimHDX01::LightBarriers() const {
  std::lock_guard<std::mutex> lock(FMutex);
  return LightBarriersAt(NowUs());
}

void TSimHDX01::SetDetectors(uint8_t detectors) {
  std::lock_guard<std::mutex> lock(FMutex);
  FAnimated = false;
  FDetectors = detectors & 0x0F;
}

void TSimHDX01::SetLightBarriers(uint8_t lightBarriers) {
  std::lock_guard<std::mutex> lock(FMutex);
  FAnimated = false;
  FLightBarriers = lightBarriers;
}

bool TSimHDX01::Animated() const {
  std::lock_guard<std::mutex> lock(FMutex);
  return FAnimated;
}

void TSimHDX01::SetAnimated(bool animated) {
  std::lock_guard<std::mutex> lock(FMutex);
  FAnimated = animated;
}

uint8_t TSimHDX01::StopEvent(int lightBarrier) const {
  std::lock_guard<std::mutex> lock(FMutex);
  return lightBarrier >= 1 && lightBarrier <= 8 ? FStopEvents[lightBarrier - 1] : 0;
}

void TSimHDX01::SetStopEvent(int lightBarrier, uint8_t code) {
  std::lock_guard<std::mutex> lock(FMutex);
  if (lightBarrier >= 1 && lightBarrier <= 8 && IsStopCode(code))
    FStopEvents[lightBarrier - 1] = code;
}

uint8_t TSimHDX01::Assignment(int lightBarrier) const {
  std::lock_guard<std::mutex> lock(FMutex);
  return lightBarrier >= 1 && lightBarrier <= 8 ? FAssignments[lightBarrier - 1] : 0;
}

void TSimHDX01::SetAssignment(int lightBarrier, uint8_t throttle) {
  std::lock_guard<std::mutex> lock(FMutex);
  if (lightBarrier >= 1 && lightBarrier <= 8 && throttle >= 1 && throttle <= 4)
    FAssignments[lightBarrier - 1] = throttle;
}

std::optional<std::string> TSimHDX01::Handle(const TSimCommand& command, int64_t atUs) {
  const uint8_t code = command.Code;
  const std::string echo = SimHex8(command.D1) + SimHex8(command.D2);
  const int lightBarrier = command.D1;
  const bool validLightBarrier = lightBarrier >= 1 && lightBarrier <= 8;

  if (command.IsQuery()) {
    switch (code) {
      case kCodeInputs:
        return Reply(code, SimHex8(LightBarriersAt(atUs)) + SimHex8(DetectorsAt(atUs)));
      case kCodeDetectors:
        return Reply(code, "00" + SimHex8(DetectorsAt(atUs)));
      case kCodeLightBarriers:
        return Reply(code, SimHex16(LightBarriersAt(atUs)));
      case kCodeStopEvent:
        if (!validLightBarrier) return std::nullopt;
        return Reply(code, SimHex8(lightBarrier) + SimHex8(FStopEvents[lightBarrier - 1]));
      case kCodeAssignment:
        if (!validLightBarrier) return std::nullopt;
        return Reply(code, SimHex8(lightBarrier) + SimHex8(FAssignments[lightBarrier - 1]));
      default:
        return std::nullopt;
    }
  }

  switch (code) {
    case kCodeThrottle: {
      // Throttle 0 addresses all four at once.
      const int throttle = command.D1;
      if (throttle > 4) return std::nullopt;
      const uint8_t value = command.D2 & kThrottleBits;
      for (int j = 0; j < 4; ++j)
        if (throttle == 0 || throttle == j + 1) FThrottles[j] = value;
      return Reply(code, echo);
    }
    case kCodeStopEvent:
      if (!validLightBarrier || !IsStopCode(command.D2)) return std::nullopt;
      FStopEvents[lightBarrier - 1] = command.D2;
      return Reply(code, echo);
    case kCodeAssignment:
      if (!validLightBarrier || command.D2 < 1 || command.D2 > 4) return std::nullopt;
      FAssignments[lightBarrier - 1] = command.D2;
      return Reply(code, echo);
    default:
      return std::nullopt;
  }
}
