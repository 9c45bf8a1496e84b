#include "modules/mxb02.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <source_location>
#include <utility>

#include "fakes/live_module_fixture.h"
#include "sim/sim_bus.h"
#include "sim/sim_switch_cards.h"
#include "support/conversions.h"

namespace {

using TLines = std::vector<std::string>;
using TTimes = std::array<int32_t, 16>;

TTimes All(int32_t value) {
  TTimes times;
  times.fill(value);
  return times;
}

// The whole image of a type-2 card, compared in one go.
struct TImage {
  uint16_t Ports = 0, Invertiert = 0xFFFF, Typ1 = 0, Typ2 = 0;
  TTimes TVTrigger1 = All(3), TVTrigger2 = All(8);
  bool operator==(const TImage&) const = default;
};
const TImage kZero{0, 0, 0, 0, All(0), All(0)};

class Mxb02Test : public TLiveModuleTest<TMXB02, 0x1E> {
 protected:
  // What was sent since the last check, the outputs and the events.
  void Check(const TLines& lines, uint16_t ports, int fired = 0,
             std::source_location at = std::source_location::current()) {
    ::testing::ScopedTrace trace(at.file_name(), static_cast<int>(at.line()), "");
    EXPECT_EQ(Sent(), lines);
    EXPECT_EQ(M.Ports, ports);
    EXPECT_EQ(std::exchange(Fired, 0), fired);
  }
  TImage Image() const {
    return {M.Ports, M.Invertiert, M.Typ1, M.Typ2, M.TVTrigger1, M.TVTrigger2};
  }
  void SetImage(const TImage& i) {
    M.Ports = i.Ports, M.Invertiert = i.Invertiert, M.Typ1 = i.Typ1, M.Typ2 = i.Typ2;
    M.TVTrigger1 = i.TVTrigger1, M.TVTrigger2 = i.TVTrigger2;
  }
};

TEST_F(Mxb02Test, NewModuleAndItsTexts) {
  EXPECT_EQ(Image(), TImage{});
  ASSERT_EQ(M.Commands.size(), 1u);
  EXPECT_EQ(M.Commands[0]->Text, "?1E200000");
  EXPECT_FALSE(M.Commands[0]->Enabled);
  EXPECT_EQ(M.GetPropertiesText(),
            "ClassName=TMXB02\r\nVersion=\r\nModuladresse=30\r\nCaption=\r\nHinweis=\r\nPorts=0\r\n"
            "Invertiert=65535\r\nTyp1=0\r\nTyp2=0\r\nTVTrigger1=3;3;3;3;3;3;3;3;3;3;3;3;3;3;3;3\r\n"
            "TVTrigger2=8;8;8;8;8;8;8;8;8;8;8;8;8;8;8;8");
  EXPECT_EQ(M.TextCommandHelp(),
            "!FreeCmd(Ifc,\"ModulCmd\")\r\n!Schalten(Ifc,Ma,PortNr,Value)\r\n"
            "!CSchalten(Ifc,Ma,PortNr,Value)\r\n!Toggeln(Ifc,Ma,PortNr)\r\n"
            "!CToggeln(Ifc,Ma,PortNr)\r\n!Triggern(Ifc,Ma,PortNr)\r\n"
            "!SchaltenMsk(Ifc,Ma,Offset,Maske,Wert)\r\n!CSchaltenMsk(Ifc,Ma,Offset,Maske,Wert)\r\n"
            "!Blinken(Ifc,Ma,PortNr,Value)\r\n!CBlinken(Ifc,Ma,PortNr,Value)\r\n"
            "?Port(Ifc,Ma,PortNr)");
#ifndef _WIN32
  setenv("KAVORCONFIG_DEVELOPER", "1", 1);
  TMXB02 demo(&Ifc.BusMaster(), 0x32);
  unsetenv("KAVORCONFIG_DEVELOPER");
  EXPECT_EQ((TImage{demo.Ports, demo.Invertiert, demo.Typ1, demo.Typ2}),
            (TImage{0xAAAA, 0xFFFF, 0xF0F0, 0x0F0F}));
#endif
}

TEST_F(Mxb02Test, SettersStoreAlwaysAndSendChangesWhileLive) {
  M.SetInvertiert(0x00FF);
  M.SetTyp1(0x1234);
  M.SetTyp2(0xABCD);
  M.SetPorts(0x00F0);
  M.SetTVTrigger1(15, 20);
  M.SetTVTrigger2(3, 10);
  Check({}, 0x00F0);
  M.Aktiv = true;
  M.SetInvertiert(0x00FF);
  M.SetTyp1(0x1234);
  M.SetTVTrigger1(15, 20);
  Check({}, 0x00F0);
  M.SetTyp2(0x0001);
  M.SetPorts(0x0F00);
  M.SetTVTrigger2(3, 11);
  M.SetTVTrigger1(0, 300);
  M.SetTVTrigger2(1, -4);
  M.SetTVTrigger1(16, 5);
  M.SendTVTrigger(-1);
  Check({"!1E0C0001", "!1E200F00", "!1E83030B", "!1E80FF08", "!1E810300"}, 0x0F00);
  EXPECT_EQ(M.GetTVTrigger1(0), 255);
  EXPECT_EQ(M.GetTVTrigger2(1), 0);
  EXPECT_EQ(M.GetTVTrigger1(16), 0);
  EXPECT_EQ((TImage{M.Ports, M.Invertiert, M.Typ1, M.Typ2}), (TImage{0x0F00, 0x00FF, 0x1234, 1}));
  M.TVTrigger1[5] = 0x1234;  // an answer can store more than a byte: sent as the largest byte
  M.SendTVTrigger(5);
  Check({"!1E85FF08"}, 0x0F00);
}

TEST_F(Mxb02Test, SwitchingNeedsLiveAndTouchesTheImageOnlyWithoutPolling) {
  M.SetPolling(false);
  M.SwitchPort(2, true, false);
  M.BlinkPort(3, true, false);
  M.SwitchMasked(0, 0xFF, 0xFF, false);
  M.TriggerPort(1);
  M.LoadDump();
  M.SaveDumpToEE();
  M.RestoreFirmware();
  Check({}, 0x0000);
  M.Aktiv = true;
  M.SwitchPort(2, true, false);
  M.TogglePort(5, false);
  M.BlinkPort(6, true, false);
  Check({"!1E120001", "!1E150001", "!1E460001"}, 0x0064);
  M.SwitchPort(2, false, true);  // "only if off" skips a port that is on, whatever the order
  M.TogglePort(5, true);
  M.BlinkPort(6, true, true);
  M.SwitchPort(16, true, false);
  M.TogglePort(-1, false);
  M.TriggerPort(16);
  Check({}, 0x0064);
  M.TriggerPort(15);
  M.TogglePort(2, false);
  Check({"!1E3F0001", "!1E120000"}, 0x0060);
  M.SwitchMasked(4, 0x0F, 0x05, false);
  M.SwitchMasked(4, 0x0F, 0x05, true);
  M.SwitchMasked(0, 0x0F, 0x1A, false);
  Check({"!1E740F05", "!1E700F1A"}, 0x005A);
  M.SwitchMasked(12, 0xFF, 0xFF, false);  // bits beyond port 15 are sent but not kept
  M.SwitchMasked(16, 1, 1, false);
  M.SwitchMasked(0, 256, 1, false);
  M.SwitchMasked(0, 1, -1, false);
  Check({"!1E7CFFFF"}, 0xF05A);
  M.SetPolling(true);
  M.SwitchPort(1, true, true);
  M.SwitchPort(4, false, true);
  M.SwitchMasked(4, 0x0F, 0x05, true);
  M.LoadDump();
  M.SaveDumpToEE();
  M.RestoreFirmware();
  Check({"!1E110001", "!1E140000", "!1E740F05", "?1E030000", "!1E040404", "!1E030303"}, 0xF05A);
}

TEST_F(Mxb02Test, Answers) {
  auto ports = [](uint16_t p) { return TImage{p}; };
  TImage trigger;
  trigger.TVTrigger1[3] = 100;
  struct TCase {
    const char* Answer;
    TImage After;
    int Fired;
  } cases[] = {
      {"#1E030303\r\n", {}, 1},
      {"#1E040404\r\n", {}, 1},
      {"#1E120001\r\n", ports(4), 1},
      {"#1E2000FF\r\n", ports(0xFF), 1},
      {"#1E350001\r\n", ports(0x20), 1},
      {"#1E4F0001\r\n", ports(0x8000), 1},
      {"#1E74ABCD\r\n", ports(0xABCD), 1},
      {"#1E530064\r\n", trigger, 1},
      {"#1E030102\r\n", {}, 0},
      {"#1E0A00FF\r\n", {}, 0},
      {"#1E800308\r\n", {}, 0},
      {"#1E60FFFF\r\n", {}, 0},
      {"!1E2000FF\r\n", {}, 0},
      {"#1E20\r\n", {}, 0},
      {"", {}, 0},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Answer);
    SetImage(TImage{});
    M.ProcessAnswer("?1E200000", c.Answer);
    EXPECT_EQ(Image(), c.After);
    EXPECT_EQ(std::exchange(Fired, 0), c.Fired);
  }
}

