#pragma once
// TMXB01: the type-1 switch and signal card. Sixteen outputs that are switched or given a timed
// pulse, with one pulse time for the whole card. The module keeps an image of the outputs and of
// the pulse time; polling keeps the outputs current.

#include <array>
#include <cstdint>
#include <string>

#include "modules/base_modul.h"

class TMXB01 : public TBaseModul {
 public:
  static constexpr int kPortCount = 16;

  TMXB01(TSer485BusMaster* busMaster, uint8_t adresse);

  // Output image: bit n is port n, 1 = on.
  uint16_t Ports = 0;
  // Pulse time in milliseconds. The card has one; SetTVTriggerAll writes it to every entry and
  // the card's answers to entry 0.
  std::array<int32_t, kPortCount> TVTrigger{};

  const char* ClassName() const override { return "TMXB01"; }

  // Bit n of Ports; false for n outside 0 ... 15.
  bool GetPort(int n) const;
  // Changes the image at once (firing OnDataChanged) and sends only when the bit changed.
  void SwitchPort(int n, bool on);
  void TogglePort(int n);
  // Sets the bit and sends the pulse, also when the bit was already set.
  void TriggerPort(int n);
  // While live, sends the switching line of port n (0 ... 15; other n send nothing).
  void SendPort(int n, bool on);
  void RequestPorts();
  void RequestTVTrigger();
  // Entry i, or 0 for i outside 0 ... 15.
  int32_t GetTVTrigger(int i) const;
  // Clamps to 0 ... 65535, stores in every entry and sends only when entry 0 changes.
  void SetTVTriggerAll(int32_t value);

  // Going live asks the card for its outputs and its pulse time.
  void SetAktiv(bool on) override;
  std::string GetPropertiesText() override;
  void ProcessAnswer(const std::string& command, const std::string& answer) override;
  std::string TextCommand(const std::string& text) override;
  std::string TextCommandHelp() override;
};
