#include "bus/bus_command.h"

#include "support/conversions.h"

void TBusCommand::SetAdresse(uint8_t address) {
  if (Text.size() > 2) Text.replace(1, 2, IntToHexText(address, 2));
}
