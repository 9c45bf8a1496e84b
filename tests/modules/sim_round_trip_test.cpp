// Modules against the simulated cards over a connected interface: what a module writes comes
// back from the card.
#include <gtest/gtest.h>

#include "bus/bus_interface.h"
#include "fakes/recording_sink.h"
#include "modules/hdx01.h"
#include "modules/mxb02.h"
#include "modules/text_command_router.h"
#include "sim/sim_bus.h"
#include "sim/sim_serial_line.h"
#include "sim/sim_switch_cards.h"
#include "sim/sim_throttle_card.h"
#include "support/main_thread.h"

namespace {

class SimRoundTripTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Bus.AddDefaultCards();
    Ifc.BusMaster().ComPort().SetLineCreator([this] { return MakeSimSerialLine(Bus); });
    Ifc.SetTimeout(50);
  }
  template <class T>
  T* Add(uint8_t address) {
    std::unique_ptr<TBusModule> module = std::make_unique<T>(&Ifc.BusMaster(), address);
    T* raw = static_cast<T*>(module.get());
    EXPECT_GE(Ifc.AddModule(module), 0);
    return raw;
  }
  void Settle() { ASSERT_TRUE(Ifc.BusMaster().WaitQueueEmpty(std::chrono::seconds(10))); }

  TRecordingSink Sink;
  TSimBus Bus;
  TRS485IFC Ifc;
};

TEST_F(SimRoundTripTest, TypeTwoConfigurationWrittenBySettersComesBackThroughTheDump) {
  TMXB02* card = Add<TMXB02>(0x32);
  Ifc.SetActive(true);
  card->SetAktiv(true);
  card->SetInvertiert(0x00F0);
  card->SetTyp1(0x1234);
  card->SetTyp2(0x8001);
  card->SetTVTrigger1(3, 20);
  card->SetTVTrigger2(3, 40);
  card->SetTVTrigger1(15, 255);
  Settle();
  // Forget the local image, then read the card.
  card->Invertiert = card->Typ1 = card->Typ2 = 0;
  card->TVTrigger1.fill(0);
  card->TVTrigger2.fill(0);
  int changes = 0;
  card->OnDataChanged = [&](TBaseModul*) { ++changes; };
  card->LoadDump();
  Settle();
  Ifc.SetActive(false);
  EXPECT_EQ(card->Invertiert, 0x00F0);
  EXPECT_EQ(card->Typ1, 0x1234);
  EXPECT_EQ(card->Typ2, 0x8001);
  EXPECT_EQ(card->TVTrigger1[3], 20);
  EXPECT_EQ(card->TVTrigger2[3], 40);
  EXPECT_EQ(card->TVTrigger1[15], 255);
  EXPECT_EQ(card->TVTrigger1[0], 3) << "factory value of the card";
  EXPECT_EQ(changes, 1);
  EXPECT_TRUE(Sink.Lines().empty());
}

TEST_F(SimRoundTripTest, ThrottleSetByTextCommandReadsBackAfterTheCardsAnswer) {
  THDX01* throttle = Add<THDX01>(0x20);
  Ifc.SetActive(true);
  throttle->SetAktiv(true);
  Settle();
  const TTextCommandRouter router([this](int32_t n) { return n == 0 ? &Ifc : nullptr; });
  EXPECT_EQ(router.Execute("!Fahrstufe(0,$20,2,-12)"), "");
  // Answers are handled only when the main thread comes round: forget the local image now, so
  // that what the query reads afterwards can only have come from the card's answer.
  throttle->Fahrstufe[1] = 0;
  throttle->Richtung[1] = 0;
  Settle();
  EXPECT_EQ(router.Execute("?Fahrstufe(0,$20,2)"), "-12");
  Ifc.SetActive(false);
  EXPECT_EQ(Bus.CardAs<TSimHDX01>(0x20).Speed(2), 12);
  EXPECT_EQ(Bus.CardAs<TSimHDX01>(0x20).Direction(2), 1);
  EXPECT_TRUE(Sink.Lines().empty()) << Sink.Lines()[0];
}

TEST_F(SimRoundTripTest, SetAdresseReaddressesThePollCommand) {
  TMXB02* card = Add<TMXB02>(0x32);
  card->SetPolling(true);
  card->SetAdresse(0x33);
  Bus.CardAs<TSimMXB02>(0x32).SetOutputs(0x00FF);
  Ifc.SetPollPriority(1);
  Ifc.SetActive(true);
  // Nothing answers at $33: the poll times out instead of reading the card at $32.
  ASSERT_TRUE(
      MainThread().WaitUntil([&] { return Sink.Count("TimeOut") > 0; }, std::chrono::seconds(5)));
  Ifc.SetActive(false);
  EXPECT_EQ(Sink.Lines()[0], "TimeOut, Modul antwortet nicht! \"?33200000\" ");
  EXPECT_EQ(card->Ports, 0);
}

TEST(TextCommandRouterTest, FindsInterfaceAndModuleOrReportsWhyNot) {
  TRecordingSink sink;
  TRS485IFC ifc;
  ifc.SetIfcNumber(1);
  std::unique_ptr<TBusModule> module = std::make_unique<TMXB02>(&ifc.BusMaster(), 0x1E);
  TBaseModul* modul = static_cast<TBaseModul*>(module.get());
  ASSERT_EQ(ifc.AddModule(module), 0);
  const TTextCommandRouter router([&](int32_t n) { return n == 1 ? &ifc : nullptr; });
  std::string error;
  struct {
    const char* Line;
    bool Found;
  } cases[] = {{"!Schalten(1,$1E,3,1)", true},  {"?Port(1,30,2)", true},
               {"!FreeCmd(1,?1E200000)", true}, {"!FREECMD(1,\"?1E200000\")", true},
               {"!Schalten(0,$1E,3,1)", false}, {"!Schalten(1,$1F,3,1)", false},
               {"!Schalten(x,$1E,3,1)", false}, {"!Schalten(1,xyz,3,1)", false},
               {"!FreeCmd(1,?)", false},        {"", false}};
  for (const auto& c : cases) {
    EXPECT_EQ(router.FindTarget(c.Line, error) == modul, c.Found) << c.Line;
  }
  sink.Clear();
  bool found = true;
  EXPECT_EQ(router.Execute("?Port(7,$1E,3)", &found), "");
  EXPECT_FALSE(found);
  ASSERT_EQ(sink.Lines().size(), 1u);
  EXPECT_NE(sink.Lines()[0].find("Interface 7"), std::string::npos) << sink.Lines()[0];
  EXPECT_EQ(router.Execute("?Port(1,$1E,3)", &found), "0");
  EXPECT_TRUE(found);
}

}  // namespace
