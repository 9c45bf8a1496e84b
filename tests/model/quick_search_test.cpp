// The quick search against the simulated cards: short time-outs, a card that answers late and a
// card whose first answer comes garbled; it must find exactly what the full search finds.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <mutex>

#include "bus/bus_interface.h"
#include "fakes/manual_clock.h"
#include "fakes/recording_sink.h"
#include "model/module_search.h"
#include "model/moduls_list.h"
#include "model/workflow_guard.h"
#include "modules/base_modul.h"
#include "sim/sim_bus.h"
#include "sim/sim_serial_line.h"
#include "sim/sim_simple_cards.h"
#include "support/conversions.h"
#include "support/main_thread.h"
#include "support/waits.h"

namespace {

// The simulated bus's line, recording what is written and garbling the first identification
// answer of one card: it loses its "]", or, after the query `NamelessAfter`, its "#", so that it
// names no address (this works character by character, with the line time emulated).
class TGarblingLine : public TSerialLine {
 public:
  struct TShared {
    std::mutex Mutex;
    std::vector<std::string> Writes;  // without prefix and CR
    std::string GarbleFirst;          // e.g. "#3201[": its first answer loses its "]"
    bool Garbled = false;
    std::string NamelessAfter;  // e.g. "?32010000"
    bool Armed = false;
  };

  TGarblingLine(TSimBus& bus, std::shared_ptr<TShared> shared)
      : FLine(MakeSimSerialLine(bus)), FShared(std::move(shared)) {}

  void Open(const std::string& port, uint32_t baud) override { FLine->Open(port, baud); }
  void Close() override { FLine->Close(); }
  bool IsOpen() const override { return FLine->IsOpen(); }
  void SetDTR(bool on) override { FLine->SetDTR(on); }
  void Interrupt() override { FLine->Interrupt(); }
  bool Write(const std::string& bytes) override {
    {
      std::lock_guard<std::mutex> lock(FShared->Mutex);
      std::string line = bytes.substr(0, bytes.size() - 1);
      FShared->Writes.push_back(line.substr(line.rfind('\r') + 1));
      if (!FShared->Garbled && !FShared->NamelessAfter.empty() &&
          FShared->Writes.back() == FShared->NamelessAfter)
        FShared->Armed = true;
    }
    return FLine->Write(bytes);
  }
  TReadResult Read(int64_t maxWaitUs) override {
    TReadResult result = FLine->Read(maxWaitUs);
    std::lock_guard<std::mutex> lock(FShared->Mutex);
    const std::size_t hash = FShared->Armed ? result.Bytes.find('#') : std::string::npos;
    if (hash != std::string::npos) {
      result.Bytes[hash] = '~';
      FShared->Armed = false;
      FShared->Garbled = true;
    }
    const std::size_t at =
        FShared->GarbleFirst.empty() ? std::string::npos : result.Bytes.find(FShared->GarbleFirst);
    if (!FShared->Garbled && at != std::string::npos) {
      const std::size_t close = result.Bytes.find(']', at);
      if (close != std::string::npos) result.Bytes[close] = '?';
      FShared->Garbled = true;
    }
    return result;
  }

