#include "model/traffic_log.h"

#include <algorithm>
#include <cctype>

#include "bus/bus_interface.h"
#include "model/moduls_list.h"
#include "model/traffic_format.h"
#include "modules/base_modul.h"

// ---- ring --------------------------------------------------------------------------------------

TTrafficRing::TTrafficRing(std::size_t capacity) : FCapacity(std::max<std::size_t>(capacity, 1)) {}

void TTrafficRing::Append(TTrafficRow row) {
  if (FRows.size() >= FCapacity) {
    FRows.pop_front();
    ++FFirstSeq;
  }
  FRows.push_back(std::move(row));
}

void TTrafficRing::Clear() {
  FFirstSeq += FRows.size();
  FRows.clear();
}

const TTrafficRow* TTrafficRing::At(uint64_t seq) const {
  if (seq < FFirstSeq || seq >= EndSeq()) return nullptr;
  return &FRows[static_cast<std::size_t>(seq - FFirstSeq)];
}

// ---- filter ------------------------------------------------------------------------------------

namespace {

bool ContainsNoCase(const std::string& text, const std::string& lowerNeedle) {
  const auto it =
      std::search(text.begin(), text.end(), lowerNeedle.begin(), lowerNeedle.end(),
                  [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
  return it != text.end();
}

}  // namespace

bool TTrafficFilter::Matches(const TTrafficRow& row) const {
  const TExchangeRecord& r = row.Record;
  if (Ifc >= 0 && r.IfcNumber != Ifc) return false;
  if (Address >= 0 && r.Address() != Address) return false;
  if (HidePolls && r.Poll) return false;
  if (OnlyFaults && !r.IsFault()) return false;
  if (Text.empty()) return true;
  std::string needle = Text;
  for (char& c : needle)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ContainsNoCase(AddressText(r.Address()), needle) ||
         ContainsNoCase(row.ClassName, needle) || ContainsNoCase(ShownCommand(r), needle) ||
         ContainsNoCase(ShownAnswer(r), needle);
}

// ---- model lookup ------------------------------------------------------------------------------

const TBaseModul* ModuleAt(const TModulsList& list, int32_t ifc, int address) {
  if (address < 0 || address > 255) return nullptr;
  const TRS485IFC* interface = list.IFCByNumber(ifc);
  if (!interface) return nullptr;
  const int index = interface->FindModule(static_cast<uint8_t>(address));
  if (index < 0) return nullptr;
  return dynamic_cast<const TBaseModul*>(interface->Item(index));
}

const char* ModuleClassAt(const TModulsList& list, int32_t ifc, int address) {
  const TBaseModul* modul = ModuleAt(list, ifc, address);
  return modul ? modul->ClassName() : "";
}

bool ModulePolled(const TModulsList& list, int32_t ifc, int address) {
  const TBaseModul* modul = ModuleAt(list, ifc, address);
  const TRS485IFC* interface = list.IFCByNumber(ifc);
  return modul && modul->Polling && interface && interface->Active();
}

// ---- traffic of the window ---------------------------------------------------------------------

TBusTraffic::TBusTraffic(std::function<const char*(int32_t, int)> classOf, std::size_t capacity)
    : FClassOf(std::move(classOf)), FRing(capacity) {
  FStatistics.Reset(WallClockMs());
}

void TBusTraffic::Add(const TExchangeBatch& batch) {
  if (batch.empty()) return;
  FStatistics.Add(batch);
  for (const TExchangeRecord& record : batch) {
    const char* className = FClassOf ? FClassOf(record.IfcNumber, record.Address()) : "";
    FRing.Append({record, className ? className : ""});
  }
  if (OnAdded) OnAdded();
}
