// The simulated cards answer as the command tables of their types say, and keep the state the
// commands set.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "fakes/manual_clock.h"
#include "sim/sim_bus.h"
#include "sim/sim_simple_cards.h"
#include "sim/sim_switch_cards.h"
#include "sim/sim_throttle_card.h"

namespace {

constexpr int64_t kMs = 1000;

// One command, the exact answer line without CR LF (empty: silence) and, optionally, a check of
// the card's state afterwards.
struct TStep {
  std::string Command;
  std::string Answer;
  std::function<void(TSimBus&)> Check;
};

class SimCardsTest : public ::testing::Test {
 protected:
  SimCardsTest() : Bus(Clock) { Bus.AddDefaultCards(); }

  void RunSteps(const std::vector<TStep>& steps) {
    for (const TStep& step : steps) {
      SCOPED_TRACE(step.Command);
      const std::optional<std::string> answer = Bus.Answer(step.Command);
      if (step.Answer.empty()) {
        EXPECT_FALSE(answer.has_value()) << *answer;
      } else {
        EXPECT_EQ(answer.value_or("<silence>"), step.Answer + "\r\n");
      }
      if (step.Check) step.Check(Bus);
    }
  }
  std::string Ask(const std::string& command) { return Bus.Answer(command).value_or(""); }