TEST_F(Mxb02Test, Dump) {
  auto dump = [](const std::string& head, const std::string& t1, const std::string& t2) {
    std::string line = "#1E030000" + head;
    for (int i = 0; i < 32; ++i)
      line += " " + (i < 16 ? t1 : t2);
    return line;
  };
  TImage counted{1, 2, 3, 4};
  std::string countedLine = "#1E030000 0001 00 0002 0003 0004 00";
  for (int i = 0; i < 32; ++i) {
    countedLine += " " + IntToHexText(i < 16 ? i : 0xE0 + i, 2);
    (i < 16 ? counted.TVTrigger1[i] : counted.TVTrigger2[i - 16]) = i < 16 ? i : 0xE0 + i;
  }
  struct TCase {
    const char* Name;
    std::string Answer;
    TImage After;
  } cases[] = {
      {"example",
       dump(" 00FF 00 FFFF F0F0 0F0F 00", "03", "08") + "\r\n",
       {0x00FF, 0xFFFF, 0xF0F0, 0x0F0F, All(3), All(8)}},
      {"every field in place", countedLine + "\r\n", counted},
      {"two blanks give an empty line",
       "#1E030000 1234  5678 9ABC DEF0",
       {0x1234, 0x5678, 0x9ABC, 0xDEF0, All(0), All(0)}},
      {"not hexadecimal keeps the value",
       "#1E030000 XY 00 GGGG F0F0 0F0F\r\n",
       {0, 0, 0xF0F0, 0x0F0F, All(0), All(0)}},
      {"too large keeps the value",
       dump(" 12345 00 FFFF 0001 0002 00", "100", "FF"),
       {0, 0xFFFF, 1, 2, All(0), All(255)}},
      {"short", "#1E030000 0042\r\n", {0x0042, 0, 0, 0, All(0), All(0)}},
      {"header only", "#1E030000\r\n", kZero},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    SetImage(kZero);
    M.ProcessAnswer("?1E030000", c.Answer);
    EXPECT_EQ(Image(), c.After);
    EXPECT_EQ(std::exchange(Fired, 0), 1);
  }
}

