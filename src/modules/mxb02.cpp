#include "modules/mxb02.h"

#include <algorithm>
#include <vector>

#include "modules/message_format.h"
#include "modules/switch_commands.h"
#include "modules/text_command.h"
#include "support/conversions.h"
#include "support/diagnostics.h"

namespace {

constexpr int kCodeRestore = 0x03;  // also the dump, with data 0000
constexpr int kCodeStore = 0x04;
constexpr int kCodeInvertiert = 0x0A;
constexpr int kCodeTyp1 = 0x0B;
constexpr int kCodeTyp2 = 0x0C;
constexpr int kCodeSwitch = 0x10;
constexpr int kCodePorts = 0x20;
constexpr int kCodeTrigger = 0x30;
constexpr int kCodeBlink = 0x40;
constexpr int kCodeTVTrigger = 0x50;
constexpr int kCodeMasked = 0x70;
constexpr int kCodeSendTVTrigger = 0x80;

// Positions of the fields in the dump, counted as lines from the header (line 0).
constexpr std::size_t kDumpPorts = 1;
constexpr std::size_t kDumpInvertiert = 3;
constexpr std::size_t kDumpTyp1 = 4;
constexpr std::size_t kDumpTyp2 = 5;
constexpr std::size_t kDumpTVTrigger1 = 7;
constexpr std::size_t kDumpTVTrigger2 = 23;

bool InRange(int code, int first) {
  return code >= first && code <= first + 0x0F;
}

// The dump's fields are separated by blanks; every blank ends a line, so two blanks in a row
// give an empty line that still counts. CR LF, CR and LF end a line as well.
std::vector<std::string> DumpLines(const std::string& answer) {
  std::vector<std::string> lines;
  std::string current;
  for (std::size_t i = 0; i < answer.size(); ++i) {
    const char c = answer[i];
    if (c == ' ' || c == '\r' || c == '\n') {
      lines.push_back(current);
      current.clear();
      if (c == '\r' && i + 1 < answer.size() && answer[i + 1] == '\n') ++i;
    } else {
      current += c;
    }
  }
  if (!current.empty()) lines.push_back(current);
  return lines;
}

// The value of a dump field, or the field's present value when the text is not a hexadecimal
// number or the value does not fit the field.
int32_t DumpValue(const std::string& line, int32_t present, int32_t largest) {
  const int32_t value = HexFieldValue(line, -1);
  return value >= 0 && value <= largest ? value : present;
}

}  // namespace

TMXB02::TMXB02(TSer485BusMaster* busMaster, uint8_t adresse) : TBaseModul(busMaster, adresse) {
  Description = "16 Bit Weichen- und Signalkarte, Typ2";
  TVTrigger1.fill(3);
  TVTrigger2.fill(8);
  if (IsDeveloperMode()) {
    Typ1 = 0xF0F0;
    Typ2 = 0x0F0F;
    Ports = 0xAAAA;
  }
  // Polled only once the model list switches polling on.
  AddPollCommand(BuildCommand('?', Adresse, kCodePorts, 0, 0), false);
}

bool TMXB02::GetPort(int n) const {
  return n >= 0 && n < kPortCount && GetBit(Ports, static_cast<unsigned>(n));
}

void TMXB02::SetWord(uint16_t& field, uint16_t value, int code) {
  if (field == value) return;
  field = value;
  SendCommand(BuildCommand16('!', Adresse, code, value));
}

void TMXB02::SetPorts(uint16_t value) {
  SetWord(Ports, value, kCodePorts);
}

void TMXB02::SetInvertiert(uint16_t value) {
  SetWord(Invertiert, value, kCodeInvertiert);
}

void TMXB02::SetTyp1(uint16_t value) {
  SetWord(Typ1, value, kCodeTyp1);
}

void TMXB02::SetTyp2(uint16_t value) {
  SetWord(Typ2, value, kCodeTyp2);
}

int32_t TMXB02::GetTVTrigger1(int i) const {
  return i >= 0 && i < kPortCount ? TVTrigger1[static_cast<std::size_t>(i)] : 0;
}

int32_t TMXB02::GetTVTrigger2(int i) const {
  return i >= 0 && i < kPortCount ? TVTrigger2[static_cast<std::size_t>(i)] : 0;
}

void TMXB02::SetPulseTime(std::array<int32_t, kPortCount>& times, int i, int32_t value) {
  if (i < 0 || i >= kPortCount) return;
  // One byte on the line: a larger value would reach the card cut off.
  value = std::clamp<int32_t>(value, 0, kMaxPulseTime);
  int32_t& entry = times[static_cast<std::size_t>(i)];
  if (entry == value) return;
  entry = value;
  SendTVTrigger(i);
}

