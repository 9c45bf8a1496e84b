#pragma once
// The smallest thing the bus master can poll: an address and standing commands.

#include <string>
#include <vector>

#include "bus/bus_command.h"

class TTestModule : public TBusModule {
 public:
  TTestModule(uint8_t address, const std::vector<std::string>& polls, bool enabled = true)
      : FAddress(address) {
    for (const std::string& text : polls) {
      auto command = std::make_unique<TBusCommand>(this);
      command->Text = text;
      command->Enabled = enabled;
      FCommands.push_back(std::move(command));
    }
  }
  uint8_t BusAddress() const override { return FAddress; }
  TBusCommandList& BusCommands() override { return FCommands; }

 private:
  uint8_t FAddress;
  TBusCommandList FCommands;
};
