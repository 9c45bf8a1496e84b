// The quick module search. Almost all of a full search's time goes on waiting out the time-out
// at addresses where no card sits, although cards answer within a few ms. The quick search asks
// every address with a time-out just long enough for a prompt card; a card that answers later
// still shows itself, because its answer carries its address: it arrives while a later query
// waits, or is dropped before a later command. Such an address, and one whose answer came
// garbled, is asked once more with the interface's full time-out.

#include <algorithm>
#include <chrono>

#include "bus/bus_interface.h"
#include "model/module_search.h"
#include "model/workflow_guard.h"
#include "support/conversions.h"
#include "support/message_sink.h"
#include "support/texts.h"

namespace {

// The shortest identification answer the search takes in, "#1E01[X.1]" CR LF. A card with a
// longer one has the 20 ms for it; one that does not make it comes late and is asked again.
constexpr uint64_t kIdentAnswerChars = 12;
// The query "?AA010000" and its CR.
constexpr uint64_t kQueryChars = 10;
// What a card may take to answer, beyond the line time.
constexpr uint64_t kCardMarginUs = 20'000;
// How often one address is asked again with the full time-out at most.
constexpr uint8_t kMaxAskedAgain = 3;

// The address a line of received text claims to come from: "#" and two hexadecimal digits.
int AnswerAddress(const std::string& line) {
  if (line.size() < 3 || line[0] != '#') return -1;
  auto hex = [](char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
  };
  if (!hex(line[1]) || !hex(line[2])) return -1;
  return TextToInt("$" + line.substr(1, 2), -1);
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    line.erase(std::remove(line.begin(), line.end(), '\r'), line.end());
    if (!line.empty()) lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

std::string WithoutCR(const std::string& text) {
  std::string out = text;
  out.erase(std::remove(out.begin(), out.end(), '\r'), out.end());
  return out;
}

}  // namespace

uint32_t QuickSearchTimeoutMs(uint32_t baud, uint32_t fullTimeoutMs) {
  if (baud == 0) baud = 9600;
  const uint64_t lineUs = (kQueryChars + kIdentAnswerChars) * 10 * 1'000'000 / baud;
  const uint64_t totalUs = lineUs + kCardMarginUs;
  const uint64_t queryOutUs = TSer485BusMaster::TransmitWaitUs(kQueryChars - 1, baud);
  const uint64_t waitUs = totalUs > queryOutUs ? totalUs - queryOutUs : 1000;
  const uint32_t ms = static_cast<uint32_t>((waitUs + 999) / 1000);
  return fullTimeoutMs > 0 ? std::min(ms, fullTimeoutMs) : ms;
}

void TModulSearch::AskAgain(int address) {
  if (address < 0 || address >= static_cast<int>(FState.size())) return;
  const auto at = static_cast<std::size_t>(address);
  // A card whose answers keep being pushed aside or garbled is not asked for ever.
  if (FState[at] == asAnswered || FAskedAgain[at] >= kMaxAskedAgain) return;
  FState[at] = asAskedAgain;
  ++FAskedAgain[at];
  QueueQuery(address, FFullTimeoutMs);
}

void TModulSearch::MarkSilent(int address) {
  const auto at = static_cast<std::size_t>(address);
  if (FState[at] != asQueued) return;
  FState[at] = asSilent;
  FSilentInTurn.push_back(address);
}

void TModulSearch::QueueQuery(int address, uint32_t timeoutMs) {
  std::shared_ptr<TModulSearch> self = shared_from_this();
  TCommandOptions options = QueryOptions(address);
  options.TimeoutMs = timeoutMs;
  options.QuietTimeout = true;
  const bool queued = FIfc.AddCommand(
      "?" + IntToHexText(address, 2) + "010000",
      [self, address](const std::string&, const std::string& answer) {
        --self->FOutstanding;
        self->QuickAnswer(address, answer);
      },
      options);
  if (queued) ++FOutstanding;
}

void TModulSearch::QuickAnswer(int asked, const std::string& answer) {
  if (FCancelled->load()) return;
  const auto at = static_cast<std::size_t>(asked);
  const std::vector<std::string> lines = Lines(answer);
  TIdentAnswer ident;
  if (!lines.empty() && AnswerAddress(lines.front()) == asked && IsIdentAnswer(lines.front()) &&
      ParseIdentAnswer(lines.front(), ident)) {
    if (FState[at] == asAnswered) return;
    FState[at] = asAnswered;
    const std::string clean = WithoutCR(answer);
    if (OnAnswer) OnAnswer(clean);
    SearchAnswers.push_back(clean);
    return;
  }
  const int from = lines.empty() ? -1 : AnswerAddress(lines.front());
  const bool pushedAside = from >= 0 && from != asked && IsIdentAnswer(lines.front());
  if (lines.empty() || (pushedAside && !FSeen[at] && FState[at] == asQueued)) {
    // Silence within the short time-out, or only another card's late answer: an answer of this
    // address that comes later is seen by QuickSeen. Silence at the full time-out: no card.
    MarkSilent(asked);
    return;
  }
  // Garbled, or another card's late answer took this query's turn and this card's own answer
  // was dropped behind it. The second may befall an ask with the full time-out as well, as the
  // last short queries' late answers come while it waits; only that calls for one more.
  if (FState[at] == asAskedAgain && !pushedAside) return;
  AskAgain(asked);
}

void TModulSearch::QuickSeen(const std::string& text) {
  if (FCancelled->load()) return;
  // Every piece of received text passes here before the handler of the exchange it came in:
  // an identification line of an address whose short wait is already over came late.
  for (const std::string& line : Lines(text)) {
    const int from = AnswerAddress(line);
    if (from < 0) {
      // No address to read: noise, or the rest of a late answer whose start ("#" or "#F") was
      // dropped before the next command went out. Its card is one of those whose short wait
      // ended within the last full time-out; they are asked again.
      const std::size_t recent = std::min(FSilentInTurn.size(), FLateWindow);
      const std::vector<int> suspects(FSilentInTurn.end() - static_cast<std::ptrdiff_t>(recent),
                                      FSilentInTurn.end());
      for (const int address : suspects)
        if (FState[static_cast<std::size_t>(address)] == asSilent) AskAgain(address);
      continue;
    }
    if (from >= static_cast<int>(FState.size())) continue;
    FSeen[static_cast<std::size_t>(from)] = true;
    if (FState[static_cast<std::size_t>(from)] == asSilent) AskAgain(from);
  }
}

TModulSearch::TResult TModulSearch::RunQuick() {
  TWorkflowGuard guard(&FIfc, TrText("TModulSearch", "Modulsuche"));
  if (!guard.Acquired()) return srBusy;
  if (!FIfc.Active()) return srNotConnected;
  FCancelled = std::make_shared<std::atomic<bool>>(false);
  SearchAnswers.clear();
  Added.clear();
  Unanswered = 0;
  const int32_t number = FIfc.IfcNumber();
  const int last = std::clamp(LastAddress, 0, 255);
  FState.assign(static_cast<std::size_t>(last) + 1, asQueued);
  FAskedAgain.assign(FState.size(), 0);
  FSeen.assign(FState.size(), false);
  FOutstanding = 0;
  FFullTimeoutMs = FIfc.Timeout();
  FProgressOnLine = true;
  const uint32_t quickTimeoutMs = QuickSearchTimeoutMs(FIfc.Baud(), FFullTimeoutMs);
  // Each short query takes at least its time-out: no more addresses than this ended their wait
  // within one full time-out.
  FSilentInTurn.clear();
  FLateWindow = FFullTimeoutMs / std::max<uint32_t>(quickTimeoutMs, 1) + 2;

  // A late answer may land anywhere: in a later query's answer, in a poll of a card already
  // known, or among text the bus master dropped. Everything received is looked at; the
  // observers already there keep getting it.
  TSer485BusMaster& master = FIfc.BusMaster();
  struct TRestore {
    TSer485BusMaster& Master;
    const TWorkflowGuard& Guard;
    std::function<void(const std::string&)> Received;
    std::function<void(const TDroppedInput&)> Dropped;
    ~TRestore() {
      // Called off by the window taking the model apart: the interface may be gone already.
      if (Guard.Cancelled()) return;
      Master.SetOnReceived(Received);
      Master.SetOnDropped(Dropped);
    }
  } restore{master, guard, master.OnReceived(), master.OnDropped()};
  std::weak_ptr<TModulSearch> weak = weak_from_this();
  master.SetOnReceived([weak, before = restore.Received](const std::string& text) {
    if (before) before(text);
    if (std::shared_ptr<TModulSearch> self = weak.lock()) self->QuickSeen(text);
  });
  master.SetOnDropped([weak, before = restore.Dropped](const TDroppedInput& dropped) {
    if (before) before(dropped);
    if (std::shared_ptr<TModulSearch> self = weak.lock()) self->QuickSeen(dropped.Text);
  });

  for (int address = 0; address <= last; ++address)
    QueueQuery(address, quickTimeoutMs);

  // Once the queries are through, the end marker waits the full time-out for the late answers
  // of the last addresses; addresses asked again meanwhile are waited for as well.
  const uint32_t limit = SearchTimeLimitMs(last + 1, FFullTimeoutMs);
  const auto started = std::chrono::steady_clock::now();
  auto stopped = [&] { return Stopped(guard) || !FIfc.Active(); };
  Wait([&] { return stopped() || FOutstanding == 0; }, limit);
  FMarkerBack = false;
  if (!stopped() && FOutstanding == 0) {
    std::shared_ptr<TModulSearch> self = shared_from_this();
    TCommandOptions options;
    options.Cancelled = FCancelled;
    options.TimeoutMs = FFullTimeoutMs;
    options.QuietTimeout = true;
    const bool queued = FIfc.AddCommand(
        kSearchEndMarker,
        [self](const std::string&, const std::string&) {
          --self->FOutstanding;
          self->FMarkerBack = true;
        },
        options);
    if (queued) ++FOutstanding;
    const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::steady_clock::now() - started)
                           .count();
    const uint32_t left = static_cast<uint32_t>(std::max<int64_t>(limit - spent, 0));
    Wait([&] { return stopped() || (FMarkerBack && FOutstanding == 0); }, left);
  }
  if (Stopped(guard)) {
    FCancelled->store(true);
    return srCancelled;
  }
  if (!FMarkerBack || FOutstanding > 0) {
    ReportGaveUp(number, limit);
    FCancelled->store(true);
    return srGaveUp;
  }
  Unanswered = static_cast<int>(
      std::count_if(FState.begin(), FState.end(), [](TAddressState s) { return s != asAnswered; }));
  ReportMessage(TrText("TModulSearch", "Modulsuche IFC(%1): %2 Adressen ohne Antwort")
                    .Arg(number)
                    .Arg(Unanswered),
                1);
  // Cards asked again answered out of turn: take them in in address order, as the full search
  // does.
  std::stable_sort(SearchAnswers.begin(), SearchAnswers.end(),
                   [](const std::string& a, const std::string& b) {
                     return AnswerAddress(a) < AnswerAddress(b);
                   });
  SearchAnswers.push_back(kSearchEndMarker);
  TakeIn();
  return srDone;
}
