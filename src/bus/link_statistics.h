#pragma once
// Link statistics built from exchange records: per module (interface and bus address) and per
// interface, how many exchanges, answers and faults there were and how long the answers took.
// Plain data with bounded memory: answer times go into a histogram of fixed buckets, rates into
// a short ring of one-second slots. The main window and kavorctl share it.

#include <array>
#include <cstdint>
#include <map>
#include <utility>

#include "bus/exchange_record.h"

// Answer times in fixed buckets: 0.5 ms wide up to 50 ms, 5 ms wide up to 500 ms, 50 ms wide up
// to 5 s, and one bucket for everything longer. Exact count, sum, minimum and maximum beside.
class TAnswerTimeHistogram {
 public:
  static constexpr int kBuckets = 281;

  void Add(int64_t us);
  uint64_t Count() const { return FCount; }
  int64_t MinUs() const { return FCount ? FMinUs : 0; }
  int64_t MaxUs() const { return FCount ? FMaxUs : 0; }
  int64_t MeanUs() const;
  // The p-th percentile (0 < p <= 100): the upper edge of the bucket that holds it, but no more
  // than the longest time seen. 0 while empty.
  int64_t PercentileUs(double p) const;

  // The bucket of a time, and the bucket's edges [LowerUs, UpperUs).
  static int BucketOf(int64_t us);
  static int64_t LowerUs(int bucket);
  static int64_t UpperUs(int bucket);

 private:
  std::array<uint32_t, kBuckets> FBuckets{};
  uint64_t FCount = 0;
  int64_t FSumUs = 0;
  int64_t FMinUs = 0;
  int64_t FMaxUs = 0;
};

struct TLinkCounters {
  uint64_t Exchanges = 0;
  uint64_t Answers = 0;
  uint64_t TimedOut = 0;
  uint64_t Unreadable = 0;
  uint64_t Foreign = 0;
  uint64_t Polls = 0;
  TAnswerTimeHistogram AnswerTimes;  // of the answered exchanges
  int64_t LastExchangeMs = 0;        // wall clock, ms; 0: none yet
  int64_t LastAnswerMs = 0;          // when the last answer's line end came
  int64_t LastFaultMs = 0;           // when the last faulty exchange was written
  uint32_t FaultsInARow = 0;         // exchanges since the last answer

  uint64_t Faults() const { return TimedOut + Unreadable + Foreign; }
  void Add(const TExchangeRecord& record);
};

// A short history of one-second slots for rates over the last seconds.
class TRateWindow {
 public:
  static constexpr int kSeconds = 10;

  void Add(int64_t atMs, double lineSeconds);
  // Exchanges per second and the share of the time the line carried characters (0..1), over
  // the last kSeconds seconds before `nowMs`, or since the first exchange when that is later.
  double ExchangesPerSecond(int64_t nowMs) const;
  double LineShare(int64_t nowMs) const;

 private:
  struct TSlot {
    int64_t Second = -1;
    uint32_t Exchanges = 0;
    double LineSeconds = 0;
  };
  double WindowSeconds(int64_t nowMs) const;
  template <class TValue>
  double Sum(int64_t nowMs, TValue value) const;

  std::array<TSlot, kSeconds + 1> FSlots{};
  int64_t FFirstMs = 0;
};

struct TInterfaceCounters : TLinkCounters {
  TRateWindow Rate;
  uint32_t Baud = 0;  // of the last exchange
};

// A module's link at a glance, for the tree's state image.
enum class TLinkHealth : uint8_t {
  Unknown,  // no exchange yet
  Good,
  Warning,  // faults in the last minute
  Failing,  // polled, and its last polls went unanswered
};

class TLinkStatistics {
 public:
  using TModuleKey = std::pair<int32_t, int>;  // interface number, bus address

  // A module whose last this many exchanges went unanswered while it is polled is failing.
  static constexpr uint32_t kFailingInARow = 3;
  // Faults this recent give a warning.
  static constexpr int64_t kWarningMs = 60'000;

  void Add(const TExchangeRecord& record);
  void Add(const TExchangeBatch& batch);
  // Forgets everything; the figures start again at `nowMs`.
  void Reset(int64_t nowMs);
  // Interfaces were removed and the others numbered anew: the figures of interface `old` go to
  // `newNumbers[old]`, those of an interface missing from the map are dropped, so that no card
  // shows figures measured on another.
  void Renumber(const std::map<int32_t, int32_t>& newNumbers);
  // A module was removed: a card put at its address later starts without its figures.
  void Forget(int32_t ifc, int address);
  int64_t SinceMs() const { return FSinceMs; }

  const TLinkCounters* Module(int32_t ifc, int address) const;
  const TInterfaceCounters* Interface(int32_t ifc) const;
  const std::map<TModuleKey, TLinkCounters>& Modules() const { return FModules; }
  const std::map<int32_t, TInterfaceCounters>& Interfaces() const { return FInterfaces; }
  // Counts every record taken since the program started; never reset.
  uint64_t Taken() const { return FTaken; }
  // Counts the resets and every renumbering or forgetting, so that a view can tell that its
  // figures changed without a new record.
  uint64_t Resets() const { return FResets; }

  static TLinkHealth Health(const TLinkCounters* counters, int64_t nowMs, bool polled);

 private:
  std::map<TModuleKey, TLinkCounters> FModules;
  std::map<int32_t, TInterfaceCounters> FInterfaces;
  int64_t FSinceMs = 0;
  uint64_t FTaken = 0;
  uint64_t FResets = 0;
};
