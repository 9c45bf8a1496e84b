#pragma once
// TMXB02: the type-2 switch and signal card. Sixteen outputs like the type-1 card, with a
// per-port configuration in the card's EEPROM: inversion, two flag bits and two pulse times. The
// module keeps an image of all of it; the whole configuration arrives in one answer, the dump.

#include <array>
#include <cstdint>
#include <string>

#include "modules/base_modul.h"

class TMXB02 : public TBaseModul {
 public:
  static constexpr int kPortCount = 16;
  static constexpr int32_t kMaxPulseTime = 255;

  TMXB02(TSer485BusMaster* busMaster, uint8_t adresse);

  uint16_t Ports = 0;            // bit n is port n, 1 = on
  uint16_t Invertiert = 0xFFFF;  // inversion bit per port
  uint16_t Typ1 = 0;             // first flag bit per port
  uint16_t Typ2 = 0;             // second flag bit per port
  // Pulse times per port in units of 50 ms, 0 ... 255.
  std::array<int32_t, kPortCount> TVTrigger1;
  std::array<int32_t, kPortCount> TVTrigger2;

  const char* ClassName() const override { return "TMXB02"; }

  // Bit n of Ports; false for n outside 0 ... 15.
  bool GetPort(int n) const;

  // Store the word; send it (while live) only when it changed. Nothing is fired.
  void SetPorts(uint16_t value);
  void SetInvertiert(uint16_t value);
  void SetTyp1(uint16_t value);
  void SetTyp2(uint16_t value);

  // Entry i, or 0 for i outside 0 ... 15.
  int32_t GetTVTrigger1(int i) const;
  int32_t GetTVTrigger2(int i) const;
  // Clamp to 0 ... 255 and store entry i; send both pulse times of port i only when it changed.
  void SetTVTrigger1(int i, int32_t value);
  void SetTVTrigger2(int i, int32_t value);
  void SendTVTrigger(int i);

  // Live only. With polling on the image is left to the card's answers; with polling off it is
  // changed at once and the "only if off" forms skip ports that are already on.
  void SwitchPort(int n, bool on, bool onlyIfOff);
  void TogglePort(int n, bool onlyIfOff);
  void BlinkPort(int n, bool on, bool onlyIfOff);
  void TriggerPort(int n);
  // Writes the bits selected by mask (0 ... 255), shifted to offset (0 ... 15), to value
  // (0 ... 255). Bits shifted beyond port 15 reach the card but not the local image.
  void SwitchMasked(int offset, int mask, int value, bool onlyIfNew);

  void LoadDump();
  void SaveDumpToEE();
  void RestoreFirmware();

  std::string GetPropertiesText() override;
  void ProcessAnswer(const std::string& command, const std::string& answer) override;
  std::string TextCommand(const std::string& text) override;
  std::string TextCommandHelp() override;

 private:
  void SetWord(uint16_t& field, uint16_t value, int code);
  void SetPulseTime(std::array<int32_t, kPortCount>& times, int i, int32_t value);
  void SendPortLine(int n, bool on, bool onlyIfOff, int code);
  void DecodeDump(const std::string& answer);
};
