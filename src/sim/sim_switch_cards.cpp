#include "sim/sim_switch_cards.h"

namespace {

constexpr uint8_t kCodeRestore = 0x03;  // also the configuration dump, as a query
constexpr uint8_t kCodeStore = 0x04;
constexpr uint8_t kCodeInversion = 0x0A;
constexpr uint8_t kCodeFlags1 = 0x0B;
constexpr uint8_t kCodeFlags2 = 0x0C;
constexpr uint8_t kCodeSwitch = 0x10;
constexpr uint8_t kCodeOutputs = 0x20;
constexpr uint8_t kCodePulse = 0x30;
constexpr uint8_t kCodeBlink = 0x40;
constexpr uint8_t kCodePulseTime = 0x50;
constexpr uint8_t kCodeMasked = 0x70;
constexpr uint8_t kCodePulseTimes = 0x80;

// The port of a code from a block of sixteen (0x10..0x1F and so on), or -1.
int PortOf(uint8_t code, uint8_t block) {
  return (code & 0xF0) == block ? code & 0x0F : -1;
}

bool IsOnOff(const TSimCommand& command) {
  return command.D1 == 0 && command.D2 <= 1;
}
bool IsPulseOrder(const TSimCommand& command) {
  return command.Word() == 0x0001;
}

std::string StateData(bool on) {
  return on ? "0001" : "0000";
}

}  // namespace

// ---------------------------------------------------------------------------------------------

TSimMXB01::TSimMXB01(uint8_t address, std::string version)
    : TSimCard(address, kType, std::move(version)) {}

uint16_t TSimMXB01::Outputs() const {
  std::lock_guard<std::mutex> lock(FMutex);
  return FOutputs.Word(NowUs());
}

void TSimMXB01::SetOutputs(uint16_t outputs) {
  std::lock_guard<std::mutex> lock(FMutex);
  FOutputs.SetWord(outputs);
}

uint16_t TSimMXB01::PulseTimeMs() const {
  std::lock_guard<std::mutex> lock(FMutex);
  return FPulseTimeMs;
}

void TSimMXB01::SetPulseTimeMs(uint16_t ms) {
  std::lock_guard<std::mutex> lock(FMutex);
  FPulseTimeMs = ms;
}

std::optional<std::string> TSimMXB01::Handle(const TSimCommand& command, int64_t atUs) {
  const uint8_t code = command.Code;
  if (command.IsQuery()) {
    if (code == kCodeOutputs) return Reply(code, SimHex16(FOutputs.Word(atUs)));
    if (code == kCodePulseTime) return Reply(code, SimHex16(FPulseTimeMs));
    return std::nullopt;
  }
  if (const int port = PortOf(code, kCodeSwitch); port >= 0 && IsOnOff(command)) {
    FOutputs.Set(port, command.D2 != 0);
    return Reply(code, StateData(command.D2 != 0));
  }
  if (const int port = PortOf(code, kCodePulse); port >= 0 && IsPulseOrder(command)) {
    FOutputs.Pulse(port, atUs, int64_t{FPulseTimeMs} * 1000);
    return Reply(code, "0001");
  }
  if (code == kCodePulseTime) {
    FPulseTimeMs = command.Word();
    return Reply(code, SimHex16(FPulseTimeMs));
  }
  return std::nullopt;
}

// ---------------------------------------------------------------------------------------------

TSimMXB02Config TSimMXB02Config::Factory() {
  TSimMXB02Config config;
  config.PulseTime1.fill(3);
  config.PulseTime2.fill(8);
  return config;
}

TSimMXB02::TSimMXB02(uint8_t address, std::string version)
    : TSimCard(address, kType, std::move(version)),
      FConfig(TSimMXB02Config::Factory()),
      FStored(TSimMXB02Config::Factory()) {}

uint16_t TSimMXB02::Outputs() const {
  std::lock_guard<std::mutex> lock(FMutex);
  return FOutputs.Word(NowUs());
}

void TSimMXB02::SetOutputs(uint16_t outputs) {
  std::lock_guard<std::mutex> lock(FMutex);
  FOutputs.SetWord(outputs);
}

