#pragma once
// TIFCPorts: the 8-bit port expansion on the RS485 interface card itself. Eight outputs that can
// be switched and toggled; the output image is kept current by polling.

#include <cstdint>
#include <string>

#include "modules/base_modul.h"

class TIFCPorts : public TBaseModul {
 public:
  static constexpr int kPortCount = 8;

  TIFCPorts(TSer485BusMaster* busMaster, uint8_t adresse);

  // Output image: bit n is port n, 1 = on. Answers may also set bits 8 ... 15.
  uint16_t Ports = 0;

  const char* ClassName() const override { return "TIFCPorts"; }

  // Bit n of Ports; false for n outside 0 ... 15.
  bool GetPort(int n) const;
  // Ports 0 ... 7 only. Changes the image at once; sends only when the bit changed.
  void SwitchPort(int n, bool on);
  void TogglePort(int n);
  // While live, sends the switching line of port n (0 ... 7; other n send nothing).
  void SendPort(int n, bool on);

  std::string GetPropertiesText() override;
  void ProcessAnswer(const std::string& command, const std::string& answer) override;
  std::string TextCommand(const std::string& text) override;
  std::string TextCommandHelp() override;
};
