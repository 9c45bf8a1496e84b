// Link statistics from tables of exchange records, and how an answer is classified.
#include "bus/link_statistics.h"

#include <gtest/gtest.h>

#include "support/conversions.h"

#include <string>
#include <vector>

namespace {

constexpr int64_t kT0 = 1'700'000'000'000;  // some wall-clock time, ms

TExchangeRecord Rec(int32_t ifc, const std::string& command, TExchangeOutcome outcome,
                    int64_t answerUs, int64_t atMs, bool poll = true) {
  TExchangeRecord r;
  r.IfcNumber = ifc;
  r.Command = command;
  r.Outcome = outcome;
  if (outcome == TExchangeOutcome::Answered) r.Answer = "#" + command.substr(1) + "\r\n";
  if (outcome == TExchangeOutcome::Unreadable) r.Answer = "x1E200000\r\n";
  if (outcome == TExchangeOutcome::Foreign) r.Answer = "#20200000\r\n";
  r.AnswerUs = answerUs;
  r.WrittenMs = atMs;
  r.Poll = poll;
  r.Baud = 9600;
  return r;
}

const auto A = TExchangeOutcome::Answered;
const auto T = TExchangeOutcome::TimedOut;
const auto U = TExchangeOutcome::Unreadable;
const auto F = TExchangeOutcome::Foreign;

TEST(ExchangeRecordTest, ClassifiesAnswersAgainstTheAddressedCard) {
  const struct {
    const char* Command;
    const char* Answer;
    TExchangeOutcome Outcome;
  } cases[] = {
      {"?1E200000", "#1E200A0F\r\n", A},
      {"?1E200000", "#1e200a0f\r\n", A},  // letter case of hexadecimal digits does not matter
      {"?1E010000", "#1E01[MXB01.2.1]\r\n", A},
      {"?32300000", "#32300001 0203 0405\r\n", A},  // the type-2 card's long answer
      {"?1E200000", "", T},
      {"?1E200000", "X1E200A0F\r\n", U},
      {"?1E200000", "?1E200000\r", U},  // the line's own echo
      {"?1E200000", "#1E2G0A0F\r\n", U},
      {"?1E200000", "#1E200A\r\n", U},
      {"?1E200000", "#1Z200A0F\r\n", U},
      {"?1E200000", "\xA7\r", U},
      {"?1E200000", "#20200A0F\r\n", F},
      {"?1E010000", "#7F01[IFC.1.0]\r\n", F},
      {"hello", "#20200A0F\r\n", A},  // no address in the command: nobody to tell apart
  };
  for (const auto& c : cases)
    EXPECT_EQ(ClassifyAnswer(c.Command, c.Answer), c.Outcome) << c.Command << " / " << c.Answer;
  EXPECT_EQ(LineAddress("?1E200000"), 0x1E);
  EXPECT_EQ(LineAddress("?"), -1);
  EXPECT_EQ(LineAddress("?XY200000"), -1);
}

TEST(ExchangeRecordTest, AddressesAreReadAsTheNumberReaderReadsThem) {
  // The bus reads two hexadecimal digits itself; it must agree with the program's number reader,
  // which the modules use on the same characters.
  const std::string digits = "0123456789ABCDEFabcdef";
  for (char high : digits)
    for (char low : digits) {
      const std::string line = std::string("#") + high + low + "200000";
      EXPECT_EQ(LineAddress(line), TextToInt(std::string("$") + high + low, -1)) << line;
    }
}

TEST(ExchangeRecordTest, LineCharactersCountPrefixCommandTerminatorAndAnswer) {
  TExchangeRecord r = Rec(0, "?1E200000", A, 10'000, kT0);
  EXPECT_EQ(r.LineCharacters(), 9u + 1u + 11u);
  r.ResyncPrefix = true;
  EXPECT_EQ(r.LineCharacters(), 2u + 9u + 1u + 11u);
  r = Rec(0, "?1E200000", T, 200'000, kT0);
  EXPECT_EQ(r.LineCharacters(), 10u);
}

TEST(LinkStatisticsTest, CountsEveryOutcomePerModuleAndInterface) {
  // Two interfaces; $1E on IFC 0 answers, times out, answers garbage and is answered by $20.
  const std::vector<TExchangeRecord> table = {
      Rec(0, "?1E200000", A, 10'000, kT0),        Rec(0, "?1E200000", T, 200'000, kT0 + 20),
      Rec(0, "?1E200000", U, 11'000, kT0 + 240),  Rec(0, "?1E200000", F, 12'000, kT0 + 260),
      Rec(0, "?1E200000", A, 14'000, kT0 + 280),  Rec(0, "!1E150001", A, 12'000, kT0 + 300, false),
      Rec(0, "?20120000", T, 200'000, kT0 + 320), Rec(1, "?1E200000", A, 9'000, kT0 + 330),
      Rec(0, "raw", A, 1'000, kT0 + 340, false),
  };
  TLinkStatistics s;
  s.Add(table);

  const TLinkCounters* m = s.Module(0, 0x1E);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->Exchanges, 6u);
  EXPECT_EQ(m->Answers, 3u);
  EXPECT_EQ(m->TimedOut, 1u);
  EXPECT_EQ(m->Unreadable, 1u);
  EXPECT_EQ(m->Foreign, 1u);
  EXPECT_EQ(m->Faults(), 3u);
  EXPECT_EQ(m->Polls, 5u);
  // Answer times only of the answers: 10, 14 and 12 ms.
  EXPECT_EQ(m->AnswerTimes.Count(), 3u);
  EXPECT_EQ(m->AnswerTimes.MinUs(), 10'000);
  EXPECT_EQ(m->AnswerTimes.MaxUs(), 14'000);
  EXPECT_EQ(m->AnswerTimes.MeanUs(), 12'000);
  EXPECT_EQ(m->LastAnswerMs, kT0 + 300 + 12);
  EXPECT_EQ(m->LastFaultMs, kT0 + 260);
  EXPECT_EQ(m->FaultsInARow, 0u);

  const TLinkCounters* silent = s.Module(0, 0x20);
  ASSERT_NE(silent, nullptr);
  EXPECT_EQ(silent->TimedOut, 1u);
  EXPECT_EQ(silent->Answers, 0u);
  EXPECT_EQ(silent->LastAnswerMs, 0);
  EXPECT_EQ(silent->AnswerTimes.Count(), 0u);
  EXPECT_EQ(s.Module(1, 0x1E)->Answers, 1u);
  EXPECT_EQ(s.Module(1, 0x20), nullptr);
  EXPECT_EQ(s.Modules().size(), 3u) << "a command without an address counts for no module";

  const TInterfaceCounters* ifc0 = s.Interface(0);
  ASSERT_NE(ifc0, nullptr);
  EXPECT_EQ(ifc0->Exchanges, 8u);
  EXPECT_EQ(ifc0->Answers, 4u);
  EXPECT_EQ(ifc0->TimedOut, 2u);
  EXPECT_EQ(ifc0->Unreadable + ifc0->Foreign, 2u);
  EXPECT_EQ(s.Interface(1)->Exchanges, 1u);
  EXPECT_EQ(s.Taken(), table.size());

  s.Reset(kT0 + 1000);
  EXPECT_EQ(s.Module(0, 0x1E), nullptr);
  EXPECT_EQ(s.Interface(0), nullptr);
  EXPECT_EQ(s.SinceMs(), kT0 + 1000);
  EXPECT_EQ(s.Taken(), table.size()) << "what was taken stays counted";
  s.Add(Rec(0, "?1E200000", T, 200'000, kT0 + 1100));
  EXPECT_EQ(s.Module(0, 0x1E)->Exchanges, 1u);
  EXPECT_EQ(s.Module(0, 0x1E)->TimedOut, 1u);
}

TEST(LinkStatisticsTest, PercentileIsTheUpperEdgeOfItsBucketButNoMoreThanTheMaximum) {
  // Bucket edges: 0.5 ms wide below 50 ms, 5 ms below 500 ms, 50 ms below 5 s, then one.
  const struct {
    int64_t Us;
    int Bucket;
    int64_t Lower, Upper;
  } edges[] = {{0, 0, 0, 500},
               {499, 0, 0, 500},
               {500, 1, 500, 1000},
               {49'999, 99, 49'500, 50'000},
               {50'000, 100, 50'000, 55'000},
               {499'999, 189, 495'000, 500'000},
               {500'000, 190, 500'000, 550'000},
               {4'999'999, 279, 4'950'000, 5'000'000},
               {5'000'000, 280, 5'000'000, INT64_MAX},
               {-5, 0, 0, 500}};
  for (const auto& e : edges) {
    const int bucket = TAnswerTimeHistogram::BucketOf(e.Us);
    EXPECT_EQ(bucket, e.Bucket) << e.Us;
    EXPECT_EQ(TAnswerTimeHistogram::LowerUs(bucket), e.Lower) << e.Us;
    EXPECT_EQ(TAnswerTimeHistogram::UpperUs(bucket), e.Upper) << e.Us;
  }

  // 100 answers: 95 at 10.2 ms and 5 at 30.7 ms. p95 is the 95th value, in [10.0, 10.5) ms.
  TAnswerTimeHistogram h;
  EXPECT_EQ(h.PercentileUs(95), 0);
  for (int i = 0; i < 95; ++i)
    h.Add(10'200);
  for (int i = 0; i < 5; ++i)
    h.Add(30'700);
  EXPECT_EQ(h.PercentileUs(95), 10'500);
  EXPECT_EQ(h.PercentileUs(96), 30'700) << "capped by the largest time seen, not 31 ms";
  EXPECT_EQ(h.PercentileUs(100), 30'700);
  EXPECT_EQ(h.PercentileUs(50), 10'500);
  EXPECT_EQ(h.MeanUs(), (95 * 10'200 + 5 * 30'700) / 100);
  // One more slow answer moves the 95th value into the next bucket.
  h.Add(30'700);
  EXPECT_EQ(h.PercentileUs(95), 30'700);
  // A value right at an edge belongs to the bucket above it.
  TAnswerTimeHistogram edge;
  edge.Add(50'000);
  edge.Add(60'000);
  EXPECT_EQ(edge.PercentileUs(50), 55'000);
  // Beyond 5 s everything shares the last bucket; the maximum bounds it.
  TAnswerTimeHistogram slow;
  slow.Add(20'000'000);
  EXPECT_EQ(slow.PercentileUs(95), 20'000'000);
}

TEST(LinkStatisticsTest, HealthFollowsRecentFaultsAndUnansweredPolls) {
  TLinkStatistics s;
  EXPECT_EQ(TLinkStatistics::Health(s.Module(0, 0x1E), kT0, true), TLinkHealth::Unknown);
  s.Add(Rec(0, "?1E200000", A, 10'000, kT0));
  EXPECT_EQ(TLinkStatistics::Health(s.Module(0, 0x1E), kT0, true), TLinkHealth::Good);
  s.Add(Rec(0, "?1E200000", T, 200'000, kT0 + 100));
  s.Add(Rec(0, "?1E200000", T, 200'000, kT0 + 400));
  const TLinkCounters* m = s.Module(0, 0x1E);
  EXPECT_EQ(TLinkStatistics::Health(m, kT0 + 700, true), TLinkHealth::Warning);
  s.Add(Rec(0, "?1E200000", U, 10'000, kT0 + 700));
  EXPECT_EQ(TLinkStatistics::Health(m, kT0 + 800, true), TLinkHealth::Failing);
  EXPECT_EQ(TLinkStatistics::Health(m, kT0 + 800, false), TLinkHealth::Warning)
      << "not polled: its silence says nothing";
  EXPECT_EQ(TLinkStatistics::Health(m, kT0 + 700 + 60'000, false), TLinkHealth::Good)
      << "the last fault is a minute old";
  s.Add(Rec(0, "?1E200000", A, 10'000, kT0 + 900));
  EXPECT_EQ(TLinkStatistics::Health(m, kT0 + 1000, true), TLinkHealth::Warning);
}

TEST(LinkStatisticsTest, RateAndBusLoadOverTheLastSeconds) {
  TLinkStatistics s;
  // 40 exchanges a second for 20 s, each 21 characters at 9600 baud: 21.875 ms on the line.
  const int64_t start = kT0 - kT0 % 1000;
  for (int i = 0; i < 800; ++i)
    s.Add(Rec(0, "?1E200000", A, 10'000, start + i * 25));
  const TRateWindow& rate = s.Interface(0)->Rate;
  const int64_t now = start + 20'000;
  EXPECT_NEAR(rate.ExchangesPerSecond(now), 40.0, 0.01);
  EXPECT_NEAR(rate.LineShare(now), 40 * 21 * 10 / 9600.0, 0.001);
  // Early on, the window is as long as the traffic so far.
  TLinkStatistics early;
  for (int i = 0; i < 25; ++i)
    early.Add(Rec(0, "?1E200000", A, 10'000, start + i * 25));
  EXPECT_NEAR(early.Interface(0)->Rate.ExchangesPerSecond(start + 625), 40.0, 0.01);
  // Ten quiet seconds later nothing is left in the window.
  EXPECT_EQ(rate.ExchangesPerSecond(now + 11'000), 0.0);
}

}  // namespace