 private:
  std::unique_ptr<TSerialLine> FLine;
  std::shared_ptr<TShared> FShared;
};

struct TSearchRun {
  TModulSearch::TResult Result = TModulSearch::srGaveUp;
  std::vector<std::string> Found;  // "$1E TMXB01 MXB01.2.1"
  std::vector<std::string> Writes;
  std::vector<int> Asking;          // the addresses OnAsking reported, in order
  bool AskingAfterWrite = true;     // every reported address had been written already
  std::vector<std::string> Report;  // the log
};

// One search over a fresh simulated bus with the default cards; the card at $20 answers only
// after 150 ms, and the card whose answer starts with `garble` garbles its first one.
TSearchRun Search(bool quick, const std::string& garble, bool pollKnownCard = false) {
  TManualClock clock;
  TSimBus bus(clock);
  bus.AddDefaultCards();
  TSimFaults slow;
  slow.Slow = true;
  slow.SlowAnswerDelayUs = 150'000;
  bus.SetFaults(0x20, slow);
  auto shared = std::make_shared<TGarblingLine::TShared>();
  shared->GarbleFirst = garble;

  TRecordingSink sink;
  TSearchRun run;
  {
    TModulsList list(&clock);
    list.OnInterfaceCreated = [&](TRS485IFC& ifc) {
      ifc.BusMaster().ComPort().SetLineCreator(
          [&bus, shared] { return std::make_unique<TGarblingLine>(bus, shared); });
    };
    TRS485IFC* ifc = list.AddIFC("TRS485IFC")->IFC;
    ifc->SetBaud(19200);
    if (pollKnownCard) {
      // A card already in the model, polled every other exchange: a late answer may land in
      // one of its polls instead of a later query.
      TModulsItem* known = list.AddModul("TMXB01", ifc, 0x1E);
      EXPECT_TRUE(known && known->Modul);
      if (known && known->Modul) known->Modul->SetAktiv(true);
      ifc->SetPollPriority(1);
    }
    ifc->SetActive(true);
    EXPECT_TRUE(ifc->Active());
    std::shared_ptr<TModulSearch> search = TModulSearch::Create(list, *ifc);
    search->GapMs = 0;
    search->OnAsking = [&](int address) {
      run.Asking.push_back(address);
      const std::string query = "?" + IntToHexText(address, 2) + "010000";
      std::lock_guard<std::mutex> lock(shared->Mutex);
      if (std::find(shared->Writes.begin(), shared->Writes.end(), query) == shared->Writes.end())
        run.AskingAfterWrite = false;
    };
    run.Result = quick ? search->RunQuick() : search->Run();
    for (TModulsItem* item : search->Added)
      run.Found.push_back(item->Modul->AdresseText() + " " + item->Modul->ClassName() + " " +
                          item->Modul->Firmware);
    ifc->SetActive(false);
    MainThread().PumpPending();
    list.RemoveAll();
  }
  std::lock_guard<std::mutex> lock(shared->Mutex);
  run.Writes = shared->Writes;
  run.Report = sink.Lines();
  return run;
}

std::size_t CountOf(const std::vector<std::string>& lines, const std::string& prefix) {
  return static_cast<std::size_t>(std::count_if(lines.begin(), lines.end(), [&](const auto& l) {
    return l.compare(0, prefix.size(), prefix) == 0;
  }));
}

class QuickSearchTest : public ::testing::Test {
 protected:
  void SetUp() override { InstallQtMainThreadWaker(); }
  void TearDown() override { RemoveQtMainThreadWaker(); }
};

TEST_F(QuickSearchTest, FindsWhatTheFullSearchFindsDespiteALateAndAGarbledCard) {
  const TSearchRun full = Search(false, "");
  ASSERT_EQ(full.Result, TModulSearch::srDone);
  ASSERT_EQ(full.Found, (std::vector<std::string>{
                            "$1E TMXB01 MXB01.2.1", "$20 THDX01 HDX01.1.3", "$32 TMXB02 MXB02.1.5",
                            "$40 TRS485Dummy LSX04.3.0", "$7F TIFCPorts IFC485PX8.1.0"}));

  const TSearchRun quick = Search(true, "#3201[");
  ASSERT_EQ(quick.Result, TModulSearch::srDone);
  EXPECT_EQ(quick.Found, full.Found);

  // Every address once; the late card and the garbled one a second time, and nothing else (not
  // the empty address whose turn the late answer took).
  std::map<std::string, int> asked;
  for (const std::string& w : quick.Writes)
    ++asked[w];
  std::vector<int> again;
  for (int address = 0; address <= 255; ++address) {
    const std::string query = "?" + IntToHexText(address, 2) + "010000";
    EXPECT_GE(asked[query], 1) << query;
    EXPECT_LE(asked[query], 2) << query;
    if (asked[query] > 1) again.push_back(address);
  }
  EXPECT_EQ(again, (std::vector<int>{0x20, 0x32}));
  EXPECT_EQ(asked["End of Modulsuche"], 1);
  // (After the search, the bus master starts polling the cards it took in.)
  const auto searchLines = std::count_if(quick.Writes.begin(), quick.Writes.end(), [](auto& w) {
    return w == "End of Modulsuche" || (w.size() == 9 && w.compare(3, 6, "010000") == 0);
  });
  EXPECT_EQ(searchLines, 256 + static_cast<long>(again.size()) + 1);

  // The progress follows the line: each address once it was written, in the order written.
  EXPECT_TRUE(quick.AskingAfterWrite);
  std::vector<int> written;
  for (const std::string& w : quick.Writes)
    if (w.size() == 9 && w.compare(3, 6, "010000") == 0)
      written.push_back(TextToInt("$" + w.substr(1, 2), -1));
  EXPECT_EQ(quick.Asking, written);

  // One summary instead of a time-out line per empty address.
  EXPECT_EQ(CountOf(quick.Report, "TimeOut"), 0u);
  EXPECT_EQ(CountOf(quick.Report, "Modulsuche IFC(0): 251 Adressen ohne Antwort"), 1u);
  EXPECT_GT(CountOf(full.Report, "TimeOut, Modul antwortet nicht! "), 250u);
}

TEST_F(QuickSearchTest, FindsTheLateCardWhileAKnownCardIsPolled) {
  const TSearchRun full = Search(false, "", true);
  ASSERT_EQ(full.Result, TModulSearch::srDone);
  ASSERT_EQ(full.Found,
            (std::vector<std::string>{"$20 THDX01 HDX01.1.3", "$32 TMXB02 MXB02.1.5",
                                      "$40 TRS485Dummy LSX04.3.0", "$7F TIFCPorts IFC485PX8.1.0"}));
  const TSearchRun quick = Search(true, "", true);
  ASSERT_EQ(quick.Result, TModulSearch::srDone);
  EXPECT_EQ(quick.Found, full.Found);
}

TEST_F(QuickSearchTest, AnswerTimeOutCoversTheLineTimeAndTwentyMilliseconds) {
  struct {
    uint32_t Baud;
    uint32_t Full;
    uint32_t Expected;
  } cases[] = {
      // 22 characters and 20 ms from the start of the query, of which the bus master spends
      // the query's line time and one character before it waits for the answer.
      {9600, 200, 32},
      {19200, 200, 26},
      {9600, 20, 20},  // never beyond the interface's own time-out
      {0, 200, 32},    // no rate set: 9600
  };
  for (const auto& c : cases)
    EXPECT_EQ(QuickSearchTimeoutMs(c.Baud, c.Full), c.Expected) << c.Baud << " " << c.Full;
}

// Cancelling either search leaves its remaining queries unsent.
TEST_F(QuickSearchTest, CancelDropsTheQueuedQueries) {
  for (const bool quick : {false, true}) {
    TManualClock clock;
    TSimBus bus(clock);
    bus.AddDefaultCards();
    TRecordingSink sink;
    TModulsList list(&clock);
    auto shared = std::make_shared<TGarblingLine::TShared>();
    list.OnInterfaceCreated = [&](TRS485IFC& ifc) {
      ifc.BusMaster().ComPort().SetLineCreator(
          [&bus, shared] { return std::make_unique<TGarblingLine>(bus, shared); });
    };
    TRS485IFC* ifc = list.AddIFC("TRS485IFC")->IFC;
    ifc->SetActive(true);
    std::shared_ptr<TModulSearch> search = TModulSearch::Create(list, *ifc);
    search->GapMs = 0;
    search->OnAsking = [&](int address) {
      if (address == 0x10) search->Cancel();
    };
    EXPECT_EQ(quick ? search->RunQuick() : search->Run(), TModulSearch::srCancelled);
    EXPECT_TRUE(ifc->BusMaster().WaitQueueEmpty(std::chrono::seconds(5)));
    EXPECT_TRUE(search->Added.empty());
    EXPECT_FALSE(TWorkflowGuard::IsBusy(ifc));
    ifc->SetActive(false);
    std::lock_guard<std::mutex> lock(shared->Mutex);
    // The query in its exchange when the cancel came, and perhaps the next one, but not 200 more.
    EXPECT_LT(shared->Writes.size(), 0x10u + 5u) << (quick ? "quick" : "full");
    EXPECT_EQ(std::count(shared->Writes.begin(), shared->Writes.end(), "End of Modulsuche"), 0);
  }
}

}  // namespace

