#pragma once
// The two switch and signal cards: sixteen outputs each, switched, pulsed and (type 2) blinked.

#include <array>

#include "sim/sim_card.h"
#include "sim/sim_outputs.h"

// Type 1: one pulse time in milliseconds for all outputs.
class TSimMXB01 : public TSimCard {
 public:
  static constexpr const char* kType = "MXB01";
  static constexpr uint16_t kDefaultPulseTimeMs = 250;

  explicit TSimMXB01(uint8_t address, std::string version = "2.1");

  uint16_t Outputs() const;  // at the clock's present time
  bool Output(int port) const { return (Outputs() >> port) & 1; }
  void SetOutputs(uint16_t outputs);
  uint16_t PulseTimeMs() const;
  void SetPulseTimeMs(uint16_t ms);

 protected:
  std::optional<std::string> Handle(const TSimCommand& command, int64_t atUs) override;

 private:
  TSimOutputBank FOutputs;
  uint16_t FPulseTimeMs = kDefaultPulseTimeMs;
};

// The per-output configuration of a type-2 card, as kept in its EEPROM.
struct TSimMXB02Config {
  uint16_t Inversion = 0;
  uint16_t Flags1 = 0;
  uint16_t Flags2 = 0;
  std::array<uint8_t, 16> PulseTime1{};  // units of 50 ms
  std::array<uint8_t, 16> PulseTime2{};

  // What a new card holds and what its restore function brings back.
  static TSimMXB02Config Factory();
  bool operator==(const TSimMXB02Config&) const = default;
};

// Type 2: per-output configuration with a working copy and an EEPROM copy.
class TSimMXB02 : public TSimCard {
 public:
  static constexpr const char* kType = "MXB02";
  static constexpr int64_t kPulseUnitUs = 50'000;

  explicit TSimMXB02(uint8_t address, std::string version = "1.5");

  uint16_t Outputs() const;  // at the clock's present time
  bool Output(int port) const { return (Outputs() >> port) & 1; }
  void SetOutputs(uint16_t outputs);
  uint16_t BlinkMask() const;

  TSimMXB02Config Config() const;  // the working configuration
  void SetConfig(const TSimMXB02Config& config);
  TSimMXB02Config StoredConfig() const;  // the EEPROM copy
  // How often the card was told to store its configuration in its EEPROM.
  int StoreCount() const;
  // Power off and on: outputs off, the working configuration read back from the EEPROM.
  void PowerCycle();

 protected:
  std::optional<std::string> Handle(const TSimCommand& command, int64_t atUs) override;

 private:
  std::string Dump(int64_t atUs) const;

  TSimOutputBank FOutputs;
  TSimMXB02Config FConfig;
  TSimMXB02Config FStored;
  int FStoreCount = 0;
};
