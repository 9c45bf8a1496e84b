#include "modules/mxb01.h"

#include <gtest/gtest.h>

#include <source_location>
#include <utility>

#include "fakes/live_module_fixture.h"
#include "sim/sim_bus.h"
#include "sim/sim_switch_cards.h"

namespace {

using TLines = std::vector<std::string>;

class Mxb01Test : public TLiveModuleTest<TMXB01, 0x1E> {
 protected:
  // What was sent since the last check (nothing unless live), the image and the events.
  void Check(const TLines& lines, uint16_t ports, int32_t pulse, int fired,
             std::source_location at = std::source_location::current()) {
    ::testing::ScopedTrace trace(at.file_name(), static_cast<int>(at.line()), "");
    EXPECT_EQ(Sent(), M.Aktiv ? lines : TLines{});
    EXPECT_EQ(M.Ports, ports);
    EXPECT_EQ(M.TVTrigger[0], pulse);
    EXPECT_EQ(std::exchange(Fired, 0), fired);
  }
};

TEST_F(Mxb01Test, GoingLiveAsksForPortsThenPulseTime) {
  ASSERT_EQ(M.Commands.size(), 1u);
  EXPECT_EQ(M.Commands[0]->Text, "?1E200000");
  EXPECT_TRUE(M.Commands[0]->Enabled);
  M.SetAktiv(true);
  Check({"?1E200000", "?1E500000"}, 0, 0, 1);
  M.SetAktiv(false);
  Check({}, 0, 0, 1);
}

TEST_F(Mxb01Test, OperationsChangeTheImageAndSendOnlyWhileLive) {
  for (bool live : {true, false}) {
    SCOPED_TRACE(live ? "live" : "not live");
    M.Aktiv = live;
    M.Ports = 0;
    M.TVTrigger.fill(0);
    M.SwitchPort(4, true);
    Check({"!1E140001"}, 0x0010, 0, 1);
    M.SwitchPort(4, true);
    Check({}, 0x0010, 0, 0);
    M.TogglePort(4);
    M.TogglePort(10);
    Check({"!1E140000", "!1E1A0001"}, 0x0400, 0, 2);
    M.SwitchPort(16, true);
    M.TogglePort(-1);
    M.TriggerPort(16);
    M.SendPort(16, true);  // code 20 would be the port query
    Check({}, 0x0400, 0, 0);
    M.TriggerPort(15);
    M.TriggerPort(15);
    Check({"!1E3F0001", "!1E3F0001"}, 0x8400, 0, 2);
    M.SendPort(0, true);
    M.RequestPorts();
    M.RequestTVTrigger();
    Check({"!1E100001", "?1E200000", "?1E500000"}, 0x8400, 0, 0);
    M.SetTVTriggerAll(250);
    M.TVTrigger[1] = 0;
    M.SetTVTriggerAll(250);  // entry 0 unchanged: the others are filled, nothing is sent
    Check({"!1E5000FA"}, 0x8400, 250, 0);
    EXPECT_EQ(M.GetTVTrigger(1), 250);
    M.SetTVTriggerAll(70000);
    EXPECT_EQ(M.GetTVTrigger(15), 65535);
    M.SetTVTriggerAll(-5);
    Check({"!1E50FFFF", "!1E500000"}, 0x8400, 0, 0);
  }
}

TEST_F(Mxb01Test, Answers) {
  struct TCase {
    const char* Answer;
    uint16_t Before, After;
    int32_t Pulse;
    int Fired;
  } cases[] = {
      {"#1E200A0F\r\n", 0x0000, 0x0A0F, 7, 1},        {"#1E200A0F\r\n", 0x0A0F, 0x0A0F, 7, 1},
      {"#1E1300FF\r\n", 0x0008, 0x0000, 7, 1},        {"#1E130001\r\n", 0x0000, 0x0008, 7, 1},
      {"#1E3F0001\r\n", 0x0000, 0x8000, 7, 1},        {"#1E301700\r\n", 0x0001, 0x0000, 7, 1},
      {"#1E401234\r\n", 0x0000, 0x1234, 7, 1},        {"#1E570064\r\n", 0x0000, 0x0000, 100, 1},
      {"#1E600001\r\n", 0x0001, 0x0001, 7, 0},        {"#1E02AB00\r\n", 0x0001, 0x0001, 7, 0},
      {"#1E2000\r\n", 0x0001, 0x0001, 7, 0},          {"#1E20G00F\r\n", 0x0001, 0x0001, 7, 0},
      {"!1E200A0F\r\n", 0x0001, 0x0001, 7, 0},        {"", 0x0001, 0x0001, 7, 0},
      {"#1E01[MXB01.2.1]\r\n", 0x0001, 0x0001, 7, 1}, {"#1E200A0\r\n", 0x0001, 0x0001, 7, 0},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Answer);
    M.Ports = c.Before;
    M.TVTrigger.fill(7);
    M.ProcessAnswer("?1E200000", c.Answer);
    Check({}, c.After, c.Pulse, c.Fired);
    EXPECT_EQ(M.GetTVTrigger(1), 7) << "answers write entry 0 only";
  }
}

