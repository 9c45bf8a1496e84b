// Faults a card shows on request, fixed or by chance, and what they look like on the line.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "fakes/manual_clock.h"
#include "sim/sim_bus.h"
#include "sim/sim_serial_line.h"

namespace {

constexpr int64_t kMs = 1000;
const std::string kCommand = "?1E010000";
const std::string kClean = "#1E01[MXB01.2.1]\r\n";

bool HasLineEnd(const std::string& text) {
  return text.find_first_of("\r\n") != std::string::npos;
}

class SimFaultsTest : public ::testing::Test {
 protected:
  SimFaultsTest() : Bus(Clock) { Bus.AddDefaultCards(); }

  TSimExchange ExchangeWith(const TSimFaults& faults) {
    Bus.SetFaults(0x1E, faults);
    return Bus.Exchange(kCommand, Clock.NowUs());
  }

  TManualClock Clock;
  TSimBus Bus;
};

TEST_F(SimFaultsTest, EachFixedFault) {
  const struct {
    const char* Name;
    std::function<void(TSimFaults&)> Set;
    std::function<void(const TSimExchange&)> Check;
  } cases[] = {
      {"none", [](TSimFaults&) {},
       [](const TSimExchange& e) {
         EXPECT_EQ(e.Answer.value_or(""), kClean);
         EXPECT_EQ(e.DelayUs, TSimBus::kDefaultAnswerDelayUs);
         EXPECT_TRUE(e.Noise.empty());
       }},
      {"silent", [](TSimFaults& f) { f.Silent = true; },
       [](const TSimExchange& e) { EXPECT_FALSE(e.Answer.has_value()); }},
      {"corrupt", [](TSimFaults& f) { f.Corrupt = true; },
       [](const TSimExchange& e) {
         ASSERT_TRUE(e.Answer.has_value());
         const std::string& a = *e.Answer;
         EXPECT_NE(a, kClean);
         ASSERT_EQ(a.size(), kClean.size());
         EXPECT_EQ(a.substr(a.size() - 2), "\r\n");
         EXPECT_FALSE(HasLineEnd(a.substr(0, a.size() - 2)));
         int changed = 0;
         for (std::size_t i = 0; i < a.size(); ++i)
           changed += a[i] != kClean[i];
         EXPECT_GE(changed, 1);
         EXPECT_LE(changed, 3);
       }},
      {"no line end", [](TSimFaults& f) { f.NoLineEnd = true; },
       [](const TSimExchange& e) {
         EXPECT_EQ(e.Answer.value_or(""), kClean.substr(0, kClean.size() - 2));
       }},
      {"slow",
       [](TSimFaults& f) {
         f.Slow = true;
         f.SlowAnswerDelayUs = 300 * kMs;
       },
       [](const TSimExchange& e) {
         EXPECT_EQ(e.Answer.value_or(""), kClean);
         EXPECT_EQ(e.DelayUs, 300 * kMs);
       }},
      {"noise", [](TSimFaults& f) { f.Noise = true; },
       [](const TSimExchange& e) {
         EXPECT_EQ(e.Answer.value_or(""), kClean);
         EXPECT_GE(e.Noise.size(), 1u);
         EXPECT_LE(e.Noise.size(), 8u);
         EXPECT_FALSE(HasLineEnd(e.Noise));
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TSimFaults faults;
    c.Set(faults);
    // Fixed faults strike every time.
    for (int i = 0; i < 20; ++i)
      c.Check(ExchangeWith(faults));
  }
}

TEST_F(SimFaultsTest, FaultsBelongToOneCard) {
  TSimFaults faults;
  faults.Silent = true;
  Bus.SetFaults(0x1E, faults);
  EXPECT_FALSE(Bus.Exchange("?1E010000", Clock.NowUs()).Answer.has_value());
  EXPECT_TRUE(Bus.Exchange("?32010000", Clock.NowUs()).Answer.has_value());
  // The clean answer stays available to tests.
  EXPECT_EQ(Bus.Answer("?1E010000").value_or(""), kClean);
  Bus.ClearFaults();
  EXPECT_TRUE(Bus.Exchange("?1E010000", Clock.NowUs()).Answer.has_value());
}

TEST_F(SimFaultsTest, ChancesStrikeAboutAsOftenAsAsked) {
  TSimFaults faults;
  faults.SilentChance = 0.3;
  faults.NoLineEndChance = 0.1;
  faults.NoiseChance = 0.5;
  Bus.SetFaults(0x1E, faults);
  Bus.SetSeed(7);
  const int runs = 4000;
  for (int i = 0; i < runs; ++i)
    Bus.Exchange(kCommand, Clock.NowUs());
  const TSimFaultCounts counts = Bus.FaultCounts();
  EXPECT_EQ(counts.Commands, static_cast<uint64_t>(runs));
  EXPECT_EQ(counts.Silent + counts.Answered, static_cast<uint64_t>(runs));
  EXPECT_NEAR(counts.Silent, 0.3 * runs, 0.05 * runs);
  // Line ends go missing only from answers that are sent.
  EXPECT_NEAR(counts.NoLineEnd, 0.1 * counts.Answered, 0.03 * runs);
  EXPECT_NEAR(counts.Noise, 0.5 * runs, 0.05 * runs);
  EXPECT_EQ(counts.Corrupt, 0u);
  EXPECT_EQ(counts.Slow, 0u);
}

TEST_F(SimFaultsTest, ASeedReplaysTheSameFaults) {
  TSimFaults faults;
  faults.SilentChance = 0.2;
  faults.CorruptChance = 0.2;
  faults.NoLineEndChance = 0.2;
  faults.SlowChance = 0.2;
  faults.NoiseChance = 0.2;
  const auto run = [&](uint64_t seed) {
    TManualClock clock;
    TSimBus bus(clock);
    bus.AddDefaultCards();
    bus.SetFaults(0x1E, faults);
    bus.SetSeed(seed);
    std::vector<std::string> lines;
    for (int i = 0; i < 200; ++i) {
      const TSimExchange e = bus.Exchange(kCommand, clock.NowUs());
      lines.push_back(e.Answer.value_or("<none>") + "|" + std::to_string(e.DelayUs) + "|" +
                      e.Noise);
    }
    return lines;
  };
  EXPECT_EQ(run(42), run(42));
  EXPECT_NE(run(42), run(43));
}

TEST_F(SimFaultsTest, NoiseArrivesBetweenExchanges) {
  TSimSerialLine line(Bus);
  line.Open("SIM", 9600);
  Bus.SetEmulateLineTime(true);
  TSimFaults faults;
  faults.Noise = true;
  Bus.SetFaults(0x1E, faults);

  line.Write(kCommand + "\r");
  std::string answer;
  while (answer.find('\n') == std::string::npos) {
    const TReadResult r = line.Read(1'000'000);
    ASSERT_EQ(r.Status, TReadStatus::Data);
    answer += r.Bytes;
  }
  EXPECT_EQ(answer, kClean);
  const int64_t answerEnd = Clock.NowUs();
  const TReadResult noise = line.Read(1'000'000);
  EXPECT_EQ(noise.Status, TReadStatus::Data);
  EXPECT_FALSE(noise.Bytes.empty());
  // All at once, right after the answer: it never reaches into the next exchange.
  EXPECT_EQ(Clock.NowUs(), answerEnd + TSimWire::kNoiseGapUs);
  EXPECT_EQ(line.Read(1'000'000).Status, TReadStatus::Timeout);
}

TEST_F(SimFaultsTest, SlowAnswerMissesAShorterWait) {
  TSimSerialLine line(Bus);
  line.Open("SIM", 9600);
  TSimFaults faults;
  faults.Slow = true;
  faults.SlowAnswerDelayUs = 300 * kMs;
  Bus.SetFaults(0x1E, faults);
  const int64_t start = Clock.NowUs();
  line.Write(kCommand + "\r");
  EXPECT_EQ(line.Read(200 * kMs).Status, TReadStatus::Timeout);
  const TReadResult late = line.Read(200 * kMs);
  EXPECT_EQ(late.Bytes, kClean);
  EXPECT_EQ(Clock.NowUs(), start + 300 * kMs);
}

}  // namespace
