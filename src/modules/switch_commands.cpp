#include "modules/switch_commands.h"

#include "support/conversions.h"

std::string TextCommandEntry(const std::vector<std::string>& entries, std::size_t index) {
  return index < entries.size() ? entries[index] : std::string();
}

TPortCommand ReadPortCommand(const std::vector<std::string>& entries, int32_t lastPort,
                             const std::string& overflowMessage) {
  TPortCommand command;
  command.Word = UpperCase(TextCommandEntry(entries, 0));
  command.Port = TextToInt(TextCommandEntry(entries, 3), 0);
  const std::string value = TextCommandEntry(entries, 4);
  command.Value = TextToInt(value, value.empty() ? 0 : -1);
  if (command.Port < 0 || command.Port > lastPort) throw TTextCommandError(overflowMessage);
  return command;
}

std::string PortStateText(bool on) {
  return on ? "1" : "0";
}

std::string DecimalList(const std::array<int32_t, 16>& values) {
  std::string text;
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (i > 0) text += ';';
    text += std::to_string(values[i]);
  }
  return text;
}
