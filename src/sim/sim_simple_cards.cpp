#include "sim/sim_simple_cards.h"

namespace {

constexpr uint8_t kCodeOutputs = 0x20;
constexpr uint8_t kCodeSwitchFirst = 0x10;
constexpr int kPortCount = 8;

}  // namespace

TSimPortExpansion::TSimPortExpansion(uint8_t address, std::string version)
    : TSimCard(address, kType, std::move(version)) {}

uint16_t TSimPortExpansion::Outputs() const {
  std::lock_guard<std::mutex> lock(FMutex);
  return FOutputs;
}

void TSimPortExpansion::SetOutputs(uint16_t outputs) {
  std::lock_guard<std::mutex> lock(FMutex);
  FOutputs = static_cast<uint16_t>(outputs & 0xFF);
}

std::optional<std::string> TSimPortExpansion::Handle(const TSimCommand& command, int64_t) {
  if (command.IsQuery() && command.Code == kCodeOutputs)
    return Reply(kCodeOutputs, SimHex16(FOutputs));
  const int port = command.Code - kCodeSwitchFirst;
  if (command.IsOrder() && port >= 0 && port < kPortCount && command.D1 == 0 && command.D2 <= 1) {
    const uint16_t bit = static_cast<uint16_t>(1u << port);
    FOutputs = static_cast<uint16_t>(command.D2 ? (FOutputs | bit) : (FOutputs & ~bit));
    return "#" + command.Text.substr(1) + "\r\n";
  }
  return std::nullopt;
}

TSimUnknownCard::TSimUnknownCard(uint8_t address, std::string type, std::string version)
    : TSimCard(address, std::move(type), std::move(version)) {}

std::optional<std::string> TSimUnknownCard::Handle(const TSimCommand& command, int64_t) {
  return "#" + command.Text.substr(1) + "\r\n";
}