TEST_F(Mxb01Test, PropertiesAndHelp) {
  M.Ports = 5;
  M.TVTrigger.fill(250);
  M.Bezeichnung = "Weichen Ost";
  EXPECT_EQ(M.GetPropertiesText(),
            "ClassName=TMXB01\r\nVersion=\r\nModuladresse=30\r\nCaption=Weichen Ost\r\nHinweis=\r\n"
            "Ports=5\r\nTVTrigger=250;250;250;250;250;250;250;250;250;250;250;250;250;250;250;250");
  EXPECT_EQ(M.TextCommandHelp(),
            "!FreeCmd(Ifc,\"ModulCmd\")\r\n!Schalten(Ifc,Ma,PortIdx,Value)\r\n"
            "!Toggeln(Ifc,Ma,PortIdx)\r\n!Triggern(Ifc,Ma,PortIdx)\r\n?Port(Ifc,Ma,PortIdx)");
}

TEST_F(Mxb01Test, TextCommands) {
  struct TCase {
    const char* Text;
    uint16_t Before;
    const char* Result;
    const char* Error;  // after "ERROR TMXB01.TextCommand: "
    uint16_t After;
    TLines Lines;
  } cases[] = {
      {"!Schalten(1,$1E,3,1)", 0x0000, "", "", 0x0008, {"!1E130001"}},
      {"!toggeln(1,$1E,3)", 0x0008, "", "", 0x0000, {"!1E130000"}},
      {"!Triggern(1,$1E,$0F)", 0x0000, "", "", 0x8000, {"!1E3F0001"}},
      {"?Port(1,$1E,15)", 0x8000, "1", "", 0x8000, {}},
      {"?Port(1,$1E,14)", 0x8000, "0", "", 0x8000, {}},
      {"!Schalten(1,$1E,16,1)", 0x0000, "", "PortIdx. overflow.", 0x0000, {}},
      {"!Unbekannt(1,$1E,16)", 0x0000, "", "PortIdx. overflow.", 0x0000, {}},
      {"!Blinken(1,$1E,3,1)", 0x0000, "", "Unknown Command.", 0x0000, {}},
  };
  M.Aktiv = true;
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Text);
    M.Ports = c.Before;
    Sink.Clear();
    EXPECT_EQ(M.TextCommand(c.Text), c.Result);
    // Checked before waiting: the silent bus's time-outs are reported as well.
    EXPECT_EQ(Sink.Lines(),
              *c.Error ? TLines{std::string("ERROR TMXB01.TextCommand: ") + c.Error} : TLines{});
    EXPECT_EQ(Sent(), c.Lines);
    EXPECT_EQ(M.Ports, c.After);
  }
}

// What the module sends, the simulated card understands; what the card answers, the module reads.
TEST_F(Mxb01Test, AgreesWithTheSimulatedCard) {
  TSimBus sim(Clock);
  TSimMXB01& card = sim.Add<TSimMXB01>(0x1E);
  card.SetOutputs(0x0A0F);
  Bus.Responder = [&sim](const std::string& written) -> std::optional<TFakeReply> {
    const std::optional<std::string> answer = sim.Answer(written);
    return answer ? std::optional<TFakeReply>(TFakeReply{*answer}) : std::nullopt;
  };
  M.SetAktiv(true);
  Check({"?1E200000", "?1E500000"}, 0x0A0F, TSimMXB01::kDefaultPulseTimeMs, 3);
  M.SwitchPort(4, true);
  M.SwitchPort(0, false);
  M.SetTVTriggerAll(100);
  Check({"!1E140001", "!1E100000", "!1E500064"}, 0x0A1E, 100, 5);
  EXPECT_EQ(card.Outputs(), 0x0A1E);
  EXPECT_EQ(card.PulseTimeMs(), 100);
}

}  // namespace
