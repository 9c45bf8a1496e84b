#include "modules/hdx01.h"

#include <gtest/gtest.h>

#include <climits>
#include <tuple>

#include "bus/bus_interface.h"
#include "fakes/fake_serial_line.h"
#include "fakes/manual_clock.h"
#include "fakes/recording_sink.h"

namespace {

using TLines = std::vector<std::string>;
using TOp = std::function<void(THDX01&)>;

// Everything the card image holds, comparable in one go.
auto Image(const THDX01& m) {
  return std::make_tuple(m.Sensoren, m.SensorStop, m.SensorInputMask, m.SenZuord, m.GBM,
                         m.Fahrstufe, m.Richtung);
}

struct TCounts {
  int Speed = 0, Gbm = 0, Ls = 0, Settings = 0, Data = 0;
  bool operator==(const TCounts&) const = default;
};

void Count(THDX01& m, TCounts& c, bool specific) {
  m.OnDataChanged = [&c](TBaseModul*) { ++c.Data; };
  if (!specific) return;
  m.OnSpeedChanged = [&c](TBaseModul*) { ++c.Speed; };
  m.OnGBMChanged = [&c](TBaseModul*) { ++c.Gbm; };
  m.OnLSChanged = [&c](TBaseModul*) { ++c.Ls; };
  m.OnSettingsChanged = [&c](TBaseModul*) { ++c.Settings; };
}

class HDX01Test : public ::testing::Test {
 protected:
  void SetUp() override {
    Ifc.BusMaster().ComPort().SetLineCreator([this] { return Bus.MakeLine(); });
    Bus.Responder = [](const std::string&) { return std::optional<TFakeReply>(); };
    Ifc.SetActive(true);
  }
  void TearDown() override {
    Ifc.BusMaster().WaitQueueEmpty(std::chrono::seconds(5));
    Ifc.SetActive(false);
  }
  // The lines written since the last call, without the resynchronisation prefix.
  TLines Sent() {
    EXPECT_TRUE(Ifc.BusMaster().WaitQueueEmpty(std::chrono::seconds(5)));
    TLines lines = Bus.Writes();
    for (std::string& line : lines)
      if (line.rfind("\xA7\r", 0) == 0) line.erase(0, 2);
    Bus.ClearEvents();
    return lines;
  }
  TManualClock Clock;
  TFakeBus Bus{Clock};
  TRecordingSink Sink;
  TRS485IFC Ifc{&Clock};
};

TEST_F(HDX01Test, FreshModule) {
  THDX01 m(&Ifc.BusMaster(), 0x20);
  EXPECT_STREQ(m.ClassName(), "THDX01");
  EXPECT_EQ(m.Description, "4 fach Fahrreglerkarte, 4 GBMs4 und 8 Lichtschr. an Serial/RS485");
  ASSERT_EQ(m.Commands.size(), 1u);
  EXPECT_EQ(m.Commands[0]->Text, "?20120000");
  EXPECT_TRUE(m.Commands[0]->Enabled);
  EXPECT_TRUE(m.Commands[0]->AnswerHandler);
  const std::array<uint8_t, 8> z8{};
  const std::array<uint8_t, 4> z4{};
  EXPECT_EQ(Image(m), std::make_tuple(uint16_t{0}, z8, uint8_t{0}, z8, uint8_t{0}, z4, z4));
}

TEST_F(HDX01Test, CommandLinesLiveAndNotLive) {
  struct TRow {
    const char* Name;
    TOp Op;
    TLines Live, NotLive;
  };
  // clang-format off
  const std::vector<TRow> rows = {
      {"SetThrottle", [](THDX01& m) { m.SetThrottle(1, 12, 3); }, {"!202002CC"}, {"!202002CC"}},
      {"SetThrottle masks", [](THDX01& m) { m.SetThrottle(0, 37, 1); }, {"!20200145"}, {"!20200145"}},
      {"SendThrottle", [](THDX01& m) { m.Fahrstufe[3] = 7, m.Richtung[3] = 1, m.SendThrottle(3); }, {"!20200447"}, {}},
      {"SendThrottle stray", [](THDX01& m) { m.Fahrstufe[0] = 40, m.Richtung[0] = 6, m.SendThrottle(0); }, {"!20200188"}, {}},
      {"RequestGBM", [](THDX01& m) { m.RequestGBM(); }, {"?20100000"}, {}},
      {"RequestSensoren", [](THDX01& m) { m.RequestSensoren(); }, {"?20110000"}, {}},
      {"SetSensorStop", [](THDX01& m) { m.SetSensorStop(0, 0), m.SetSensorStop(1, 1), m.SetSensorStop(7, 2); }, {"!20520100", "!20520201", "!20520803"}, {}},
      {"RequestSensorStop", [](THDX01& m) { m.RequestSensorStop(7); }, {"?20520800"}, {}},
      {"WriteSenZuord", [](THDX01& m) { m.WriteSenZuord(1, 3); }, {"!20530204"}, {"!20530204"}},
      {"RequestSenZuord", [](THDX01& m) { m.RequestSenZuord(0); }, {"?20530100"}, {"?20530100"}},
      {"SetFahrstufe", [](THDX01& m) { m.SetFahrstufe(2, -12), m.SetFahrstufe(2, 12); }, {"!2020024C", "!202002CC"}, {}},
      {"SetSensorStopNr", [](THDX01& m) { m.SetSensorStopNr(3, 2); }, {"!20520303"}, {}},
      {"throttles out of range", [](THDX01& m) { m.SetThrottle(4, 1, 3), m.SetThrottle(-1, 1, 3), m.SetThrottle(0, 1, 4), m.SendThrottle(4); }, {}, {}},
      {"stop events out of range", [](THDX01& m) { m.SetSensorStop(8, 0), m.SetSensorStop(0, 3), m.SetSensorStop(0, -1), m.RequestSensorStop(-1); }, {}, {}},
      {"assignments out of range", [](THDX01& m) { m.WriteSenZuord(8, 0), m.WriteSenZuord(0, 4), m.WriteSenZuord(0, -1), m.RequestSenZuord(8); }, {}, {}},
      {"one-based out of range", [](THDX01& m) { m.SetFahrstufe(0, 5), m.SetFahrstufe(5, 5), m.SetFahrstufe(1, 32), m.SetFahrstufe(1, INT_MIN); }, {}, {}},
      {"stop numbers out of range", [](THDX01& m) { m.SetSensorStopNr(0, 1), m.SetSensorStopNr(9, 1), m.SetSensorStopNr(1, 3); }, {}, {}},
  };
  // clang-format on
  for (const TRow& row : rows) {
    for (bool live : {true, false}) {
      SCOPED_TRACE(std::string(row.Name) + (live ? " live" : " not live"));
      THDX01 m(&Ifc.BusMaster(), 0x20);
      m.Aktiv = live;
      row.Op(m);
      EXPECT_EQ(Sent(), live ? row.Live : row.NotLive);
    }
  }
}

TEST_F(HDX01Test, DisconnectedSendsNothingButStores) {
  THDX01 m(&Ifc.BusMaster(), 0x20);
  Ifc.SetActive(false);
  m.Aktiv = true;
  m.SetThrottle(0, 9, 1);
  m.WriteSenZuord(0, 0);
  m.RequestSenZuord(0);
  m.RequestGBM();
  EXPECT_EQ(Ifc.BusMaster().QueueCount(), 0u);
  EXPECT_EQ(m.GetFahrstufe(1), -9);
}

TEST_F(HDX01Test, GoingLiveQueriesEverythingInOrder) {
  THDX01 m(&Ifc.BusMaster(), 0x20);
  TCounts c;
  Count(m, c, true);
  Bus.Responder = [](const std::string& line) {
    return line == "?20530300" ? std::optional<TFakeReply>(TFakeReply{"#20530302\r\n"})
                               : std::nullopt;
  };
  m.SetAktiv(true);
  TLines expected = {"?20100000", "?20110000"};
  for (const char* code : {"53", "52"})
    for (int i = 1; i <= 8; ++i)
      expected.push_back("?20" + std::string(code) + "0" + std::to_string(i) + "00");
  EXPECT_EQ(Sent(), expected);
  EXPECT_EQ(m.SenZuord[2], 2) << "the queries' answers reach ProcessAnswer";
  EXPECT_EQ(c, (TCounts{0, 0, 0, 1, 1}));
  m.SetAktiv(false);
  EXPECT_EQ(Sent(), TLines{});
  EXPECT_EQ(c.Data, 2);
}

TEST_F(HDX01Test, OperationsStoreAndFire) {
  THDX01 m(&Ifc.BusMaster(), 0x20);
  TCounts c;
  Count(m, c, true);
  m.SetThrottle(2, 45, 2);
  EXPECT_EQ(std::make_pair(m.GetSpeed(2), m.GetRichtung(2)),
            std::make_pair(uint8_t{13}, uint8_t{2}));
  EXPECT_EQ(c, TCounts{}) << "SetThrottle fires nothing";
  m.SetFahrstufe(4, -31);
  EXPECT_EQ(std::make_pair(m.Fahrstufe[3], m.Richtung[3]), std::make_pair(uint8_t{31}, uint8_t{1}));
  EXPECT_EQ(c, (TCounts{0, 0, 0, 0, 1}));
  const auto before = Image(m);
  m.SetSensorStopNr(5, 1);
  EXPECT_EQ(c.Data, 2) << "fires although only the answer changes the image";
  m.SetFahrstufe(1, 99);
  m.SetSensorStopNr(5, 3);
  EXPECT_EQ(Image(m), before);
  EXPECT_EQ(c.Data, 2);
  EXPECT_EQ(Sent(), TLines{"!2020038D"}) << "not live: only SetThrottle goes out";
}

TEST_F(HDX01Test, AnswersDecodeAndFire) {
  struct TRow {
    const char* Answer;
    TOp Before, Change;
    TCounts WithEvents;  // with all four specific events set
    int DataWithout;     // OnDataChanged alone
  };
  const TOp none = [](THDX01&) {};
  // clang-format off
  const std::vector<TRow> rows = {
      {"#20125A03\r\n", none, [](THDX01& m) { m.Sensoren = 0x5A, m.GBM = 3; }, {0, 1, 1, 0, 0}, 1},
      {"#20125A03\r\n", [](THDX01& m) { m.Sensoren = 0x15A; }, [](THDX01& m) { m.Sensoren = 0x5A, m.GBM = 3; }, {0, 1, 1, 0, 0}, 1},
      {"#20125A03\r\n", [](THDX01& m) { m.Sensoren = 0x5A; }, [](THDX01& m) { m.GBM = 3; }, {0, 1, 0, 0, 0}, 1},
      {"#20125A03\r\n", [](THDX01& m) { m.Sensoren = 0x5A, m.GBM = 3; }, none, {}, 0},
      {"#20100005\r\n", none, [](THDX01& m) { m.GBM = 5; }, {0, 1, 0, 0, 1}, 1},
      {"#20100301\r\n", [](THDX01& m) { m.GBM = 1; }, [](THDX01& m) { m.GBM = 5; }, {0, 1, 0, 0, 1}, 1},
      {"#20100100\r\n", [](THDX01& m) { m.GBM = 5; }, [](THDX01& m) { m.GBM = 4; }, {0, 1, 0, 0, 1}, 1},
      {"#201001FF\r\n", [](THDX01& m) { m.GBM = 1; }, none, {}, 0},
      {"#20100501\r\n", none, none, {}, 0},
      {"#20110023\r\n", [](THDX01& m) { m.Sensoren = 0x100; }, [](THDX01& m) { m.Sensoren = 0x23; }, {0, 0, 1, 0, 1}, 1},
      {"#20110123\r\n", none, [](THDX01& m) { m.Sensoren = 0x01; }, {0, 0, 1, 0, 1}, 1},
      {"#20110801\r\n", none, [](THDX01& m) { m.Sensoren = 0x80; }, {0, 0, 1, 0, 1}, 1},
      {"#20110900\r\n", [](THDX01& m) { m.Sensoren = 0xFF; }, none, {}, 0},
      {"#20200083\r\n", none, [](THDX01& m) { m.Fahrstufe = {3, 3, 3, 3}, m.Richtung = {2, 2, 2, 2}; }, {1, 0, 0, 0, 1}, 1},
      {"#20200245\r\n", none, [](THDX01& m) { m.Fahrstufe[1] = 5, m.Richtung[1] = 1; }, {1, 0, 0, 0, 1}, 1},
      {"#20200265\r\n", none, [](THDX01& m) { m.Fahrstufe[1] = 5, m.Richtung[1] = 1; }, {1, 0, 0, 0, 1}, 1},
      {"#20200245\r\n", [](THDX01& m) { m.Fahrstufe[1] = 5, m.Richtung[1] = 1; }, none, {}, 0},
      {"#20200545\r\n", none, none, {}, 0},
      {"#20210113\r\n", [](THDX01& m) { m.Richtung[0] = 3; }, [](THDX01& m) { m.Fahrstufe[0] = 19; }, {1, 0, 0, 0, 1}, 1},
      {"#202100FF\r\n", [](THDX01& m) { m.Richtung = {1, 1, 1, 1}; }, [](THDX01& m) { m.Fahrstufe = {31, 31, 31, 31}; }, {1, 0, 0, 0, 1}, 1},
      {"#20220380\r\n", [](THDX01& m) { m.Fahrstufe[2] = 9, m.Richtung[2] = 1; }, [](THDX01& m) { m.Richtung[2] = 2; }, {1, 0, 0, 0, 1}, 1},
      {"#2022037F\r\n", [](THDX01& m) { m.Richtung[2] = 3; }, [](THDX01& m) { m.Richtung[2] = 0; }, {1, 0, 0, 0, 1}, 1},
      {"#20230440\r\n", none, [](THDX01& m) { m.Richtung[3] = 1; }, {1, 0, 0, 0, 1}, 1},
      {"#202300BF\r\n", [](THDX01& m) { m.Richtung = {3, 3, 0, 3}; }, [](THDX01& m) { m.Richtung = {0, 0, 0, 0}; }, {1, 0, 0, 0, 1}, 1},
      {"#20230540\r\n", none, none, {}, 0},
      {"#20520303\r\n", none, [](THDX01& m) { m.SensorStop[2] = 2; }, {0, 0, 1, 0, 0}, 1},
      {"#20520107\r\n", none, [](THDX01& m) { m.SensorStop[0] = 2; }, {0, 0, 1, 0, 0}, 1},
      {"#20520801\r\n", none, [](THDX01& m) { m.SensorStop[7] = 1; }, {0, 0, 1, 0, 0}, 1},
      {"#20520302\r\n", [](THDX01& m) { m.SensorStop[2] = 2; }, [](THDX01& m) { m.SensorStop[2] = 0; }, {0, 0, 1, 0, 0}, 1},
      {"#20520903\r\n", none, none, {}, 0},
      {"#20520003\r\n", none, none, {}, 0},
      {"#20530204\r\n", none, [](THDX01& m) { m.SenZuord[1] = 4; }, {0, 0, 0, 1, 0}, 1},
      {"#20530204\r\n", [](THDX01& m) { m.SenZuord[1] = 4; }, none, {}, 0},
      {"#20530205\r\n", none, none, {}, 0},
      {"#20530200\r\n", [](THDX01& m) { m.SenZuord[1] = 4; }, none, {}, 0},
      {"#20530901\r\n", none, none, {}, 0},
      {"#20549912\r\n", none, [](THDX01& m) { m.SensorInputMask = 0x12; }, {0, 0, 0, 1, 0}, 1},
      {"#20990101\r\n", none, none, {}, 0},
      {"!20125A03\r\n", none, none, {}, 0},
      {"#20125A\r\n", none, none, {}, 0},
      {"#2020014\r\n", [](THDX01& m) { m.Fahrstufe[0] = 5, m.Richtung[0] = 3; }, none, {}, 0},
      {"#20125G03\r\n", none, none, {}, 0},
      {"", none, none, {}, 0},
      {"#2001[HDX01.1.0]\r\n", none, none, {0, 0, 0, 0, 1}, 1},
  };
  // clang-format on
  for (const TRow& row : rows) {
    for (bool specific : {true, false}) {
      SCOPED_TRACE(std::string(row.Answer) + (specific ? " with events" : " without"));
      THDX01 m(&Ifc.BusMaster(), 0x20), expected(nullptr, 0x20);
      row.Before(m);
      row.Before(expected);
      row.Change(expected);
      TCounts c;
      Count(m, c, specific);
      m.ProcessAnswer("?20120000", row.Answer);
      EXPECT_EQ(Image(m), Image(expected));
      EXPECT_EQ(c, (specific ? row.WithEvents : TCounts{0, 0, 0, 0, row.DataWithout}));
    }
  }
}

TEST_F(HDX01Test, FailingHandlerStillStoresEverything) {
  THDX01 m(&Ifc.BusMaster(), 0x20);
  m.OnLSChanged = [](TBaseModul*) { throw std::runtime_error("window gone"); };
  EXPECT_THROW(m.ProcessAnswer("?20120000", "#20125A03\r\n"), std::runtime_error);
  EXPECT_EQ(std::make_pair(m.Sensoren, m.GBM), std::make_pair(uint16_t{0x5A}, uint8_t{3}));
}

TEST_F(HDX01Test, Getters) {
  THDX01 m(nullptr, 0x20);
  m.Fahrstufe = {7, 7, 7, 7};
  m.Richtung = {0, 1, 2, 3};
  m.GBM = 0x3A;  // bits beyond detector 4 are set too
  m.Sensoren = 0x181;
  m.SensorStop = {0, 1, 2, 0, 0, 0, 0, 2};
  m.SenZuord = {4, 0, 0, 0, 0, 0, 0, 3};
  using TGetter = std::function<int(int)>;
  // clang-format off
  const std::vector<std::pair<TGetter, std::vector<int>>> rows = {  // values for n = 0 … 9
      {[&](int n) { return m.GetFahrstufe(n); },    {0, 0, -7, 7, 7, 0, 0, 0, 0, 0}},
      {[&](int n) { return m.GetGBM(n); },          {0, 0, 1, 0, 1, 0, 0, 0, 0, 0}},
      {[&](int n) { return m.GetSensor(n); },       {0, 0, 1, 1, 1, 1, 1, 1, 0, 0}},
      {[&](int n) { return m.GetSensorStop(n); },   {0, 0, 1, 2, 0, 0, 0, 0, 2, 0}},
      {[&](int n) { return m.GetSpeed(n - 1); },    {0, 7, 7, 7, 7, 0, 0, 0, 0, 0}},
      {[&](int n) { return m.GetRichtung(n - 1); }, {0, 0, 1, 2, 3, 0, 0, 0, 0, 0}},
      {[&](int n) { return m.GetSenZuord(n - 1); }, {0, 4, 0, 0, 0, 0, 0, 0, 3, 0}},
  };
  // clang-format on
  for (std::size_t r = 0; r < rows.size(); ++r) {
    std::vector<int> got;
    for (int n = 0; n <= 9; ++n)
      got.push_back(rows[r].first(n));
    EXPECT_EQ(got, rows[r].second) << "row " << r;
  }
}

TEST_F(HDX01Test, SensorStopIndex) {
  const std::vector<std::pair<std::string, int>> rows = {
      {" bstop ", 1},     {"HALT", 0}, {"aus", 0},   {"Fstop", 2},
      {"\tFSTOP\r\n", 2}, {"", 0},     {"BSTOP2", 0}};
  for (const auto& [name, index] : rows)
    EXPECT_EQ(THDX01::SensorStopIndex(name), index) << name;
}

TEST_F(HDX01Test, Texts) {
  THDX01 m(nullptr, 0x20);
  m.Bezeichnung = "Bahnhof";
  m.SensorInputMask = 0xF0;
  m.SenZuord = {1, 0, 4, 0, 0, 0, 0, 2};
  EXPECT_EQ(m.GetPropertiesText(),
            "ClassName=THDX01\r\nVersion=\r\nModuladresse=32\r\nCaption=Bahnhof\r\nHinweis=\r\n"
            "SensorInputMask=240\r\nSenZuords=1;0;4;0;0;0;0;2");
  EXPECT_EQ(m.TextCommandHelp(),
            "!FreeCmd(Ifc,\"ModulCmd\")\r\n!Fahrstufe(Ifc,Ma,FrNr,Fahrstufe)\r\n?Fahrstufe(Ifc,Ma,"
            "FrNr)\r\n"
            "?GBM(Ifc,Ma,GBMNr)\r\n?Sensor(Ifc,Ma,SenNr)\r\n!SensorSTOP(Ifc,Ma,SenNr,EventNr)\r\n"
            "?SensorSTOP(Ifc,Ma,SenNr)");
}

TEST_F(HDX01Test, TextCommands) {
  const std::string range = "ERROR THDX01.TextCommand: Parameters out of Range.";
  struct TRow {
    const char* Text;
    std::string Result, Error;
    TLines Sent;
  };
  // clang-format off
  const std::vector<TRow> rows = {
      {"!Fahrstufe(1,$20,2,-12)", "", "", {"!2020024C"}},
      {"!fahrstufe(1,$20,1,31)", "", "", {"!202001DF"}},
      {"!Fahrstufe(1,$20,4)", "", "", {"!202004C0"}},
      {"!Fahrstufe(1,$20,5,10)", "", range, {}},
      {"!Fahrstufe(1,$20,0,10)", "", range, {}},
      {"!Fahrstufe(1,$20,1,32)", "", range, {}},
      {"!Fahrstufe(1,$20,1,-32)", "", range, {}},
      {"?Fahrstufe(1,$20,3)", "-5", "", {}},
      {"?FAHRSTUFE(1,$20,$2)", "6", "", {}},
      {"?Fahrstufe(1,$20,5)", "", range, {}},
      {"?GBM(1,$20,3)", "1", "", {}},
      {"?gbm(1,$20,1)", "0", "", {}},
      {"?GBM(1,$20,0)", "", "ERROR THDX01.TextCommand: Paramters out of Range.", {}},
      {"?GBM(1,$20,x)", "", "ERROR THDX01.TextCommand: Paramters out of Range.", {}},
      {"?GBM(1,$20,5)", "", "ERROR THDX01.TextCommand: Paramters out of Range.", {}},
      {"?Sensor(1,$20,1)", "0", "", {}},
      {"?Sensor(1,$20,2)", "1", "", {}},
      {"?Sensor(1,$20,9)", "", range, {}},
      {"!SensorSTOP(1,$20,3,2)", "", "", {"!20520303"}},
      {"!SensorStop(1,$20,8)", "", "", {"!20520800"}},
      {"!SensorSTOP(1,$20,9,1)", "", range, {}},
      {"!SensorSTOP(1,$20,1,3)", "", range, {}},
      {"!SensorSTOP(1,$20,1,-1)", "", range, {}},
      {"?SensorSTOP(1,$20,8)", "2", "", {}},
      {"?SensorSTOP(1,$20,0)", "", range, {}},
      {"!Schalten(1,$20,3,1)", "", "ERROR THDX01.TextCommand: Unknown Command.", {}},
      {"Fahrstufe(1,$20,2,5)", "", "ERROR THDX01.TextCommand: Unknown Command.", {}},
      {"", "", "ERROR THDX01.TextCommand: Unknown Command.", {}},
      {"!FreeCmd(1,?20100000)", "1", "", {"?20100000"}},
  };
  // clang-format on
  for (bool live : {true, false}) {
    for (const TRow& row : rows) {
      SCOPED_TRACE(std::string(row.Text) + (live ? " live" : " not live"));
      THDX01 m(&Ifc.BusMaster(), 0x20);
      m.Aktiv = live;
      m.Fahrstufe = {0, 6, 5, 0};
      m.Richtung = {3, 3, 1, 3};
      m.GBM = 0x04;
      m.Sensoren = 0x01;
      m.SensorStop[7] = 2;
      TCounts c;
      Count(m, c, true);
      const auto before = Image(m);
      Sink.Clear();
      EXPECT_EQ(m.TextCommand(row.Text), row.Result);
      // Read before the bus runs: the silent fake bus adds time-out reports.
      const TLines reported = Sink.Lines();
      const std::vector<uint8_t> kinds = Sink.Kinds();
      EXPECT_EQ(Sent(), live ? row.Sent : TLines{});
      EXPECT_EQ(reported, row.Error.empty() ? TLines{} : TLines{row.Error});
      if (!row.Error.empty()) {
        EXPECT_EQ(kinds, std::vector<uint8_t>{1});
        EXPECT_EQ(Image(m), before);
        EXPECT_EQ(c, TCounts{});
      }
    }
  }
  THDX01 m(&Ifc.BusMaster(), 0x20);
  m.TextCommand("!Fahrstufe(1,$20,2,-12)");
  EXPECT_EQ(m.TextCommand("?Fahrstufe(1,$20,2)"), "-12");
}

}  // namespace