TEST_F(Mxb02Test, TextCommands) {
  struct TCase {
    const char* Text;
    uint16_t Before;
    const char* Result;
    const char* Error;  // after "ERROR TMXB02.TextCommand: "
    uint16_t After;
    TLines Lines;
  } cases[] = {
      {"!SchaltenMsk(1,$1E,4,15,5)", 0x00F0, "", "", 0x0050, {"!1E740F05"}},
      {"!CSchaltenMsk(1,$1E,4,$0F,5)", 0x0050, "", "", 0x0050, {}},
      {"!SchaltenMsk(1,$1E,4,15)", 0x0000, "", "Parameterfehler!", 0x0000, {}},
      {"!SchaltenMsk(1,$1E,16,1,1)", 0x0000, "", "Parameterfehler!", 0x0000, {}},
      {"!SchaltenMsk(1,$1E,0,256,1)", 0x0000, "", "Parameterfehler!", 0x0000, {}},
      {"!schaltenmsk(1,$1E,0,1,$100)", 0x0000, "", "Parameterfehler!", 0x0000, {}},
      {"!Schalten(1,$1E,2,1)", 0x0000, "", "", 0x0004, {"!1E120001"}},
      {"!CSchalten(1,$1E,2,0)", 0x0004, "", "", 0x0004, {}},
      {"!Toggeln(1,$1E,2)", 0x0004, "", "", 0x0000, {"!1E120000"}},
      {"!CToggeln(1,$1E,2)", 0x0000, "", "", 0x0004, {"!1E120001"}},
      {"!Triggern(1,$1E,15)", 0x0000, "", "", 0x0000, {"!1E3F0001"}},
      {"!Blinken(1,$1E,5,1)", 0x0000, "", "", 0x0020, {"!1E450001"}},
      {"!CBlinken(1,$1E,5,1)", 0x0020, "", "", 0x0020, {}},
      {"?Port(1,$1E,1)", 0x0002, "1", "", 0x0002, {}},
      {"!Schalten(1,$1E,16,1)", 0x0000, "", "PortNr. overflow.", 0x0000, {}},
      {"!Foo(1,$1E,1)", 0x0000, "", "Unknown Command.", 0x0000, {}},
  };
  M.Aktiv = true;
  M.SetPolling(false);
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Text);
    M.Ports = c.Before;
    Sink.Clear();
    EXPECT_EQ(M.TextCommand(c.Text), c.Result);
    // Checked before waiting: the silent bus's time-outs are reported as well.
    EXPECT_EQ(Sink.Lines(),
              *c.Error ? TLines{std::string("ERROR TMXB02.TextCommand: ") + c.Error} : TLines{});
    Check(c.Lines, c.After);
  }
}

// Settings written by the module come back unchanged in the simulated card's dump.
TEST_F(Mxb02Test, AgreesWithTheSimulatedCard) {
  TSimBus sim(Clock);
  TSimMXB02& card = sim.Add<TSimMXB02>(0x1E);
  Bus.Responder = [&sim](const std::string& written) -> std::optional<TFakeReply> {
    const std::optional<std::string> answer = sim.Answer(written);
    return answer ? std::optional<TFakeReply>(TFakeReply{*answer}) : std::nullopt;
  };
  M.SetAktiv(true);
  M.SetPolling(false);
  M.SetInvertiert(0x1234);
  M.SetTyp1(0x0F0F);
  M.SetTyp2(0x8001);
  M.SetTVTrigger1(4, 17);
  M.SetTVTrigger2(4, 99);
  M.SwitchPort(3, true, false);
  M.SaveDumpToEE();
  Sent();
  const TImage written = Image();
  SetImage(kZero);
  M.LoadDump();
  Sent();
  EXPECT_EQ(Image(), written);
  EXPECT_EQ(card.StoredConfig(), card.Config());
  EXPECT_EQ(card.Outputs(), 0x0008);
}

}  // namespace