namespace {

// A quick search over the default cards plus a card at $FF that answers `lastDelayUs` after
// each query, on a line that takes its time for every character (a late answer may be cut by
// the next query); the first answer of $32 comes without its "#" when `garble` is set.
std::vector<std::string> QuickSearchWithLateLastCard(int64_t lastDelayUs, bool garble) {
  TManualClock clock;
  TSimBus bus(clock);
  bus.AddDefaultCards();
  bus.Add<TSimUnknownCard>(0xFF);
  bus.SetEmulateLineTime(true);
  TSimFaults slow;
  slow.Slow = true;
  slow.SlowAnswerDelayUs = lastDelayUs;
  bus.SetFaults(0xFF, slow);
  auto shared = std::make_shared<TGarblingLine::TShared>();
  if (garble) shared->NamelessAfter = "?32010000";
  TRecordingSink sink;
  std::vector<std::string> found;
  TModulsList list(&clock);
  list.OnInterfaceCreated = [&](TRS485IFC& ifc) {
    ifc.BusMaster().ComPort().SetLineCreator(
        [&bus, shared] { return std::make_unique<TGarblingLine>(bus, shared); });
  };
  TRS485IFC* ifc = list.AddIFC("TRS485IFC")->IFC;
  ifc->SetBaud(19200);
  ifc->SetActive(true);
  EXPECT_TRUE(ifc->Active());
  std::shared_ptr<TModulSearch> search = TModulSearch::Create(list, *ifc);
  EXPECT_EQ(search->RunQuick(), TModulSearch::srDone);
  for (TModulsItem* item : search->Added)
    found.push_back(item->Modul->AdresseText());
  ifc->SetActive(false);
  MainThread().PumpPending();
  list.RemoveAll();
  return found;
}

// Every card that answers within the interface's time-out is found, whenever the late card's
// answer comes, also when it takes the turn of a garbled card's second query.
TEST_F(QuickSearchTest, EveryDelayWithinTheFullTimeOutIsFound) {
  const std::vector<std::string> all = {"$1E", "$20", "$32", "$40", "$7F", "$FF"};
  std::vector<int64_t> delays;
  for (int64_t delayUs = 1'000; delayUs < 190'000; delayUs += 3'000)
    delays.push_back(delayUs);
  // Around the short time-out, finer: where the late answer meets the next query's answer.
  for (int64_t delayUs = 20'000; delayUs < 40'000; delayUs += 250)
    delays.push_back(delayUs);
  for (const bool garble : {false, true})
    for (const int64_t delayUs : delays)
      EXPECT_EQ(QuickSearchWithLateLastCard(delayUs, garble), all)
          << "late card after " << delayUs << " us, garbled $32: " << garble;
}

}  // namespace

namespace {

// The window takes the model apart when it closes, also while a search waits for answers: it
// calls the workflows off and removes every interface. The search then returns without
// touching the interface any more.
TEST_F(QuickSearchTest, ModelTakenApartWhileEitherSearchWaits) {
  for (const bool quick : {false, true}) {
    TSimBus bus;
    bus.AddDefaultCards();
    TRecordingSink sink;
    TModulsList list;
    list.OnInterfaceCreated = [&](TRS485IFC& ifc) {
      ifc.BusMaster().ComPort().SetLineCreator([&bus] { return MakeSimSerialLine(bus); });
    };
    TRS485IFC* ifc = list.AddIFC("TRS485IFC")->IFC;
    ifc->SetTimeout(20);
    ifc->SetActive(true);
    ASSERT_TRUE(ifc->Active());
    std::shared_ptr<TModulSearch> search = TModulSearch::Create(list, *ifc);
    search->GapMs = 0;
    int asked = 0;
    search->OnAsking = [&](int) { ++asked; };
    bool takenApart = false;
    search->Wait = [&](const std::function<bool()>& condition, uint32_t ms) {
      auto due = [&] { return !takenApart && asked >= 0x10; };
      const bool met = WaitWithMessagesUntil([&] { return due() || condition(); }, ms);
      if (!due()) return met;
      takenApart = true;
      TWorkflowGuard::CancelAll();
      list.RemoveAll();
      return condition();
    };
    const TModulSearch::TResult result = quick ? search->RunQuick() : search->Run();
    EXPECT_TRUE(takenApart) << (quick ? "quick" : "full");
    EXPECT_EQ(result, TModulSearch::srCancelled) << (quick ? "quick" : "full");
    EXPECT_EQ(list.IFCCount(), 0);
    MainThread().PumpPending();
  }
}

}  // namespace
