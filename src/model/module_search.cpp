#include "model/module_search.h"

#include <algorithm>

#include "bus/bus_interface.h"
#include "model/moduls_list.h"
#include "model/workflow_guard.h"
#include "modules/base_modul.h"
#include "support/conversions.h"
#include "support/diagnostics.h"
#include "support/message_sink.h"
#include "support/texts.h"
#include "support/waits.h"

const char* const kSearchEndMarker = "End of Modulsuche";

namespace {

std::string WithoutCR(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text)
    if (c != '\r') out += c;
  return out;
}

}  // namespace

bool IsIdentAnswer(const std::string& answer) {
  return answer.find('#') == 0 && answer.find('[') == 5;
}

bool ParseIdentAnswer(const std::string& entry, TIdentAnswer& out) {
  const std::size_t close = entry.find(']');
  // Positions count from 1 here: the "]" must be the tenth character or later.
  if (close == std::string::npos || close + 1 < 10) return false;
  const std::string inner = entry.substr(6, close - 6);
  const std::size_t dot = inner.find('.');
  TIdentAnswer parsed;
  if (dot == std::string::npos) {
    parsed.Version = inner;
  } else {
    parsed.TypeName = UpperCase(inner.substr(0, dot));
    parsed.Version = inner.substr(dot + 1);
  }
  parsed.Address = TextToInt("$" + entry.substr(1, 2), -1);
  if (parsed.Address < 0) return false;
  out = parsed;
  return true;
}

uint32_t SearchTimeLimitMs(int addressCount, uint32_t timeoutMs) {
  const uint64_t perAddress = static_cast<uint64_t>(timeoutMs) + 50;
  const uint64_t queued = (static_cast<uint64_t>(std::max(addressCount, 0)) + 1) * perAddress;
  const uint64_t limit = std::max<uint64_t>(60000, queued);
  return static_cast<uint32_t>(std::min<uint64_t>(limit, UINT32_MAX - 1));
}

int SearchLastAddress() {
  return IsDeveloperMode() ? 0x79 : 255;
}

std::shared_ptr<TModulSearch> TModulSearch::Create(TModulsList& list, TRS485IFC& ifc) {
  return std::shared_ptr<TModulSearch>(new TModulSearch(list, ifc));
}

TModulSearch::TModulSearch(TModulsList& list, TRS485IFC& ifc)
    : Wait(WaitWithMessagesUntil), FList(list), FIfc(ifc) {}

bool TModulSearch::Stopped(const TWorkflowGuard& guard) const {
  return guard.Cancelled() || FCancelled->load();
}

void TModulSearch::Cancel() {
  FCancelled->store(true);
}

TCommandOptions TModulSearch::QueryOptions(int address) {
  TCommandOptions options;
  options.Cancelled = FCancelled;
  std::weak_ptr<TModulSearch> weak = weak_from_this();
  options.OnSent = [weak, address] {
    std::shared_ptr<TModulSearch> self = weak.lock();
    if (!self || self->FCancelled->load()) return;
    if (self->OnAsking) self->OnAsking(address);
    if (self->FProgressOnLine && self->OnProgress) self->OnProgress("$" + IntToHexText(address, 2));
  };
  return options;
}

void TModulSearch::ReportGaveUp(int32_t number, uint32_t limitMs) const {
  const TText why =
      FIfc.Active()
          ? TrText("TModulSearch", "Suchende nicht innerhalb von %1 ms zurück").Arg(limitMs)
          : TrText("TModulSearch", "Interface nicht mehr verbunden");
  ReportMessage(
      TrText("TModulSearch", "Modulsuche IFC(%1) abgebrochen: %2, keine Module übernommen. ")
          .Arg(number)
          .Arg(why),
      1);
}

bool TModulSearch::EndMarkerBack() const {
  return !SearchAnswers.empty() && SearchAnswers.back().compare(0, 17, kSearchEndMarker) == 0;
}

TModulSearch::TResult TModulSearch::Run() {
  TWorkflowGuard guard(&FIfc, TrText("TModulSearch", "Modulsuche"));
  if (!guard.Acquired()) return srBusy;
  if (!FIfc.Active()) return srNotConnected;
  FCancelled = std::make_shared<std::atomic<bool>>(false);
  FProgressOnLine = false;
  SearchAnswers.clear();
  Added.clear();
  const int32_t number = FIfc.IfcNumber();
  std::shared_ptr<TModulSearch> self = shared_from_this();
  const TAnswerHandler handler = [self](const std::string& command, const std::string& answer) {
    self->OnSearchAnswer(command, answer);
  };

  const int last = std::clamp(LastAddress, 0, 255);
  for (int address = 0; address <= last; ++address) {
    if (Stopped(guard)) return srCancelled;
    const std::string hex = IntToHexText(address, 2);
    if (OnProgress) OnProgress("$" + hex);
    FIfc.AddCommand("?" + hex + "010000", handler, QueryOptions(address));
    // The queries must reach the bus master spaced out, but the window keeps serving events
    // meanwhile: the answers that come in only land in SearchAnswers.
    Wait([&] { return Stopped(guard); }, GapMs);
  }
  if (Stopped(guard)) return srCancelled;
  TCommandOptions markerOptions;
  markerOptions.Cancelled = FCancelled;
  FIfc.AddCommand(kSearchEndMarker, handler, markerOptions);

  const uint32_t limit = SearchTimeLimitMs(last + 1, FIfc.Timeout());
  // Once the interface drops its connection its queue is gone and the marker cannot come back.
  Wait([&] { return Stopped(guard) || EndMarkerBack() || !FIfc.Active(); }, limit);
  if (Stopped(guard)) return srCancelled;
  if (!EndMarkerBack()) {
    ReportGaveUp(number, limit);
    return srGaveUp;
  }
  TakeIn();
  return srDone;
}

void TModulSearch::OnSearchAnswer(const std::string& command, const std::string& answer) {
  if (command == kSearchEndMarker) {
    SearchAnswers.push_back(command);
    return;
  }
  if (!IsIdentAnswer(answer)) return;
  const std::string clean = WithoutCR(answer);
  if (OnAnswer) OnAnswer(clean);
  SearchAnswers.push_back(clean);
}

std::vector<TModulsItem*> TModulSearch::TakeIn() {
  std::vector<TModulsItem*> added;
  for (const std::string& entry : SearchAnswers) {
    TIdentAnswer ident;
    if (!ParseIdentAnswer(entry, ident)) continue;
    if (ident.Address > 255 || FIfc.FindModule(static_cast<uint8_t>(ident.Address)) >= 0) continue;
    TModulsItem* item = FList.AddModul("T" + ident.TypeName, &FIfc, ident.Address);
    if (!item || !item->Modul) continue;
    if (OnModulAdded) OnModulAdded(item);
    item->Modul->Firmware = ident.TypeName + "." + ident.Version;
    added.push_back(item);
  }
  Added.insert(Added.end(), added.begin(), added.end());
  return added;
}