void TMXB02::SetTVTrigger1(int i, int32_t value) {
  SetPulseTime(TVTrigger1, i, value);
}

void TMXB02::SetTVTrigger2(int i, int32_t value) {
  SetPulseTime(TVTrigger2, i, value);
}

void TMXB02::SendTVTrigger(int i) {
  // Codes beyond port 15 are not pulse-time writes.
  if (i < 0 || i >= kPortCount) return;
  // An answer may have stored a pulse time beyond one byte; the card gets the nearest it can
  // take instead of the value cut off.
  const auto index = static_cast<std::size_t>(i);
  SendCommand(BuildCommand('!', Adresse, kCodeSendTVTrigger + i,
                           std::clamp<int32_t>(TVTrigger1[index], 0, kMaxPulseTime),
                           std::clamp<int32_t>(TVTrigger2[index], 0, kMaxPulseTime)));
}

void TMXB02::SendPortLine(int n, bool on, bool onlyIfOff, int code) {
  if (!Aktiv || n < 0 || n >= kPortCount) return;
  const unsigned bit = static_cast<unsigned>(n);
  if (onlyIfOff && GetPort(n) && !Polling) return;
  if (!Polling) Ports = static_cast<uint16_t>(on ? SetBit(Ports, bit) : ClearBit(Ports, bit));
  SendCommand(BuildCommand('!', Adresse, code + n, 0, on ? 1 : 0));
}

void TMXB02::SwitchPort(int n, bool on, bool onlyIfOff) {
  SendPortLine(n, on, onlyIfOff, kCodeSwitch);
}

void TMXB02::TogglePort(int n, bool onlyIfOff) {
  SwitchPort(n, !GetPort(n), onlyIfOff);
}

void TMXB02::BlinkPort(int n, bool on, bool onlyIfOff) {
  SendPortLine(n, on, onlyIfOff, kCodeBlink);
}

void TMXB02::TriggerPort(int n) {
  if (n < 0 || n >= kPortCount) return;
  SendCommand(BuildCommand('!', Adresse, kCodeTrigger + n, 0, 1));
}

void TMXB02::SwitchMasked(int offset, int mask, int value, bool onlyIfNew) {
  if (!Aktiv || offset < 0 || offset > 15 || mask < 0 || mask > 255 || value < 0 || value > 255)
    return;
  const uint32_t ports = Ports;
  const uint32_t current = (ports >> offset) & static_cast<uint32_t>(mask);
  if (onlyIfNew && current == static_cast<uint32_t>(value) && !Polling) return;
  if (!Polling) {
    const uint32_t shiftedMask = static_cast<uint32_t>(mask) << offset;
    const uint32_t shiftedValue = static_cast<uint32_t>(value) << offset;
    // The image holds ports 0 ... 15; whatever is shifted beyond them is dropped here.
    Ports = static_cast<uint16_t>((ports & ~shiftedMask) | (shiftedValue & shiftedMask));
  }
  SendCommand(BuildCommand('!', Adresse, kCodeMasked + offset, mask, value));
}

void TMXB02::LoadDump() {
  SendCommand(BuildCommand('?', Adresse, kCodeRestore, 0, 0));
}

void TMXB02::SaveDumpToEE() {
  SendCommand(BuildCommand('!', Adresse, kCodeStore, kCodeStore, kCodeStore));
}

void TMXB02::RestoreFirmware() {
  SendCommand(BuildCommand('!', Adresse, kCodeRestore, kCodeRestore, kCodeRestore));
}

std::string TMXB02::GetPropertiesText() {
  return PropertiesHead() + "\r\nPorts=" + std::to_string(Ports) +
         "\r\nInvertiert=" + std::to_string(Invertiert) + "\r\nTyp1=" + std::to_string(Typ1) +
         "\r\nTyp2=" + std::to_string(Typ2) + "\r\nTVTrigger1=" + DecimalList(TVTrigger1) +
         "\r\nTVTrigger2=" + DecimalList(TVTrigger2);
}

