#include "modules/ifc_ports.h"

#include <gtest/gtest.h>

#include <source_location>
#include <utility>

#include "fakes/live_module_fixture.h"
#include "modules/rs485_dummy.h"

namespace {

using TLines = std::vector<std::string>;

class IfcPortsTest : public TLiveModuleTest<TIFCPorts, 0x7F> {
 protected:
  // What was sent since the last check (nothing unless live), the image and the events.
  void Check(const TLines& lines, uint16_t ports, int fired,
             std::source_location at = std::source_location::current()) {
    ::testing::ScopedTrace trace(at.file_name(), static_cast<int>(at.line()), "");
    EXPECT_EQ(Sent(), M.Aktiv ? lines : TLines{});
    EXPECT_EQ(M.Ports, ports);
    EXPECT_EQ(std::exchange(Fired, 0), fired);
  }
};

TEST_F(IfcPortsTest, PollPropertiesAndHelp) {
  ASSERT_EQ(M.Commands.size(), 1u);
  EXPECT_EQ(M.Commands[0]->Text, "?7F200000");
  EXPECT_TRUE(M.Commands[0]->Enabled);
  M.Ports = 0x81;
  EXPECT_EQ(M.GetPropertiesText(),
            "ClassName=TIFCPorts\r\nVersion=\r\nModuladresse=127\r\nCaption=\r\nHinweis=\r\n"
            "Ports=129");
  EXPECT_EQ(M.TextCommandHelp(),
            "!FreeCmd(Ifc,\"ModulCmd\")\r\n!Schalten(Ifc,Ma,PortNr,Value)\r\n"
            "!Toggeln(Ifc,Ma,PortNr)\r\n?Port(Ifc,Ma,PortNr)");
}

TEST_F(IfcPortsTest, OperationsChangeTheImageAndSendOnlyWhileLive) {
  for (bool live : {true, false}) {
    SCOPED_TRACE(live ? "live" : "not live");
    M.Aktiv = live;
    M.Ports = 0;
    M.TogglePort(0);
    Check({"!7F100001"}, 0x01, 1);
    M.SwitchPort(0, true);
    Check({}, 0x01, 0);
    M.SwitchPort(7, true);
    M.SwitchPort(7, false);
    Check({"!7F170001", "!7F170000"}, 0x01, 2);
    M.Ports = 0x101;
    M.SwitchPort(8, true);
    M.TogglePort(8);
    M.SwitchPort(-1, true);
    M.SendPort(16, true);  // code 20 would be the port query
    Check({}, 0x101, 0);
    M.SendPort(2, true);
    Check({"!7F120001"}, 0x101, 0);
  }
}

TEST_F(IfcPortsTest, Answers) {
  struct TCase {
    const char* Answer;
    uint16_t Before, After;
    int Fired;
  } cases[] = {
      {"#7F200081\r\n", 0x0000, 0x0081, 1},
      {"#7F1300FF\r\n", 0x0008, 0x0000, 1},
      {"#7F130001\r\n", 0x0000, 0x0008, 1},
      {"#7F1F0001\r\n", 0x0000, 0x8000, 1},
      {"#7F300001\r\n", 0x0000, 0x0000, 0},
      {"#7F2000\r\n", 0x0001, 0x0001, 0},
      {"#7F20GG81\r\n", 0x0001, 0x0001, 0},
      {"!7F200081\r\n", 0x0001, 0x0001, 0},
      {"", 0x0001, 0x0001, 0},
      {"#7F01[IFC.1]\r\n", 0x0001, 0x0001, 1},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Answer);
    M.Ports = c.Before;
    M.ProcessAnswer("?7F200000", c.Answer);
    Check({}, c.After, c.Fired);
  }
}

TEST_F(IfcPortsTest, TextCommands) {
  struct TCase {
    const char* Text;
    uint16_t Before;
    const char* Result;
    const char* Error;  // after "ERROR TIFCPorts.TextCommand: "
    uint16_t After;
    TLines Lines;
  } cases[] = {
      {"?Port(1,$7F,7)", 0x80, "1", "", 0x80, {}},
      {"?port(1,$7F,6)", 0x80, "0", "", 0x80, {}},
      {"!Schalten(1,$7F,3,1)", 0x00, "", "", 0x08, {"!7F130001"}},
      {"!SCHALTEN(1,$7F,$03,ein)", 0x00, "", "", 0x08, {"!7F130001"}},
      {"!Schalten(1,$7F,3)", 0x08, "", "", 0x00, {"!7F130000"}},
      {"!Toggeln(1,$7F,2)", 0x00, "", "", 0x04, {"!7F120001"}},
      {"!FreeCmd(1,?7F200000)", 0x00, "1", "", 0x00, {"?7F200000"}},
      {"!Schalten(1,$7F,8,1)", 0x00, "", "PortNr. overflow.", 0x00, {}},
      {"!Blinken(1,$7F,-1,1)", 0x00, "", "PortNr. overflow.", 0x00, {}},
      {"!Blinken(1,$7F,1,1)", 0x00, "", "Unknown Command.", 0x00, {}},
      {"Schalten(1,$7F,3,1)", 0x00, "", "Unknown Command.", 0x00, {}},
  };
  M.Aktiv = true;
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Text);
    M.Ports = c.Before;
    Sink.Clear();
    EXPECT_EQ(M.TextCommand(c.Text), c.Result);
    // Checked before waiting: the silent bus's time-outs are reported as well.
    EXPECT_EQ(Sink.Lines(),
              *c.Error ? TLines{std::string("ERROR TIFCPorts.TextCommand: ") + c.Error} : TLines{});
    EXPECT_EQ(Sent(), c.Lines);
    EXPECT_EQ(M.Ports, c.After);
  }
}

TEST_F(IfcPortsTest, UnknownModuleHasOnlyTheBaseBehaviour) {
  TRS485Dummy d(&Ifc.BusMaster(), 5);
  EXPECT_TRUE(d.Commands.empty());
  EXPECT_EQ(d.GetPropertiesText(),
            "ClassName=TRS485Dummy\r\nVersion=\r\nModuladresse=5\r\nCaption=\r\nHinweis=");
  d.SetAktiv(true);
  EXPECT_EQ(d.TextCommand("!Schalten(1,5,3,1)"), "");
  EXPECT_EQ(d.TextCommand("?FreeCmd(1,?05010000)"), "1");
  EXPECT_EQ(Sink.Lines(), TLines{});
  EXPECT_EQ(Sent(), TLines{"?05010000"});
}

}  // namespace
