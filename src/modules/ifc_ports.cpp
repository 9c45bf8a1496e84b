#include "modules/ifc_ports.h"

#include "modules/message_format.h"
#include "modules/switch_commands.h"
#include "modules/text_command.h"
#include "support/conversions.h"

namespace {

constexpr int kCodeSwitch = 0x10;
constexpr int kCodePorts = 0x20;

}  // namespace

TIFCPorts::TIFCPorts(TSer485BusMaster* busMaster, uint8_t adresse)
    : TBaseModul(busMaster, adresse) {
  Description = "8 Bit Port Erweiterung der RS485 Interfacekarte ";
  AddPollCommand(BuildCommand('?', Adresse, kCodePorts, 0, 0), true);
}

bool TIFCPorts::GetPort(int n) const {
  return n >= 0 && n < 16 && GetBit(Ports, static_cast<unsigned>(n));
}

void TIFCPorts::SwitchPort(int n, bool on) {
  if (n < 0 || n >= kPortCount) return;
  if (GetPort(n) == on) return;
  const unsigned bit = static_cast<unsigned>(n);
  Ports = static_cast<uint16_t>(on ? SetBit(Ports, bit) : ClearBit(Ports, bit));
  DoDataChanged();
  SendPort(n, on);
}

void TIFCPorts::TogglePort(int n) {
  SwitchPort(n, !GetPort(n));
}

void TIFCPorts::SendPort(int n, bool on) {
  // Codes beyond port 7 mean other things to the card (code 20 writes all outputs).
  if (n < 0 || n >= kPortCount) return;
  SendCommand(BuildCommand('!', Adresse, kCodeSwitch + n, 0, on ? 1 : 0));
}

std::string TIFCPorts::GetPropertiesText() {
  return PropertiesHead() + "\r\nPorts=" + std::to_string(Ports);
}

void TIFCPorts::ProcessAnswer(const std::string& command, const std::string& answer) {
  TBaseModul::ProcessAnswer(command, answer);
  if (answer.empty()) return;
  TRS485CmdRecord record;
  if (!ParseOwnAnswer(answer, record)) return;
  const int code = HexFieldValue(record.Cmd, 0);
  if (code >= kCodeSwitch && code <= kCodeSwitch + 0x0F) {
    const unsigned bit = static_cast<unsigned>(code - kCodeSwitch);
    Ports = static_cast<uint16_t>(record.Data2 == "01" ? SetBit(Ports, bit) : ClearBit(Ports, bit));
  } else if (code == kCodePorts) {
    Ports = static_cast<uint16_t>(HexFieldValue(record.Data1 + record.Data2, 0));
  } else {
    return;
  }
  DoDataChanged();
}

std::string TIFCPorts::TextCommand(const std::string& text) {
  std::string result = TBaseModul::TextCommand(text);
  if (result == "1") return result;
  try {
    const TPortCommand command =
        ReadPortCommand(SplitTextCommand(text), kPortCount - 1, "PortNr. overflow.");
    if (command.Word == "!SCHALTEN")
      SwitchPort(command.Port, command.On());
    else if (command.Word == "!TOGGELN")
      TogglePort(command.Port);
    else if (command.Word == "?PORT")
      result = PortStateText(GetPort(command.Port));
    else
      throw TTextCommandError("Unknown Command.");
  } catch (const std::exception& e) {
    result.clear();
    ReportTextCommandError(e.what());
  }
  return result;
}

std::string TIFCPorts::TextCommandHelp() {
  return TBaseModul::TextCommandHelp() +
         "\r\n!Schalten(Ifc,Ma,PortNr,Value)\r\n!Toggeln(Ifc,Ma,PortNr)\r\n?Port(Ifc,Ma,PortNr)";
}
