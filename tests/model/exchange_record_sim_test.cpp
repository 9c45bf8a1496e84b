// Exchange records made by the bus master on the simulated bus, under faults drawn at random:
// each fault must end in the right outcome of its record and in the right counter, and the
// record must agree with what the module made of the same answer.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "bus/bus_interface.h"
#include "bus/link_statistics.h"
#include "fakes/manual_clock.h"
#include "fakes/recording_sink.h"
#include "model/moduls_list.h"
#include "modules/base_modul.h"
#include "sim/sim_bus.h"
#include "sim/sim_serial_line.h"
#include "support/main_thread.h"

namespace {

enum TFault { fNone, fSilent, fNoLineEnd, fSlow, fCorrupt, fNoise, fLateOther, fCount };

constexpr int64_t kAnswerDelayUs = 20'000;
constexpr uint32_t kTimeoutMs = 50;

TEST(ExchangeRecordSimTest, RandomFaultsLandInTheirOutcomeAndCounter) {
  TManualClock clock;
  TSimBus bus(clock);
  bus.AddDefaultCards();
  bus.SetSeed(7);
  // The cards answer 20 ms after a command: a late answer of another card comes first.
  bus.SetAnswerDelayUs(kAnswerDelayUs);
  TRecordingSink sink;
  TModulsList list(&clock);
  list.OnInterfaceCreated = [&bus](TRS485IFC& ifc) {
    ifc.BusMaster().ComPort().SetLineCreator([&bus] { return MakeSimSerialLine(bus); });
  };
  TRS485IFC* ifc = list.AddIFC("TRS485IFC")->IFC;
  ifc->SetIfcNumber(3);
  ifc->SetTimeout(kTimeoutMs);
  TBaseModul* card = list.AddModul("TMXB01", ifc, 0x1E)->Modul;
  TBaseModul* other = list.AddModul("THDX01", ifc, 0x20)->Modul;
  card->SetPolling(false);
  other->SetPolling(false);
  // The other card answers only after the time-out.
  TSimFaults slowFaults;
  slowFaults.Slow = true;
  slowFaults.SlowAnswerDelayUs = (kTimeoutMs + 30) * 1000;
  bus.SetFaults(0x20, slowFaults);

  std::vector<TExchangeRecord> records;
  TLinkStatistics statistics;
  ifc->BusMaster().SetOnExchanges([&](const TExchangeBatch& batch) {
    records.insert(records.end(), batch.begin(), batch.end());
    statistics.Add(batch);
  });
  ifc->SetActive(true);
  ASSERT_TRUE(ifc->Active());

  std::mt19937 random(20240611);
  std::vector<TExchangeOutcome> expected;
  std::vector<int> expectedAddress;
  int drawn[fCount] = {};
  for (int step = 0; step < 150; ++step) {
    const TFault fault = static_cast<TFault>(random() % fCount);
    ++drawn[fault];
    TSimFaults faults;
    faults.Silent = fault == fSilent;
    faults.NoLineEnd = fault == fNoLineEnd;
    faults.Slow = fault == fSlow;
    faults.SlowAnswerDelayUs = (kTimeoutMs + 30) * 1000;
    faults.Corrupt = fault == fCorrupt;
    faults.Noise = fault == fNoise;
    bus.SetFaults(0x1E, faults);
    const std::size_t unreadableBefore = sink.Count("Modul $1E: unlesbare Antwort");
    const std::size_t foreignBefore = sink.Count("Modul $1E: Antwort von $");
    if (fault == fLateOther) {
      ASSERT_TRUE(other->QueueCommand("?20010000"));
      expected.push_back(TExchangeOutcome::TimedOut);
      expectedAddress.push_back(0x20);
    }
    ASSERT_TRUE(card->QueueCommand("?1E010000"));
    const std::size_t want = expected.size() + 1;
    ASSERT_TRUE(
        MainThread().WaitUntil([&] { return records.size() >= want; }, std::chrono::seconds(10)))
        << "step " << step;
    switch (fault) {
      case fNone:
      case fNoise:
        expected.push_back(TExchangeOutcome::Answered);
        break;
      case fSilent:
      case fNoLineEnd:
      case fSlow:
        expected.push_back(TExchangeOutcome::TimedOut);
        break;
      case fLateOther:
        expected.push_back(TExchangeOutcome::Foreign);
        break;
      default: {
        // A garbled line may still look like an answer; the module's verdict on it decides.
        const bool unreadable = sink.Count("Modul $1E: unlesbare Antwort") > unreadableBefore;
        const bool foreign = sink.Count("Modul $1E: Antwort von $") > foreignBefore;
        expected.push_back(unreadable ? TExchangeOutcome::Unreadable
                           : foreign  ? TExchangeOutcome::Foreign
                                      : TExchangeOutcome::Answered);
      }
    }
    expectedAddress.push_back(0x1E);
    // Late answers and noise arrive before the next command and are dropped.
    clock.Advance(200'000);
  }
  ifc->SetActive(false);
  MainThread().PumpPending();
  for (int f = 0; f < fCount; ++f)
    EXPECT_GE(drawn[f], 10) << "fault " << f << " too rarely drawn to say anything";

  ASSERT_EQ(records.size(), expected.size());
  uint64_t want[4] = {};
  for (std::size_t i = 0; i < records.size(); ++i) {
    const TExchangeRecord& r = records[i];
    EXPECT_EQ(r.Outcome, expected[i])
        << "exchange " << i << ": " << r.Command << " -> " << r.Answer;
    EXPECT_EQ(r.Address(), expectedAddress[i]) << i;
    EXPECT_EQ(r.IfcNumber, 3);
    EXPECT_FALSE(r.Poll);
    EXPECT_EQ(r.Baud, 9600u);
    EXPECT_EQ(r.ResyncPrefix, i % 30 == 29) << "every 30th command carries the prefix";
    EXPECT_EQ(r.Command, expectedAddress[i] == 0x1E ? "?1E010000" : "?20010000");
    if (r.Outcome == TExchangeOutcome::TimedOut) {
      EXPECT_EQ(r.Answer, "");
      EXPECT_GE(r.AnswerUs, kTimeoutMs * 1000);
    } else if (expected[i] == TExchangeOutcome::Answered && r.Answer == "#1E01[MXB01.2.1]\r\n") {
      // Written, then the card's answer delay; the line time is not emulated here.
      EXPECT_EQ(r.AnswerUs, kAnswerDelayUs) << i;
    }
    if (r.Outcome == TExchangeOutcome::Foreign && expectedAddress[i] == 0x1E && i > 0 &&
        expectedAddress[i - 1] == 0x20) {
      EXPECT_EQ(r.Answer.substr(0, 5), "#2001") << "the other card's late answer";
    }
    if (expectedAddress[i] == 0x1E) ++want[static_cast<int>(r.Outcome)];
  }

  const TLinkCounters* c = statistics.Module(3, 0x1E);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->Answers, want[0]);
  EXPECT_EQ(c->TimedOut, want[1]);
  EXPECT_EQ(c->Unreadable, want[2]);
  EXPECT_EQ(c->Foreign, want[3]);
  EXPECT_EQ(c->Exchanges, 150u);
  EXPECT_GE(c->Foreign, static_cast<uint64_t>(drawn[fLateOther]));
  EXPECT_EQ(statistics.Module(3, 0x20)->TimedOut, static_cast<uint64_t>(drawn[fLateOther]));
  EXPECT_EQ(statistics.Interface(3)->Exchanges, records.size());
  // Every time-out was also one line in the log.
  EXPECT_EQ(sink.Count("TimeOut, Modul antwortet nicht!"), want[1] + drawn[fLateOther]);
}

TEST(ExchangeRecordSimTest, NothingIsRecordedWhileNobodyListens) {
  TManualClock clock;
  TSimBus bus(clock);
  bus.AddDefaultCards();
  TRS485IFC ifc(&clock);
  ifc.BusMaster().ComPort().SetLineCreator([&bus] { return MakeSimSerialLine(bus); });
  int batches = 0;
  std::size_t recorded = 0;
  ifc.BusMaster().SetOnExchanges([&](const TExchangeBatch& batch) {
    ++batches;
    recorded += batch.size();
  });
  ifc.SetActive(true);
  int answered = 0;
  for (int i = 0; i < 20; ++i)
    ifc.AddCommand("?1E200000", [&](const std::string&, const std::string&) { ++answered; });
  ASSERT_TRUE(MainThread().WaitUntil([&] { return recorded == 20; }, std::chrono::seconds(10)));
  EXPECT_LE(batches, 20);
  // Without an observer the exchanges go on and nothing is made, kept or handed over later.
  const auto observer = [&](const TExchangeBatch& batch) { recorded += batch.size(); };
  ifc.BusMaster().SetOnExchanges({});
  for (int i = 0; i < 20; ++i)
    ifc.AddCommand("?1E200000", [&](const std::string&, const std::string&) { ++answered; });
  ASSERT_TRUE(ifc.BusMaster().WaitQueueEmpty(std::chrono::seconds(10)));
  EXPECT_EQ(answered, 40);
  ifc.BusMaster().SetOnExchanges(observer);
  ifc.AddCommand("?1E200000");
  ASSERT_TRUE(MainThread().WaitUntil([&] { return recorded > 20; }, std::chrono::seconds(10)));
  ifc.SetActive(false);
  MainThread().PumpPending();
  EXPECT_EQ(recorded, 21u);
}

}  // namespace