uint16_t TSimMXB02::BlinkMask() const {
  std::lock_guard<std::mutex> lock(FMutex);
  return FOutputs.BlinkMask();
}

TSimMXB02Config TSimMXB02::Config() const {
  std::lock_guard<std::mutex> lock(FMutex);
  return FConfig;
}

void TSimMXB02::SetConfig(const TSimMXB02Config& config) {
  std::lock_guard<std::mutex> lock(FMutex);
  FConfig = config;
}

TSimMXB02Config TSimMXB02::StoredConfig() const {
  std::lock_guard<std::mutex> lock(FMutex);
  return FStored;
}

int TSimMXB02::StoreCount() const {
  std::lock_guard<std::mutex> lock(FMutex);
  return FStoreCount;
}

void TSimMXB02::PowerCycle() {
  std::lock_guard<std::mutex> lock(FMutex);
  FOutputs = TSimOutputBank();
  FConfig = FStored;
}

std::string TSimMXB02::Dump(int64_t atUs) const {
  // Blank-separated fields after the header; the two "00" fields are reserved by the firmware.
  std::string data = "0000";
  data += " " + SimHex16(FOutputs.Word(atUs));
  data += " 00";
  data += " " + SimHex16(FConfig.Inversion);
  data += " " + SimHex16(FConfig.Flags1);
  data += " " + SimHex16(FConfig.Flags2);
  data += " 00";
  for (uint8_t t : FConfig.PulseTime1)
    data += " " + SimHex8(t);
  for (uint8_t t : FConfig.PulseTime2)
    data += " " + SimHex8(t);
  return Reply(kCodeRestore, data);
}

std::optional<std::string> TSimMXB02::Handle(const TSimCommand& command, int64_t atUs) {
  const uint8_t code = command.Code;
  const std::string echo = SimHex8(command.D1) + SimHex8(command.D2);
  if (command.IsQuery()) {
    if (code == kCodeOutputs) return Reply(code, SimHex16(FOutputs.Word(atUs)));
    if (code == kCodeRestore && command.Word() == 0) return Dump(atUs);
    return std::nullopt;
  }
  switch (code) {
    case kCodeOutputs:
      FOutputs.SetWord(command.Word());
      return Reply(code, echo);
    case kCodeInversion:
      FConfig.Inversion = command.Word();
      return Reply(code, echo);
    case kCodeFlags1:
      FConfig.Flags1 = command.Word();
      return Reply(code, echo);
    case kCodeFlags2:
      FConfig.Flags2 = command.Word();
      return Reply(code, echo);
    case kCodeStore:
      if (command.Word() != 0x0404) return std::nullopt;
      FStored = FConfig;
      ++FStoreCount;
      return Reply(code, echo);
    case kCodeRestore:
      if (command.Word() != 0x0303) return std::nullopt;
      FConfig = TSimMXB02Config::Factory();
      return Reply(code, echo);
    default:
      break;
  }
  if (const int port = PortOf(code, kCodePulseTimes); port >= 0) {
    FConfig.PulseTime1[port] = command.D1;
    FConfig.PulseTime2[port] = command.D2;
    return Reply(code, echo);
  }
  if (const int port = PortOf(code, kCodeSwitch); port >= 0 && IsOnOff(command)) {
    FOutputs.Set(port, command.D2 != 0);
    return Reply(code, StateData(command.D2 != 0));
  }
  if (const int port = PortOf(code, kCodePulse); port >= 0 && IsPulseOrder(command)) {
    FOutputs.Pulse(port, atUs, FConfig.PulseTime1[port] * kPulseUnitUs);
    return Reply(code, "0001");
  }
  if (const int port = PortOf(code, kCodeBlink); port >= 0 && IsOnOff(command)) {
    FOutputs.Blink(port, command.D2 != 0, atUs);
    return Reply(code, StateData(command.D2 != 0));
  }
  if (const int offset = PortOf(code, kCodeMasked); offset >= 0) {
    const uint16_t mask = static_cast<uint16_t>(command.D1 << offset);
    const uint16_t value = static_cast<uint16_t>(command.D2 << offset);
    FOutputs.SetMasked(mask, value);
    return Reply(code, SimHex16(FOutputs.Word(atUs)));
  }
  return std::nullopt;
}
