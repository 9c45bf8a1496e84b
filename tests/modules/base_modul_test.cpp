#include "modules/base_modul.h"

#include <gtest/gtest.h>

#include "bus/bus_interface.h"
#include "fakes/fake_serial_line.h"
#include "fakes/manual_clock.h"
#include "fakes/recording_sink.h"

namespace {

class BaseModulTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Ifc.BusMaster().ComPort().SetLineCreator([this] { return Bus.MakeLine(); });
    Bus.Responder = [](const std::string&) { return std::optional<TFakeReply>(); };
  }
  TManualClock Clock;
  TFakeBus Bus{Clock};
  TRecordingSink Sink;
  TRS485IFC Ifc{&Clock};
};

TEST_F(BaseModulTest, FirmwareAnswerSetsVersionAndFiresOnce) {
  TBaseModul m(&Ifc.BusMaster(), 0x1E);
  int fired = 0, observed = 0;
  m.OnDataChanged = [&](TBaseModul* who) {
    EXPECT_EQ(who, &m);
    ++fired;
  };
  m.OnAnswer = [&](const std::string&, const std::string&) { ++observed; };
  m.ProcessAnswer("?1E010000", "#1E01[MXB01.2.1]\r\n");
  EXPECT_EQ(m.Version, "[MXB01.2.1]\r\n");
  EXPECT_EQ(fired, 1);
  EXPECT_EQ(observed, 1);
}

TEST_F(BaseModulTest, EmptyForeignAndPlainAnswersChangeNothing) {
  TBaseModul m(&Ifc.BusMaster(), 0x1E);
  int fired = 0;
  m.OnDataChanged = [&](TBaseModul*) { ++fired; };
  for (const char* answer :
       {"", "X1E01[MXB01.2.1]\r\n", "!1E01[MXB01.2.1]\r\n", "#1E200A0F\r\n", "#1E02AB00\r\n"}) {
    m.ProcessAnswer("?1E010000", answer);
  }
  EXPECT_EQ(fired, 0);
  EXPECT_EQ(m.Version, "");
  EXPECT_EQ(m.AddressChangeKey, "");
}

TEST_F(BaseModulTest, SetAdresseReaddressesTheStandingCommands) {
  struct TPolled : TBaseModul {
    TPolled(TSer485BusMaster* b) : TBaseModul(b, 0x1E) { AddPollCommand("?1E200000", false); }
  } m(&Ifc.BusMaster());
  m.SetAdresse(0x2A);
  EXPECT_EQ(m.Adresse, 0x2A);
  EXPECT_EQ(m.AdresseText(), "$2A");
  EXPECT_EQ(m.Commands[0]->Text, "?2A200000");
  EXPECT_FALSE(m.Commands[0]->Enabled);
  m.SetPolling(false);
  EXPECT_FALSE(m.Commands[0]->Enabled) << "starts disabled and stays so";
  m.SetPolling(true);
  EXPECT_TRUE(m.Commands[0]->Enabled);
}

TEST_F(BaseModulTest, DisablingALiveModuleFiresOnceThroughSetAktiv) {
  TBaseModul m(&Ifc.BusMaster(), 0x1E);
  m.SetAktiv(true);
  int fired = 0;
  m.OnDataChanged = [&](TBaseModul*) { ++fired; };
  m.SetEnabled(false);
  EXPECT_EQ(fired, 1);
  EXPECT_FALSE(m.Aktiv);
  m.SetEnabled(true);
  EXPECT_FALSE(m.Aktiv) << "enabling does not make the module live";
  EXPECT_EQ(fired, 1);
}

TEST_F(BaseModulTest, PropertiesText) {
  TBaseModul m(&Ifc.BusMaster(), 0x30);
  EXPECT_EQ(m.BasePropertiesText(), "Version=\r\nModuladresse=48\r\nCaption=\r\nHinweis=");
  m.Bezeichnung = "Weichen West";
  EXPECT_EQ(
      m.GetPropertiesText(),
      "ClassName=TBaseModul\r\nVersion=\r\nModuladresse=48\r\nCaption=Weichen West\r\nHinweis=");
}

TEST_F(BaseModulTest, FreeCmdSendsOnlyWhileLiveAndKeepsSingleQuotes) {
  TBaseModul m(&Ifc.BusMaster(), 0x1E);
  Ifc.SetActive(true);
  EXPECT_EQ(m.TextCommand("!freecmd(1,?1E200000)"), "1");
  EXPECT_EQ(Ifc.BusMaster().QueueCount(), 0u) << "not live: nothing sent";
  m.SetAktiv(true);
  EXPECT_EQ(m.TextCommand("!FreeCmd(1,?1E200000)"), "1");
  EXPECT_EQ(m.TextCommand("?FREECMD(1,\"?1E500000\")"), "1");
  EXPECT_EQ(m.TextCommand("!FreeCmd(1,\"\"?1E300000\"\")"), "1");
  EXPECT_EQ(m.TextCommand("!Schalten(1,$1E,3,1)"), "");
  Ifc.BusMaster().WaitQueueEmpty(std::chrono::seconds(5));
  Ifc.SetActive(false);
  EXPECT_EQ(Bus.Writes(), (std::vector<std::string>{"?1E200000", "\"?1E500000\"", "?1E300000"}));
  EXPECT_EQ(m.TextCommandHelp(), "!FreeCmd(Ifc,\"ModulCmd\")");
}

}  // namespace

namespace {

TEST_F(BaseModulTest, UnreadableAndForeignAnswersAreLoggedAndIgnored) {
  TBaseModul m(&Ifc.BusMaster(), 0x1E);
  int fired = 0;
  m.OnDataChanged = [&](TBaseModul*) { ++fired; };
  struct {
    const char* Answer;
    const char* Logged;  // nullptr: no log line
  } cases[] = {
      {"#1E200A0F\r\n", nullptr},
      {"#1E01[MXB01.2.1]\r\n", nullptr},
      {"#1E99ZZZZ\r\n", "Modul $1E: unlesbare Antwort auf \"?1E200000\": \"#1E99ZZZZ\" "},
      {"!1E200000\r\n", "Modul $1E: unlesbare Antwort auf \"?1E200000\": \"!1E200000\" "},
      {"#1E200A0\r\n", "Modul $1E: unlesbare Antwort auf \"?1E200000\": \"#1E200A0\" "},
      {"\x01\xFFx#1E200A0F\r\n",
       "Modul $1E: unlesbare Antwort auf \"?1E200000\": \"<01><FF>x#1E200A0F\" "},
      {"#20200A0F\r\n", "Modul $1E: Antwort von $20 auf \"?1E200000\" verworfen: \"#20200A0F\" "},
      {"#2001[HDX01.1.3]\r\n",
       "Modul $1E: Antwort von $20 auf \"?1E200000\" verworfen: "
       "\"#2001[HDX01.1.3]\" "},
  };
  for (const auto& c : cases) {
    Sink.Clear();
    m.ProcessAnswer("?1E200000", c.Answer);
    if (c.Logged)
      EXPECT_EQ(Sink.Lines(), (std::vector<std::string>{c.Logged}));
    else
      EXPECT_TRUE(Sink.Lines().empty()) << c.Answer;
  }
  EXPECT_EQ(m.Version, "[MXB01.2.1]\r\n") << "another card's firmware is not taken";
  EXPECT_EQ(fired, 1);
}

}  // namespace
