#include "modules/message_format.h"

#include "support/conversions.h"

namespace {

std::string Copy(const std::string& text, std::size_t start, std::size_t count) {
  if (start >= text.size()) return std::string();
  return text.substr(start, count);
}

// Exactly two digits: the number reader would also take a lone digit with the line end or a
// blank after it, so a line that lost a character on the wire would pass for complete.
bool IsValidField(const std::string& field) {
  return field.size() == 2 && HexPairValue(field[0], field[1]) >= 0;
}

}  // namespace

int32_t HexFieldValue(const std::string& digits, int32_t defaultValue) {
  return TextToInt("$" + digits, defaultValue);
}

int ParseAnswer(const std::string& line, TRS485CmdRecord& record) {
  record = TRS485CmdRecord();
  record.Kind = Copy(line, 0, 1);
  record.Adr = Copy(line, 1, 2);
  record.Cmd = Copy(line, 3, 2);
  record.Data1 = Copy(line, 5, 2);
  record.Data2 = Copy(line, 7, 2);
  if (record.Kind != "#" && record.Kind != "!" && record.Kind != "?") return 0;
  int flags = pfKind;
  if (IsValidField(record.Adr)) flags |= pfAdr;
  if (IsValidField(record.Cmd)) flags |= pfCmd;
  if (IsValidField(record.Data1)) flags |= pfData1;
  if (IsValidField(record.Data2)) flags |= pfData2;
  if (!record.Data1.empty() && record.Data1[0] == '[') {
    record.Payload = Copy(line, 5, std::string::npos);
    flags |= pfPayload;
  }
  return flags;
}

std::string BuildCommand(char kind, uint8_t address, int code, int data1, int data2) {
  return std::string(1, kind) + IntToHexText(address, 2) + IntToHexText(code & 0xFF, 2) +
         IntToHexText(data1 & 0xFF, 2) + IntToHexText(data2 & 0xFF, 2);
}

std::string BuildCommand16(char kind, uint8_t address, int code, int value) {
  return BuildCommand(kind, address, code, (value >> 8) & 0xFF, value & 0xFF);
}
