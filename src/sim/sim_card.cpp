#include "sim/sim_card.h"

#include "support/conversions.h"

namespace {

constexpr uint8_t kCodeIdentify = 0x01;

}  // namespace

std::optional<TSimCommand> ParseSimCommand(const std::string& line) {
  if (line.size() != 9 || (line[0] != '?' && line[0] != '!')) return std::nullopt;
  uint8_t bytes[4];
  for (int i = 0; i < 4; ++i) {
    const int value = HexPairValue(line[1 + 2 * i], line[2 + 2 * i]);
    if (value < 0) return std::nullopt;
    bytes[i] = static_cast<uint8_t>(value);
  }
  TSimCommand command;
  command.Kind = line[0];
  command.Address = bytes[0];
  command.Code = bytes[1];
  command.D1 = bytes[2];
  command.D2 = bytes[3];
  command.Text = UpperCase(line);
  return command;
}

std::string SimHex8(unsigned value) {
  return IntToHexText(static_cast<int32_t>(value & 0xFF), 2);
}

std::string SimHex16(unsigned value) {
  return IntToHexText(static_cast<int32_t>(value & 0xFFFF), 4);
}

std::string SimAnswerLine(uint8_t address, uint8_t code, const std::string& data) {
  return "#" + SimHex8(address) + SimHex8(code) + data + "\r\n";
}

TSimCard::TSimCard(uint8_t address, std::string type, std::string version)
    : FAddress(address),
      FType(std::move(type)),
      FVersion(std::move(version)),
      FClock(&SystemClock()) {}

uint8_t TSimCard::Address() const {
  std::lock_guard<std::mutex> lock(FMutex);
  return FAddress;
}

uint8_t TSimCard::AddressKey() const {
  // Any fixed non-zero value per address does; the firmware mixes the address so that a key
  // read for one card is useless for another.
  const uint8_t key = static_cast<uint8_t>(Address() ^ 0xA5);
  return key != 0 ? key : 0x5A;
}

TSimFaults TSimCard::Faults() const {
  std::lock_guard<std::mutex> lock(FMutex);
  return FFaults;
}

void TSimCard::SetFaults(const TSimFaults& faults) {
  std::lock_guard<std::mutex> lock(FMutex);
  FFaults = faults;
}

void TSimCard::SetAddress(uint8_t address) {
  std::lock_guard<std::mutex> lock(FMutex);
  FAddress = address;
}

std::string TSimCard::Reply(uint8_t code, const std::string& data) const {
  return SimAnswerLine(FAddress, code, data);
}

std::optional<std::string> TSimCard::Answer(const TSimCommand& command, int64_t atUs) {
  std::lock_guard<std::mutex> lock(FMutex);
  if (command.IsQuery() && command.Code == kCodeIdentify)
    return Reply(kCodeIdentify, "[" + FType + "." + FVersion + "]");
  return Handle(command, atUs);
}
