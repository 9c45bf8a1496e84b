#include "sim/sim_bus.h"

#include <algorithm>

#include "sim/sim_simple_cards.h"
#include "sim/sim_switch_cards.h"
#include "sim/sim_throttle_card.h"

namespace {

constexpr uint8_t kCodeAddressChange = 0x02;
constexpr std::size_t kMaxNoiseBytes = 8;
constexpr std::size_t kMaxCorruptCharacters = 3;

bool IsLineEnd(char c) {
  return c == '\r' || c == '\n';
}

}  // namespace

int64_t SimLineTimeUs(std::size_t characters, uint32_t baud) {
  if (baud == 0) return 0;
  return static_cast<int64_t>(characters) * 10 * 1'000'000 / static_cast<int64_t>(baud);
}

TSimBus::TSimBus(TClock& clock) : FClock(clock), FRandom(0x4B61766F72ull) {}

TSimCard& TSimBus::AddCard(std::unique_ptr<TSimCard> card) {
  if (!card) throw std::invalid_argument("TSimBus::AddCard: no card");
  card->AttachClock(FClock);
  std::lock_guard<std::mutex> lock(FMutex);
  const uint8_t address = card->Address();
  TSimCard& added = *card;
  FCards[address] = std::move(card);
  return added;
}

void TSimBus::AddDefaultCards() {
  Add<TSimMXB01>(0x1E);
  Add<TSimMXB02>(0x32);
  Add<TSimHDX01>(0x20);
  Add<TSimPortExpansion>(0x7F);
  Add<TSimUnknownCard>(0x40);
}

bool TSimBus::RemoveCard(uint8_t address) {
  std::lock_guard<std::mutex> lock(FMutex);
  return FCards.erase(address) > 0;
}

void TSimBus::RemoveAllCards() {
  std::lock_guard<std::mutex> lock(FMutex);
  FCards.clear();
}

std::vector<uint8_t> TSimBus::Addresses() const {
  std::lock_guard<std::mutex> lock(FMutex);
  std::vector<uint8_t> addresses;
  for (const auto& entry : FCards)
    addresses.push_back(entry.first);
  return addresses;
}

TSimCard* TSimBus::FindCard(uint8_t address) const {
  std::lock_guard<std::mutex> lock(FMutex);
  const auto it = FCards.find(address);
  return it == FCards.end() ? nullptr : it->second.get();
}

TSimCard& TSimBus::Card(uint8_t address) const {
  TSimCard* card = FindCard(address);
  if (!card) throw std::out_of_range("TSimBus: no card at $" + SimHex8(address));
  return *card;
}

std::optional<std::string> TSimBus::Answer(const std::string& command) {
  std::lock_guard<std::mutex> lock(FMutex);
  return AnswerLocked(command, FClock.NowUs());
}

std::optional<std::string> TSimBus::AnswerLocked(const std::string& line, int64_t atUs) {
  const std::optional<TSimCommand> command = ParseSimCommand(line);
  if (!command) return std::nullopt;
  const auto it = FCards.find(command->Address);
  if (it == FCards.end()) return std::nullopt;
  if (command->IsOrder() && command->Code == kCodeAddressChange)
    return ChangeAddress(*it->second, *command);
  return it->second->Answer(*command, atUs);
}

std::optional<std::string> TSimBus::ChangeAddress(TSimCard& card, const TSimCommand& command) {
  const uint8_t oldAddress = command.Address;
  const uint8_t key = card.AddressKey();
  const uint8_t newAddress = command.D2;
  // A new address of 0 asks for the key, as the first step of the exchange does.
  if (newAddress == 0) return SimAnswerLine(oldAddress, kCodeAddressChange, SimHex8(key) + "00");
  // A wrong key changes nothing. So does a taken address: two cards must never share one.
  const bool taken = newAddress != oldAddress && FCards.count(newAddress) > 0;
  if (command.D1 != key || taken) return SimAnswerLine(oldAddress, kCodeAddressChange, "0000");
  if (newAddress != oldAddress) {
    auto node = FCards.extract(oldAddress);
    node.key() = newAddress;
    node.mapped()->SetAddress(newAddress);
    FCards.insert(std::move(node));
  }
  return SimAnswerLine(oldAddress, kCodeAddressChange, SimHex8(key) + SimHex8(newAddress));
}

bool TSimBus::Draw(bool fixed, double chance) {
  if (fixed || chance >= 1.0) return true;
  if (chance <= 0.0) return false;
  // 53 random bits make a uniform value in [0, 1) the same way on every platform.
  const double value = static_cast<double>(FRandom() >> 11) * (1.0 / 9007199254740992.0);
  return value < chance;
}

uint64_t TSimBus::Random(uint64_t below) {
  return below == 0 ? 0 : FRandom() % below;
}

