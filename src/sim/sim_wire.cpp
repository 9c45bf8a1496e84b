#include "sim/sim_wire.h"

#include <algorithm>

#include "sim/sim_bus.h"

namespace {

constexpr char kResyncByte = static_cast<char>(0xA7);
// A sender that never ends its line must not fill memory.
constexpr std::size_t kMaxLineLength = 256;

}  // namespace

void TSimWire::Reset() {
  FReceived.clear();
  FChunks.clear();
  FSendFreeUs = 0;
  FAnswerFreeUs = 0;
}

void TSimWire::Send(const std::string& bytes, int64_t nowUs) {
  const bool timed = FBus.EmulateLineTime();
  // Characters still leaving from an earlier write go first.
  const int64_t startUs = std::max(nowUs, FSendFreeUs);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const char c = bytes[i];
    if (c != '\r') {
      if (FReceived.size() >= kMaxLineLength) FReceived.clear();
      FReceived += c;
      continue;
    }
    std::string command;
    command.swap(FReceived);
    // A terminal may end its lines with CR LF; the LF then starts the next line.
    command.erase(0, command.find_first_not_of('\n'));
    if (command.empty() || command == std::string(1, kResyncByte)) continue;
    const int64_t arrivalUs = startUs + (timed ? SimLineTimeUs(i + 1, FBaud) : 0);
    Deliver(command, arrivalUs);
  }
  FSendFreeUs = startUs + (timed ? SimLineTimeUs(bytes.size(), FBaud) : 0);
}

void TSimWire::Deliver(const std::string& command, int64_t arrivalUs) {
  const bool timed = FBus.EmulateLineTime();
  TSimExchange exchange = FBus.Exchange(command, arrivalUs);
  const int64_t answerUs = arrivalUs + exchange.DelayUs;
  if (exchange.Answer) Queue(std::move(*exchange.Answer), answerUs, timed);
  // Noise comes at once and right after the exchange, so that it lies between two exchanges
  // and not across the next one.
  if (!exchange.Noise.empty())
    Queue(std::move(exchange.Noise), std::max(answerUs, FAnswerFreeUs) + kNoiseGapUs, false);
}

void TSimWire::Queue(std::string bytes, int64_t startUs, bool timed) {
  if (bytes.empty()) return;
  TChunk chunk;
  // One line back to the PC: a chunk cannot overtake the one before it.
  chunk.StartUs = std::max(startUs, FAnswerFreeUs);
  chunk.Bytes = std::move(bytes);
  chunk.Timed = timed && FBaud > 0;
  FAnswerFreeUs = EndUs(chunk);
  FChunks.push_back(std::move(chunk));
}

int64_t TSimWire::ByteTimeUs(const TChunk& chunk, std::size_t index) const {
  return chunk.StartUs + (chunk.Timed ? SimLineTimeUs(index + 1, FBaud) : 0);
}

int64_t TSimWire::EndUs(const TChunk& chunk) const {
  return ByteTimeUs(chunk, chunk.Bytes.size() - 1);
}

std::size_t TSimWire::ArrivedCount(const TChunk& chunk, int64_t nowUs) const {
  const int64_t elapsedUs = nowUs - chunk.StartUs;
  if (elapsedUs < 0) return 0;
  if (!chunk.Timed || nowUs >= EndUs(chunk)) return chunk.Bytes.size();
  // The largest k whose line time SimLineTimeUs(k) has passed.
  const int64_t k = ((elapsedUs + 1) * static_cast<int64_t>(FBaud) - 1) / 10'000'000;
  return std::min<std::size_t>(static_cast<std::size_t>(k), chunk.Bytes.size());
}

std::string TSimWire::TakeArrived(int64_t nowUs) {
  std::string arrived;
  while (!FChunks.empty()) {
    TChunk& chunk = FChunks.front();
    const std::size_t count = ArrivedCount(chunk, nowUs);
    if (count > chunk.Taken) {
      arrived.append(chunk.Bytes, chunk.Taken, count - chunk.Taken);
      chunk.Taken = count;
    }
    if (chunk.Taken < chunk.Bytes.size()) break;
    FChunks.pop_front();
  }
  return arrived;
}

std::optional<int64_t> TSimWire::NextArrivalUs() const {
  if (FChunks.empty()) return std::nullopt;
  const TChunk& chunk = FChunks.front();
  return ByteTimeUs(chunk, chunk.Taken);
}
