#include "bus/link_statistics.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// The three widths of the histogram's buckets and where each range ends.
constexpr int64_t kFineUs = 500, kFineEndUs = 50'000;
constexpr int64_t kMediumUs = 5'000, kMediumEndUs = 500'000;
constexpr int64_t kCoarseUs = 50'000, kCoarseEndUs = 5'000'000;
constexpr int kMediumFirst = static_cast<int>(kFineEndUs / kFineUs);  // 100
constexpr int kCoarseFirst =
    kMediumFirst + static_cast<int>((kMediumEndUs - kFineEndUs) / kMediumUs);  // 190
constexpr int kLast =
    kCoarseFirst + static_cast<int>((kCoarseEndUs - kMediumEndUs) / kCoarseUs);  // 280
static_assert(kLast + 1 == TAnswerTimeHistogram::kBuckets);

}  // namespace

// ---- histogram ---------------------------------------------------------------------------------

int TAnswerTimeHistogram::BucketOf(int64_t us) {
  if (us < 0) us = 0;
  if (us < kFineEndUs) return static_cast<int>(us / kFineUs);
  if (us < kMediumEndUs) return kMediumFirst + static_cast<int>((us - kFineEndUs) / kMediumUs);
  if (us < kCoarseEndUs) return kCoarseFirst + static_cast<int>((us - kMediumEndUs) / kCoarseUs);
  return kLast;
}

int64_t TAnswerTimeHistogram::LowerUs(int bucket) {
  if (bucket <= 0) return 0;
  if (bucket < kMediumFirst) return bucket * kFineUs;
  if (bucket < kCoarseFirst) return kFineEndUs + (bucket - kMediumFirst) * kMediumUs;
  if (bucket < kLast) return kMediumEndUs + (bucket - kCoarseFirst) * kCoarseUs;
  return kCoarseEndUs;
}

int64_t TAnswerTimeHistogram::UpperUs(int bucket) {
  if (bucket >= kLast) return std::numeric_limits<int64_t>::max();
  return LowerUs(bucket + 1);
}

void TAnswerTimeHistogram::Add(int64_t us) {
  if (us < 0) us = 0;
  ++FBuckets[static_cast<std::size_t>(BucketOf(us))];
  FMinUs = FCount == 0 ? us : std::min(FMinUs, us);
  FMaxUs = FCount == 0 ? us : std::max(FMaxUs, us);
  ++FCount;
  FSumUs += us;
}

int64_t TAnswerTimeHistogram::MeanUs() const {
  return FCount ? FSumUs / static_cast<int64_t>(FCount) : 0;
}

int64_t TAnswerTimeHistogram::PercentileUs(double p) const {
  if (FCount == 0) return 0;
  p = std::clamp(p, 0.0, 100.0);
  const uint64_t rank = std::max<uint64_t>(
      1, static_cast<uint64_t>(std::ceil(p / 100.0 * static_cast<double>(FCount))));
  uint64_t seen = 0;
  for (int bucket = 0; bucket < kBuckets; ++bucket) {
    seen += FBuckets[static_cast<std::size_t>(bucket)];
    if (seen >= rank) return std::min(UpperUs(bucket), FMaxUs);
  }
  return FMaxUs;
}

// ---- counters ----------------------------------------------------------------------------------

void TLinkCounters::Add(const TExchangeRecord& record) {
  ++Exchanges;
  if (record.Poll) ++Polls;
  LastExchangeMs = record.WrittenMs;
  switch (record.Outcome) {
    case TExchangeOutcome::Answered:
      ++Answers;
      AnswerTimes.Add(record.AnswerUs);
      LastAnswerMs = record.WrittenMs + record.AnswerUs / 1000;
      FaultsInARow = 0;
      return;
    case TExchangeOutcome::TimedOut:
      ++TimedOut;
      break;
    case TExchangeOutcome::Unreadable:
      ++Unreadable;
      break;
    case TExchangeOutcome::Foreign:
      ++Foreign;
      break;
  }
  LastFaultMs = record.WrittenMs;
  ++FaultsInARow;
}

// ---- rates -------------------------------------------------------------------------------------