void TSimBus::CorruptLine(std::string& line) {
  std::size_t body = line.size();
  while (body > 0 && IsLineEnd(line[body - 1]))
    --body;
  if (body == 0) return;
  const std::string clean = line.substr(0, body);
  const std::size_t count = 1 + Random(std::min(kMaxCorruptCharacters, body));
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t pos = Random(body);
    char replacement;
    do {
      replacement = static_cast<char>(Random(256));
    } while (replacement == clean[pos] || IsLineEnd(replacement));
    line[pos] = replacement;
  }
}

std::string TSimBus::MakeNoise() {
  // No line ends: noise garbles a line but never forges one.
  std::string noise(1 + Random(kMaxNoiseBytes), '\0');
  for (char& c : noise) {
    do {
      c = static_cast<char>(Random(256));
    } while (IsLineEnd(c));
  }
  return noise;
}

TSimExchange TSimBus::Exchange(const std::string& line, int64_t atUs) {
  std::lock_guard<std::mutex> lock(FMutex);
  ++FCounts.Commands;
  TSimExchange result;
  result.DelayUs = FAnswerDelayUs;
  const std::optional<TSimCommand> command = ParseSimCommand(line);
  if (!command) return result;
  const auto it = FCards.find(command->Address);
  if (it == FCards.end()) return result;
  // The card may move during the exchange; its faults go with it.
  const TSimFaults faults = it->second->Faults();
  std::optional<std::string> answer = AnswerLocked(line, atUs);

  // Every chance is drawn in the same order each time, so a seed replays a whole run.
  const bool silent = Draw(faults.Silent, faults.SilentChance);
  const bool corrupt = Draw(faults.Corrupt, faults.CorruptChance);
  const bool noLineEnd = Draw(faults.NoLineEnd, faults.NoLineEndChance);
  const bool slow = Draw(faults.Slow, faults.SlowChance);
  const bool noise = Draw(faults.Noise, faults.NoiseChance);

  if (slow) result.DelayUs = std::max(faults.SlowAnswerDelayUs, FAnswerDelayUs);
  if (answer && silent) {
    answer.reset();
    ++FCounts.Silent;
  }
  if (answer) {
    if (slow) ++FCounts.Slow;
    if (corrupt) {
      CorruptLine(*answer);
      ++FCounts.Corrupt;
    }
    if (noLineEnd) {
      while (!answer->empty() && IsLineEnd(answer->back()))
        answer->pop_back();
      ++FCounts.NoLineEnd;
    }
    ++FCounts.Answered;
  }
  if (noise) {
    result.Noise = MakeNoise();
    ++FCounts.Noise;
  }
  result.Answer = std::move(answer);
  return result;
}

int64_t TSimBus::AnswerDelayUs() const {
  std::lock_guard<std::mutex> lock(FMutex);
  return FAnswerDelayUs;
}

void TSimBus::SetAnswerDelayUs(int64_t delayUs) {
  std::lock_guard<std::mutex> lock(FMutex);
  FAnswerDelayUs = std::max<int64_t>(delayUs, 0);
}

bool TSimBus::EmulateLineTime() const {
  std::lock_guard<std::mutex> lock(FMutex);
  return FEmulateLineTime;
}

void TSimBus::SetEmulateLineTime(bool on) {
  std::lock_guard<std::mutex> lock(FMutex);
  FEmulateLineTime = on;
}

void TSimBus::SetFaults(uint8_t address, const TSimFaults& faults) {
  if (TSimCard* card = FindCard(address)) card->SetFaults(faults);
}

void TSimBus::ClearFaults() {
  std::lock_guard<std::mutex> lock(FMutex);
  for (auto& entry : FCards)
    entry.second->SetFaults(TSimFaults());
}

void TSimBus::SetSeed(uint64_t seed) {
  std::lock_guard<std::mutex> lock(FMutex);
  FRandom.seed(seed);
}

TSimFaultCounts TSimBus::FaultCounts() const {
  std::lock_guard<std::mutex> lock(FMutex);
  return FCounts;
}

bool TSimBus::TryAcquire() {
  std::lock_guard<std::mutex> lock(FMutex);
  if (FInUse) return false;
  FInUse = true;
  return true;
}

void TSimBus::Release() {
  std::lock_guard<std::mutex> lock(FMutex);
  FInUse = false;
}

bool TSimBus::InUse() const {
  std::lock_guard<std::mutex> lock(FMutex);
  return FInUse;
}

TSimBus& DefaultSimBus() {
  static TSimBus* bus = [] {
    // Never destroyed: lines of other threads may still use it while the program ends.
    auto* created = new TSimBus(SystemClock());
    created->AddDefaultCards();
    return created;
  }();
  return *bus;
}
