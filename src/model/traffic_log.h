#pragma once
// What is kept of the bus traffic for a user diagnosing a layout: the last exchanges in a ring
// of bounded size, each with the class of the module it was meant for, the filter the traffic
// monitor applies to them, and the link statistics. Plain data, main thread only.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>

#include "bus/exchange_record.h"
#include "bus/link_statistics.h"

class TModulsList;

struct TTrafficRow {
  TExchangeRecord Record;
  const char* ClassName = "";  // of the module at the command's address when it was recorded
};

// The last `capacity` rows. Every row gets a sequence number that stays with it, so a view can
// tell which of its rows are gone from the front.
class TTrafficRing {
 public:
  static constexpr std::size_t kDefaultCapacity = 100'000;

  explicit TTrafficRing(std::size_t capacity = kDefaultCapacity);
  void Append(TTrafficRow row);
  // Drops every row; sequence numbers go on from where they were.
  void Clear();

  std::size_t Capacity() const { return FCapacity; }
  std::size_t Size() const { return FRows.size(); }
  uint64_t FirstSeq() const { return FFirstSeq; }               // of the oldest row kept
  uint64_t EndSeq() const { return FFirstSeq + FRows.size(); }  // one past the newest
  // The row with this sequence number, or none when it was dropped or is yet to come.
  const TTrafficRow* At(uint64_t seq) const;

 private:
  std::size_t FCapacity;
  std::deque<TTrafficRow> FRows;
  uint64_t FFirstSeq = 0;
};

// Which rows the monitor shows.
struct TTrafficFilter {
  int32_t Ifc = -1;  // interface number; -1: all
  int Address = -1;  // module address on that interface (or on any); -1: all
  bool HidePolls = false;
  bool OnlyFaults = false;
  std::string Text;  // found in address, class, command or answer, letter case ignored

  bool Matches(const TTrafficRow& row) const;
};

class TBaseModul;

// The module at an address of the interface with this number, or none.
const TBaseModul* ModuleAt(const TModulsList& list, int32_t ifc, int address);
// Its class name, or "".
const char* ModuleClassAt(const TModulsList& list, int32_t ifc, int address);
// Whether the module there is polled now: its polling is on and its interface connected.
bool ModulePolled(const TModulsList& list, int32_t ifc, int address);

// The traffic of every interface of the main window: the bus masters' records land here and go
// into the statistics and the ring.
class TBusTraffic {
 public:
  explicit TBusTraffic(std::function<const char*(int32_t ifc, int address)> classOf = {},
                       std::size_t capacity = TTrafficRing::kDefaultCapacity);

  void Add(const TExchangeBatch& batch);
  void ResetStatistics() { FStatistics.Reset(WallClockMs()); }
  TLinkStatistics& Statistics() { return FStatistics; }

  const TLinkStatistics& Statistics() const { return FStatistics; }
  TTrafficRing& Ring() { return FRing; }
  const TTrafficRing& Ring() const { return FRing; }

  // Called after every batch was added (one listener: the monitor window).
  std::function<void()> OnAdded;

 private:
  std::function<const char*(int32_t, int)> FClassOf;
  TLinkStatistics FStatistics;
  TTrafficRing FRing;
};
