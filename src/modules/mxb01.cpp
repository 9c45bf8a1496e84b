#include "modules/mxb01.h"

#include <algorithm>

#include "modules/message_format.h"
#include "modules/switch_commands.h"
#include "modules/text_command.h"
#include "support/conversions.h"

namespace {

constexpr int kCodeSwitch = 0x10;
constexpr int kCodePorts = 0x20;
constexpr int kCodeTrigger = 0x30;
constexpr int kCodePortsToo = 0x40;
constexpr int kCodeTVTrigger = 0x50;

bool InRange(int code, int first) {
  return code >= first && code <= first + 0x0F;
}

}  // namespace

TMXB01::TMXB01(TSer485BusMaster* busMaster, uint8_t adresse) : TBaseModul(busMaster, adresse) {
  Description = "16Port Weichen/Signalkarte am Serial/RS485 Port, Quorvane";
  AddPollCommand(BuildCommand('?', Adresse, kCodePorts, 0, 0), true);
}

bool TMXB01::GetPort(int n) const {
  return n >= 0 && n < kPortCount && GetBit(Ports, static_cast<unsigned>(n));
}

void TMXB01::SwitchPort(int n, bool on) {
  if (n < 0 || n >= kPortCount) return;
  if (GetPort(n) == on) return;
  const unsigned bit = static_cast<unsigned>(n);
  Ports = static_cast<uint16_t>(on ? SetBit(Ports, bit) : ClearBit(Ports, bit));
  DoDataChanged();
  SendPort(n, on);
}

void TMXB01::TogglePort(int n) {
  SwitchPort(n, !GetPort(n));
}

void TMXB01::TriggerPort(int n) {
  if (n < 0 || n >= kPortCount) return;
  Ports = static_cast<uint16_t>(SetBit(Ports, static_cast<unsigned>(n)));
  DoDataChanged();
  SendCommand(BuildCommand('!', Adresse, kCodeTrigger + n, 0, 1));
}

void TMXB01::SendPort(int n, bool on) {
  // Codes beyond port 15 mean other things to the card (code 20 is the port query).
  if (n < 0 || n >= kPortCount) return;
  SendCommand(BuildCommand('!', Adresse, kCodeSwitch + n, 0, on ? 1 : 0));
}

void TMXB01::RequestPorts() {
  SendCommand(BuildCommand('?', Adresse, kCodePorts, 0, 0));
}

void TMXB01::RequestTVTrigger() {
  SendCommand(BuildCommand('?', Adresse, kCodeTVTrigger, 0, 0));
}

int32_t TMXB01::GetTVTrigger(int i) const {
  return i >= 0 && i < kPortCount ? TVTrigger[static_cast<std::size_t>(i)] : 0;
}

void TMXB01::SetTVTriggerAll(int32_t value) {
  // The line carries 16 bits; a value beyond them would reach the card cut off while the image
  // kept the full value.
  value = std::clamp<int32_t>(value, 0, 0xFFFF);
  const bool changed = value != TVTrigger[0];
  TVTrigger.fill(value);
  if (changed) SendCommand(BuildCommand16('!', Adresse, kCodeTVTrigger, value));
}

void TMXB01::SetAktiv(bool on) {
  TBaseModul::SetAktiv(on);
  if (!Aktiv) return;
  RequestPorts();
  RequestTVTrigger();
}

std::string TMXB01::GetPropertiesText() {
  return PropertiesHead() + "\r\nPorts=" + std::to_string(Ports) +
         "\r\nTVTrigger=" + DecimalList(TVTrigger);
}

void TMXB01::ProcessAnswer(const std::string& command, const std::string& answer) {
  TBaseModul::ProcessAnswer(command, answer);
  if (answer.empty()) return;
  TRS485CmdRecord record;
  if (!ParseOwnAnswer(answer, record)) return;
  const int code = HexFieldValue(record.Cmd, 0);
  const int value = HexFieldValue(record.Data1 + record.Data2, 0);
  const bool portOn = record.Data2 == "01";
  auto setPort = [&](int first) {
    const unsigned bit = static_cast<unsigned>(code - first);
    Ports = static_cast<uint16_t>(portOn ? SetBit(Ports, bit) : ClearBit(Ports, bit));
  };
  if (InRange(code, kCodeSwitch))
    setPort(kCodeSwitch);
  else if (code == kCodePorts || code == kCodePortsToo)
    Ports = static_cast<uint16_t>(value);
  else if (InRange(code, kCodeTrigger))
    setPort(kCodeTrigger);
  else if (InRange(code, kCodeTVTrigger))
    TVTrigger[0] = value;
  else
    return;
  DoDataChanged();
}

std::string TMXB01::TextCommand(const std::string& text) {
  std::string result = TBaseModul::TextCommand(text);
  if (result == "1") return result;
  try {
    const TPortCommand command =
        ReadPortCommand(SplitTextCommand(text), kPortCount - 1, "PortIdx. overflow.");
    if (command.Word == "!SCHALTEN")
      SwitchPort(command.Port, command.On());
    else if (command.Word == "!TOGGELN")
      TogglePort(command.Port);
    else if (command.Word == "!TRIGGERN")
      TriggerPort(command.Port);
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

std::string TMXB01::TextCommandHelp() {
  return TBaseModul::TextCommandHelp() +
         "\r\n!Schalten(Ifc,Ma,PortIdx,Value)\r\n!Toggeln(Ifc,Ma,PortIdx)"
         "\r\n!Triggern(Ifc,Ma,PortIdx)\r\n?Port(Ifc,Ma,PortIdx)";
}