void TMXB02::ProcessAnswer(const std::string& command, const std::string& answer) {
  TBaseModul::ProcessAnswer(command, answer);
  if (answer.empty()) return;
  TRS485CmdRecord record;
  if (!ParseOwnAnswer(answer, record)) return;
  const int code = HexFieldValue(record.Cmd, 0);
  const int value = HexFieldValue(record.Data1 + record.Data2, 0);
  auto setPort = [&](int first) {
    const unsigned bit = static_cast<unsigned>(code - first);
    Ports = static_cast<uint16_t>(record.Data2 == "01" ? SetBit(Ports, bit) : ClearBit(Ports, bit));
  };
  if (code == kCodeRestore && record.Data1 == "03" && record.Data2 == "03") {
    // restore confirmed: nothing to decode
  } else if (code == kCodeStore && record.Data1 == "04" && record.Data2 == "04") {
    // store confirmed: nothing to decode
  } else if (InRange(code, kCodeSwitch)) {
    setPort(kCodeSwitch);
  } else if (code == kCodePorts) {
    Ports = static_cast<uint16_t>(value);
  } else if (InRange(code, kCodeTrigger)) {
    setPort(kCodeTrigger);
  } else if (InRange(code, kCodeBlink)) {
    setPort(kCodeBlink);
  } else if (InRange(code, kCodeMasked)) {
    Ports = static_cast<uint16_t>(value);
  } else if (InRange(code, kCodeTVTrigger)) {
    TVTrigger1[static_cast<std::size_t>(code - kCodeTVTrigger)] = value;
  } else if (code == kCodeRestore && record.Data1 == "00" && record.Data2 == "00") {
    DecodeDump(answer);
  } else {
    return;
  }
  DoDataChanged();
}

void TMXB02::DecodeDump(const std::string& answer) {
  const std::vector<std::string> lines = DumpLines(answer);
  auto word = [&](std::size_t i, uint16_t& field) {
    if (i < lines.size()) field = static_cast<uint16_t>(DumpValue(lines[i], field, 0xFFFF));
  };
  word(kDumpPorts, Ports);
  word(kDumpInvertiert, Invertiert);
  word(kDumpTyp1, Typ1);
  word(kDumpTyp2, Typ2);
  for (std::size_t port = 0; port < kPortCount; ++port) {
    if (kDumpTVTrigger1 + port < lines.size())
      TVTrigger1[port] = DumpValue(lines[kDumpTVTrigger1 + port], TVTrigger1[port], kMaxPulseTime);
    if (kDumpTVTrigger2 + port < lines.size())
      TVTrigger2[port] = DumpValue(lines[kDumpTVTrigger2 + port], TVTrigger2[port], kMaxPulseTime);
  }
}

std::string TMXB02::TextCommand(const std::string& text) {
  std::string result = TBaseModul::TextCommand(text);
  if (result == "1") return result;
  try {
    const std::vector<std::string> entries = SplitTextCommand(text);
    const std::string word = UpperCase(TextCommandEntry(entries, 0));
    if (word == "!SCHALTENMSK" || word == "!CSCHALTENMSK") {
      const int32_t offset = TextToInt(TextCommandEntry(entries, 3), -1);
      const int32_t mask = TextToInt(TextCommandEntry(entries, 4), -1);
      const int32_t value = TextToInt(TextCommandEntry(entries, 5), -1);
      if (offset < 0 || offset > 15 || mask < 0 || mask > 255 || value < 0 || value > 255)
        throw TTextCommandError("Parameterfehler!");
      SwitchMasked(offset, mask, value, word == "!CSCHALTENMSK");
      return result;
    }
    const TPortCommand command = ReadPortCommand(entries, kPortCount - 1, "PortNr. overflow.");
    if (command.Word == "!SCHALTEN")
      SwitchPort(command.Port, command.On(), false);
    else if (command.Word == "!CSCHALTEN")
      SwitchPort(command.Port, command.On(), true);
    else if (command.Word == "!TOGGELN")
      TogglePort(command.Port, false);
    else if (command.Word == "!CTOGGELN")
      TogglePort(command.Port, true);
    else if (command.Word == "!TRIGGERN")
      TriggerPort(command.Port);
    else if (command.Word == "!BLINKEN")
      BlinkPort(command.Port, command.On(), false);
    else if (command.Word == "!CBLINKEN")
      BlinkPort(command.Port, command.On(), true);
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

std::string TMXB02::TextCommandHelp() {
  return TBaseModul::TextCommandHelp() +
         "\r\n!Schalten(Ifc,Ma,PortNr,Value)\r\n!CSchalten(Ifc,Ma,PortNr,Value)"
         "\r\n!Toggeln(Ifc,Ma,PortNr)\r\n!CToggeln(Ifc,Ma,PortNr)\r\n!Triggern(Ifc,Ma,PortNr)"
         "\r\n!SchaltenMsk(Ifc,Ma,Offset,Maske,Wert)\r\n!CSchaltenMsk(Ifc,Ma,Offset,Maske,Wert)"
         "\r\n!Blinken(Ifc,Ma,PortNr,Value)\r\n!CBlinken(Ifc,Ma,PortNr,Value)"
         "\r\n?Port(Ifc,Ma,PortNr)";
}