  TManualClock Clock;
  TSimBus Bus;
};

uint16_t Mxb01Outputs(TSimBus& bus) {
  return bus.CardAs<TSimMXB01>(0x1E).Outputs();
}
uint16_t Mxb02Outputs(TSimBus& bus) {
  return bus.CardAs<TSimMXB02>(0x32).Outputs();
}
TSimHDX01& Throttles(TSimBus& bus) {
  return bus.CardAs<TSimHDX01>(0x20);
}

TEST_F(SimCardsTest, EveryCardIdentifiesItself) {
  RunSteps({
      {"?1E010000", "#1E01[MXB01.2.1]", nullptr},
      {"?32010000", "#3201[MXB02.1.5]", nullptr},
      {"?20010000", "#2001[HDX01.1.3]", nullptr},
      {"?7F010000", "#7F01[IFC485PX8.1.0]", nullptr},
      {"?40010000", "#4001[LSX04.3.0]", nullptr},
      // Lower-case digits are read too; the answer is always upper case.
      {"?1e010000", "#1E01[MXB01.2.1]", nullptr},
  });
}

TEST_F(SimCardsTest, SilenceForUnknownAddressesAndMalformedLines) {
  for (const std::string line :
       {"?55010000", "End of Modulsuche", "", "?1E20000", "?1E2000000", "X1E200000", "#1E200000",
        "?1E2G0000", " ?1E200000", "?1E200000\r"}) {
    EXPECT_FALSE(Bus.Answer(line).has_value()) << line;
  }
}

TEST_F(SimCardsTest, SwitchCardType1) {
  RunSteps({
      {"?1E200000", "#1E200000", nullptr},
      {"!1E130001", "#1E130001", [](TSimBus& b) { EXPECT_EQ(Mxb01Outputs(b), 0x0008); }},
      {"!1E1F0001", "#1E1F0001", [](TSimBus& b) { EXPECT_EQ(Mxb01Outputs(b), 0x8008); }},
      {"?1E200000", "#1E208008", nullptr},
      {"!1E130000", "#1E130000", [](TSimBus& b) { EXPECT_EQ(Mxb01Outputs(b), 0x8000); }},
      {"!1E130002", "", [](TSimBus& b) { EXPECT_EQ(Mxb01Outputs(b), 0x8000); }},
      {"?1E500000", "#1E5000FA", nullptr},
      {"!1E5001F4", "#1E5001F4",
       [](TSimBus& b) { EXPECT_EQ(b.CardAs<TSimMXB01>(0x1E).PulseTimeMs(), 500); }},
      {"?1E500000", "#1E5001F4", nullptr},
      {"!1E300001", "#1E300001", [](TSimBus& b) { EXPECT_EQ(Mxb01Outputs(b), 0x8001); }},
      // Not in this card's table.
      {"!1E300000", "", nullptr},
      {"?1E130000", "", nullptr},
      {"!1E208001", "", nullptr},
      {"!1E400000", "", nullptr},
      {"?1E030000", "", nullptr},
  });
}

TEST_F(SimCardsTest, SwitchCardType1PulseEndsOnTheClock) {
  EXPECT_EQ(Ask("!1E500064"), "#1E500064\r\n");  // 100 ms
  EXPECT_EQ(Ask("!1E3F0001"), "#1E3F0001\r\n");
  Clock.Advance(99 * kMs);
  EXPECT_EQ(Ask("?1E200000"), "#1E208000\r\n");
  Clock.Advance(1 * kMs);
  EXPECT_EQ(Ask("?1E200000"), "#1E200000\r\n");

  // Switching during a pulse takes the pulse's place.
  Ask("!1E320001");
  Ask("!1E120001");
  Clock.Advance(200 * kMs);
  EXPECT_TRUE(Bus.CardAs<TSimMXB01>(0x1E).Output(2));
}

TEST_F(SimCardsTest, SwitchCardType2Outputs) {
  RunSteps({
      {"?32200000", "#32200000", nullptr},
      {"!322012AB", "#322012AB", [](TSimBus& b) { EXPECT_EQ(Mxb02Outputs(b), 0x12AB); }},
      {"!32200000", "#32200000", [](TSimBus& b) { EXPECT_EQ(Mxb02Outputs(b), 0x0000); }},
      {"!32150001", "#32150001", [](TSimBus& b) { EXPECT_EQ(Mxb02Outputs(b), 0x0020); }},
      {"!32150007", "", [](TSimBus& b) { EXPECT_EQ(Mxb02Outputs(b), 0x0020); }},
      // Masked writes: mask 0F and value 05 at offset 4 replace bits 4..7.
      {"!32740F05", "#32740050", [](TSimBus& b) { EXPECT_EQ(Mxb02Outputs(b), 0x0050); }},
      // Mask bits shifted beyond bit 15 fall off.
      {"!327FFF01", "#327F8050", [](TSimBus& b) { EXPECT_EQ(Mxb02Outputs(b), 0x8050); }},
      {"!32700100", "#32708050", nullptr},
      {"!32700101", "#32708051", nullptr},
      {"?32200000", "#32208051", nullptr},
      {"!32450001", "#32450001",
       [](TSimBus& b) { EXPECT_EQ(b.CardAs<TSimMXB02>(0x32).BlinkMask(), 0x0020); }},
      {"!32450000", "#32450000",
       [](TSimBus& b) {
         EXPECT_EQ(b.CardAs<TSimMXB02>(0x32).BlinkMask(), 0);
         EXPECT_EQ(Mxb02Outputs(b), 0x8051);
       }},
      {"!32300001", "#32300001", nullptr},
      // Not in this card's table.
      {"?32500000", "", nullptr},
      {"!32500003", "", nullptr},
      {"?320A0000", "", nullptr},
  });
}

TEST_F(SimCardsTest, SwitchCardType2Configuration) {
  const TSimMXB02Config factory = TSimMXB02Config::Factory();
  EXPECT_EQ(factory.Inversion, 0);
  EXPECT_EQ(factory.PulseTime1[15], 3);
  EXPECT_EQ(factory.PulseTime2[0], 8);

  Bus.CardAs<TSimMXB02>(0x32).SetOutputs(0x00FF);
  RunSteps({
      {"!320A00FF", "#320A00FF", nullptr},
      {"!320BF0F0", "#320BF0F0", nullptr},
      {"!320C0F0F", "#320C0F0F", nullptr},
      {"!32830A14", "#32830A14",
       [](TSimBus& b) {
         const TSimMXB02Config c = b.CardAs<TSimMXB02>(0x32).Config();
         EXPECT_EQ(c.Inversion, 0x00FF);
         EXPECT_EQ(c.Flags1, 0xF0F0);
         EXPECT_EQ(c.Flags2, 0x0F0F);
         EXPECT_EQ(c.PulseTime1[3], 10);
         EXPECT_EQ(c.PulseTime2[3], 20);
         EXPECT_EQ(c.PulseTime1[2], 3);
       }},
      {"?32030000",
       "#32030000 00FF 00 00FF F0F0 0F0F 00 03 03 03 0A 03 03 03 03 03 03 03 03 03 03 03 03"
       " 08 08 08 14 08 08 08 08 08 08 08 08 08 08 08 08",
       nullptr},
      // Storing copies the working configuration into the EEPROM.
      {"!32040404", "#32040404",
       [](TSimBus& b) {
         TSimMXB02& card = b.CardAs<TSimMXB02>(0x32);
         EXPECT_EQ(card.StoredConfig(), card.Config());
       }},
      // Restoring brings back the factory values and leaves the EEPROM alone.
      {"!32030303", "#32030303",
       [&](TSimBus& b) {
         TSimMXB02& card = b.CardAs<TSimMXB02>(0x32);
         EXPECT_EQ(card.Config(), factory);
         EXPECT_EQ(card.StoredConfig().Inversion, 0x00FF);
       }},
      {"!32040403", "", nullptr},
      {"!32030300", "", nullptr},
      {"?32030303", "", nullptr},
  });

  // After a power cycle the card runs on what its EEPROM holds.
  TSimMXB02& card = Bus.CardAs<TSimMXB02>(0x32);
  card.PowerCycle();
  EXPECT_EQ(card.Config().Flags1, 0xF0F0);
  EXPECT_EQ(card.Outputs(), 0);
}

TEST_F(SimCardsTest, SwitchCardType2PulseAndBlinkRunOnTheClock) {
  // Port 2 pulses for its first pulse time: 3 units of 50 ms.
  EXPECT_EQ(Ask("!32320001"), "#32320001\r\n");
  Clock.Advance(149 * kMs);
  EXPECT_EQ(Ask("?32200000"), "#32200004\r\n");
  Clock.Advance(1 * kMs);
  EXPECT_EQ(Ask("?32200000"), "#32200000\r\n");

  // A blinking output starts on and toggles every half second until blinking ends.
  EXPECT_EQ(Ask("!32400001"), "#32400001\r\n");
  const struct {
    int64_t AfterMs;
    bool On;
  } phases[] = {{0, true}, {499, true}, {500, false}, {999, false}, {1000, true}, {1500, false}};
  const int64_t start = Clock.NowUs();
  for (const auto& phase : phases) {
    Clock.AdvanceTo(start + phase.AfterMs * kMs);
    EXPECT_EQ(Bus.CardAs<TSimMXB02>(0x32).Output(0), phase.On) << phase.AfterMs;
  }
  Ask("!32400000");
  Clock.Advance(500 * kMs);
  EXPECT_FALSE(Bus.CardAs<TSimMXB02>(0x32).Output(0));
}

TEST_F(SimCardsTest, ThrottleCard) {
  Throttles(Bus).SetDetectors(0x05);
  Throttles(Bus).SetLightBarriers(0xA3);
  RunSteps({
      {"?20120000", "#2012A305", nullptr},
      {"?20100000", "#20100005", nullptr},
      {"?20110000", "#201100A3", nullptr},
      {"!20200283", "#20200283",
       [](TSimBus& b) {
         EXPECT_EQ(Throttles(b).Speed(2), 3);
         EXPECT_EQ(Throttles(b).Direction(2), 2);
         EXPECT_EQ(Throttles(b).Speed(1), 0);
       }},
      // Bit 5 carries nothing and is not kept.
      {"!202001FF", "#202001FF", [](TSimBus& b) { EXPECT_EQ(Throttles(b).Throttle(1), 0xDF); }},
      {"!20200045", "#20200045",
       [](TSimBus& b) {
         for (int j = 1; j <= 4; ++j)
           EXPECT_EQ(Throttles(b).Throttle(j), 0x45) << j;
       }},
      {"!20200505", "", nullptr},
      {"?20520300", "#20520300", nullptr},
      {"!20520303", "#20520303", [](TSimBus& b) { EXPECT_EQ(Throttles(b).StopEvent(3), 3); }},
      {"?20520300", "#20520303", nullptr},
      {"!20520801", "#20520801", nullptr},
      {"!20520302", "", [](TSimBus& b) { EXPECT_EQ(Throttles(b).StopEvent(3), 3); }},
      {"!20520903", "", nullptr},
      {"!20520003", "", nullptr},
      {"?20530200", "#20530201", nullptr},
      {"?20530800", "#20530804", nullptr},
      {"!20530204", "#20530204", [](TSimBus& b) { EXPECT_EQ(Throttles(b).Assignment(2), 4); }},
      {"?20530200", "#20530204", nullptr},
      {"!20530205", "", [](TSimBus& b) { EXPECT_EQ(Throttles(b).Assignment(2), 4); }},
      {"!20530200", "", nullptr},
      {"?20530900", "", nullptr},
      // Not in this card's table.
      {"?20200000", "", nullptr},
      {"!20100001", "", nullptr},
  });
}

TEST_F(SimCardsTest, ThrottleCardShowsLifeThatDependsOnlyOnTheTime) {
  TSimHDX01& card = Throttles(Bus);
  ASSERT_TRUE(card.Animated());
  TManualClock otherClock;
  TSimBus other(otherClock);
  other.AddDefaultCards();

  std::vector<uint8_t> seen;
  for (int period = 0; period < 20; ++period) {
    const int64_t at = 1'000'000 + period * TSimHDX01::kDetectorPeriodUs;
    Clock.AdvanceTo(at);
    otherClock.AdvanceTo(at);
    const uint8_t detectors = card.Detectors();
    EXPECT_EQ(detectors & 0xF0, 0);
    EXPECT_EQ(detectors, Throttles(other).Detectors());
    EXPECT_EQ(card.LightBarriers(), Throttles(other).LightBarriers());
    EXPECT_EQ(Ask("?20100000"), "#201000" + SimHex8(detectors) + "\r\n");
    seen.push_back(detectors);
  }
  std::sort(seen.begin(), seen.end());
  EXPECT_GE(std::unique(seen.begin(), seen.end()) - seen.begin(), 4);

  card.SetDetectors(0x09);
  EXPECT_FALSE(card.Animated());
  Clock.Advance(60'000 * kMs);
  EXPECT_EQ(card.Detectors(), 0x09);
}

TEST_F(SimCardsTest, PortExpansion) {
  RunSteps({
      {"?7F200000", "#7F200000", nullptr},
      {"!7F170001", "#7F170001",
       [](TSimBus& b) { EXPECT_EQ(b.CardAs<TSimPortExpansion>(0x7F).Outputs(), 0x0080); }},
      {"!7F100001", "#7F100001", nullptr},
      {"?7F200000", "#7F200081", nullptr},
      {"!7F170000", "#7F170000", nullptr},
      {"?7F200000", "#7F200001", nullptr},
      {"!7F180001", "", nullptr},
      {"!7F100002", "", nullptr},
      {"!7F200001", "", nullptr},
  });
}

TEST_F(SimCardsTest, UnknownCardEchoesWhatItDoesNotKnow) {
  RunSteps({
      {"!40AB1234", "#40AB1234", nullptr},
      {"?40990000", "#40990000", nullptr},
      {"!40ab12cd", "#40AB12CD", nullptr},
      {"?40020000", "#40020000", nullptr},
  });
}

TEST_F(SimCardsTest, AddressChangeMovesTheCardWithItsState) {
  TSimMXB01& card = Bus.CardAs<TSimMXB01>(0x1E);
  card.SetOutputs(0x0101);
  const std::string key = SimHex8(card.AddressKey());
  ASSERT_NE(key, "00");

  EXPECT_EQ(Ask("!1E020000"), "#1E02" + key + "00\r\n");
  // A wrong key, and an address another card has, change nothing.
  EXPECT_EQ(Ask("!1E02" + SimHex8(card.AddressKey() ^ 0x01) + "2A"), "#1E020000\r\n");
  EXPECT_EQ(Ask("!1E02" + key + "32"), "#1E020000\r\n");
  EXPECT_EQ(Bus.FindCard(0x1E), &card);

  EXPECT_EQ(Ask("!1E02" + key + "2A"), "#1E02" + key + "2A\r\n");
  EXPECT_EQ(Bus.FindCard(0x1E), nullptr);
  EXPECT_EQ(&Bus.CardAs<TSimMXB01>(0x2A), &card);
  EXPECT_EQ(card.Address(), 0x2A);
  EXPECT_FALSE(Bus.Answer("?1E200000").has_value());
  EXPECT_EQ(Ask("?2A200000"), "#2A200101\r\n");
  EXPECT_EQ(Ask("?2A010000"), "#2A01[MXB01.2.1]\r\n");
  // The key follows the address.
  EXPECT_NE(SimHex8(card.AddressKey()), key);
}

TEST_F(SimCardsTest, AddressKeyIsNeverZero) {
  for (int address = 0; address < 256; ++address) {
    TSimUnknownCard card(static_cast<uint8_t>(address));
    EXPECT_NE(card.AddressKey(), 0) << address;
  }
}

TEST_F(SimCardsTest, CardsCanBeAddedReplacedAndRemoved) {
  EXPECT_EQ(Bus.Addresses(), (std::vector<uint8_t>{0x1E, 0x20, 0x32, 0x40, 0x7F}));
  EXPECT_THROW(Bus.Card(0x55), std::out_of_range);
  EXPECT_THROW(Bus.CardAs<TSimMXB02>(0x1E), std::bad_cast);

  Bus.Add<TSimMXB02>(0x1E, "9.9");
  EXPECT_EQ(Ask("?1E010000"), "#1E01[MXB02.9.9]\r\n");
  Bus.Add<TSimUnknownCard>(0x55, "ABC77", "0.1");
  EXPECT_EQ(Ask("?55010000"), "#5501[ABC77.0.1]\r\n");

  EXPECT_TRUE(Bus.RemoveCard(0x55));
  EXPECT_FALSE(Bus.RemoveCard(0x55));
  EXPECT_FALSE(Bus.Answer("?55010000").has_value());
  Bus.RemoveAllCards();
  EXPECT_TRUE(Bus.Addresses().empty());
}

TEST(SimDefaultBusTest, HoldsTheDefaultCards) {
  TSimBus& bus = DefaultSimBus();
  EXPECT_EQ(&bus, &DefaultSimBus());
  const struct {
    uint8_t Address;
    const char* Type;
  } expected[] = {
      {0x1E, "MXB01"}, {0x32, "MXB02"}, {0x20, "HDX01"}, {0x7F, "IFC485PX8"}, {0x40, "LSX04"}};
  for (const auto& card : expected)
    EXPECT_EQ(bus.Card(card.Address).Type(), card.Type);
}

}  // namespace