void TRateWindow::Add(int64_t atMs, double lineSeconds) {
  if (FFirstMs == 0 || atMs < FFirstMs) FFirstMs = atMs;
  const int64_t second = atMs / 1000;
  TSlot& slot = FSlots[static_cast<std::size_t>(second % static_cast<int64_t>(FSlots.size()))];
  if (slot.Second != second) slot = TSlot{second, 0, 0};
  ++slot.Exchanges;
  slot.LineSeconds += lineSeconds;
}

double TRateWindow::WindowSeconds(int64_t nowMs) const {
  // The current second and the kSeconds - 1 whole ones before it, or less after a start.
  const int64_t start = std::max((nowMs / 1000 - kSeconds + 1) * 1000, FFirstMs);
  return static_cast<double>(std::max<int64_t>(nowMs - start, 100)) / 1000.0;
}

template <class TValue>
double TRateWindow::Sum(int64_t nowMs, TValue value) const {
  const int64_t nowSecond = nowMs / 1000;
  double sum = 0;
  for (const TSlot& slot : FSlots)
    if (slot.Second > nowSecond - kSeconds && slot.Second <= nowSecond) sum += value(slot);
  return sum;
}

double TRateWindow::ExchangesPerSecond(int64_t nowMs) const {
  if (FFirstMs == 0) return 0;
  return Sum(nowMs, [](const TSlot& s) { return static_cast<double>(s.Exchanges); }) /
         WindowSeconds(nowMs);
}

double TRateWindow::LineShare(int64_t nowMs) const {
  if (FFirstMs == 0) return 0;
  return Sum(nowMs, [](const TSlot& s) { return s.LineSeconds; }) / WindowSeconds(nowMs);
}

// ---- statistics --------------------------------------------------------------------------------

void TLinkStatistics::Add(const TExchangeRecord& record) {
  ++FTaken;
  TInterfaceCounters& ifc = FInterfaces[record.IfcNumber];
  ifc.Add(record);
  ifc.Baud = record.Baud;
  // 10 bits a character: start bit, eight data bits, stop bit.
  const double baud = record.Baud > 0 ? record.Baud : 9600.0;
  ifc.Rate.Add(record.WrittenMs, static_cast<double>(record.LineCharacters()) * 10.0 / baud);
  const int address = record.Address();
  if (address >= 0) FModules[{record.IfcNumber, address}].Add(record);
}

void TLinkStatistics::Add(const TExchangeBatch& batch) {
  for (const TExchangeRecord& record : batch)
    Add(record);
}

void TLinkStatistics::Reset(int64_t nowMs) {
  FModules.clear();
  FInterfaces.clear();
  FSinceMs = nowMs;
  ++FResets;
}

void TLinkStatistics::Renumber(const std::map<int32_t, int32_t>& newNumbers) {
  std::map<TModuleKey, TLinkCounters> modules;
  for (auto& [key, counters] : FModules) {
    const auto to = newNumbers.find(key.first);
    if (to != newNumbers.end()) modules.emplace(TModuleKey{to->second, key.second}, counters);
  }
  std::map<int32_t, TInterfaceCounters> interfaces;
  for (auto& [number, counters] : FInterfaces) {
    const auto to = newNumbers.find(number);
    if (to != newNumbers.end()) interfaces.emplace(to->second, counters);
  }
  FModules = std::move(modules);
  FInterfaces = std::move(interfaces);
  ++FResets;
}

void TLinkStatistics::Forget(int32_t ifc, int address) {
  if (FModules.erase({ifc, address}) > 0) ++FResets;
}

const TLinkCounters* TLinkStatistics::Module(int32_t ifc, int address) const {
  const auto it = FModules.find({ifc, address});
  return it == FModules.end() ? nullptr : &it->second;
}

const TInterfaceCounters* TLinkStatistics::Interface(int32_t ifc) const {
  const auto it = FInterfaces.find(ifc);
  return it == FInterfaces.end() ? nullptr : &it->second;
}

TLinkHealth TLinkStatistics::Health(const TLinkCounters* counters, int64_t nowMs, bool polled) {
  if (!counters || counters->Exchanges == 0) return TLinkHealth::Unknown;
  if (polled && counters->FaultsInARow >= kFailingInARow) return TLinkHealth::Failing;
  if (counters->LastFaultMs != 0 && nowMs - counters->LastFaultMs < kWarningMs)
    return TLinkHealth::Warning;
  return TLinkHealth::Good;
}
