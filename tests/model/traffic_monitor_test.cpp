// What the traffic monitor keeps and shows, without a window: the bounded ring, its filters,
// and the CSV, JSON and text lines written from it.
#include <gtest/gtest.h>

#include <QDateTime>

#include "model/traffic_format.h"
#include "model/traffic_log.h"

namespace {

const int64_t kT0 = QDateTime(QDate(2024, 5, 1), QTime(14, 3, 7, 123)).toMSecsSinceEpoch();

TTrafficRow Row(int32_t ifc, const std::string& command, const std::string& answer,
                bool poll = true, const char* className = "TMXB01") {
  TTrafficRow row;
  TExchangeRecord& r = row.Record;
  r.IfcNumber = ifc;
  r.Command = command;
  r.Answer = answer;
  r.Outcome = ClassifyAnswer(command, answer);
  r.Poll = poll;
  r.WrittenMs = kT0;
  r.AnswerUs = answer.empty() ? 200'412 : 10'420;
  r.Baud = 9600;
  row.ClassName = className;
  return row;
}

TEST(MonitorTrafficTest, RingKeepsTheNewestRowsWithStableSequenceNumbers) {
  TTrafficRing ring(3);
  for (int i = 0; i < 5; ++i)
    ring.Append(Row(0, "?1E20000" + std::to_string(i), "#1E200000\r\n"));
  EXPECT_EQ(ring.Size(), 3u);
  EXPECT_EQ(ring.FirstSeq(), 2u);
  EXPECT_EQ(ring.EndSeq(), 5u);
  EXPECT_EQ(ring.At(1), nullptr);
  ASSERT_NE(ring.At(2), nullptr);
  EXPECT_EQ(ring.At(2)->Record.Command, "?1E200002");
  EXPECT_EQ(ring.At(4)->Record.Command, "?1E200004");
  EXPECT_EQ(ring.At(5), nullptr);
  ring.Clear();
  EXPECT_EQ(ring.Size(), 0u);
  EXPECT_EQ(ring.FirstSeq(), 5u);
  ring.Append(Row(0, "?1E200009", ""));
  EXPECT_EQ(ring.At(5)->Record.Command, "?1E200009");
  // The default holds the last 100 000 exchanges.
  EXPECT_EQ(TTrafficRing().Capacity(), 100'000u);
}

TEST(MonitorTrafficTest, FiltersByInterfaceModuleKindFaultAndText) {
  const std::vector<TTrafficRow> rows = {
      Row(0, "?1E200000", "#1E200A0F\r\n"),                           // 0 poll, answered
      Row(0, "!1E150001", "#1E150001\r\n", false),                    // 1 one-shot
      Row(0, "?40200000", "", true, "TRS485Dummy"),                   // 2 time-out
      Row(1, "?1E200000", "#1E2G0A0F\r\n"),                           // 3 unreadable, IFC 1
      Row(1, "?32300000", "#20300000\r\n", true, "TMXB02"),           // 4 foreign
      Row(0, "?7F010000", "#7F01[IFC.1.0]\r\n", false, "TIFCPorts"),  // 5
  };
  const struct {
    const char* Name;
    TTrafficFilter Filter;
    std::vector<int> Shown;
  } cases[] = {
      {"all", {}, {0, 1, 2, 3, 4, 5}},
      {"interface 1", {1, -1, false, false, ""}, {3, 4}},
      {"module $1E anywhere", {-1, 0x1E, false, false, ""}, {0, 1, 3}},
      {"module $1E on IFC 0", {0, 0x1E, false, false, ""}, {0, 1}},
      {"hide polls", {-1, -1, true, false, ""}, {1, 5}},
      {"only faults", {-1, -1, false, true, ""}, {2, 3, 4}},
      {"faults of IFC 0", {0, -1, false, true, ""}, {2}},
      {"text: class, any case", {-1, -1, false, false, "rs485dummy"}, {2}},
      {"text: TimeOut as shown", {-1, -1, false, false, "timeout"}, {2}},
      {"text: address as shown", {-1, -1, false, false, "$7f"}, {5}},
      {"text: answer", {-1, -1, false, false, "IFC.1"}, {5}},
      {"text: command", {-1, -1, false, false, "!1E15"}, {1}},
      {"text and faults", {-1, -1, false, true, "2G0"}, {3}},
      {"nothing", {-1, -1, false, false, "no such text"}, {}},
  };
  for (const auto& c : cases) {
    std::vector<int> shown;
    for (int i = 0; i < static_cast<int>(rows.size()); ++i)
      if (c.Filter.Matches(rows[static_cast<std::size_t>(i)])) shown.push_back(i);
    EXPECT_EQ(shown, c.Shown) << c.Name;
  }
}

TEST(MonitorTrafficTest, CsvJsonAndTextLinesCarryEveryField) {
  EXPECT_EQ(CsvHeader(), "time;ifc;address;class;command;resync;answer;outcome;answer_us;kind");
  TTrafficRow answered = Row(0, "?1E200000", "#1E200A0F\r\n");
  answered.Record.ResyncPrefix = true;
  EXPECT_EQ(CsvLine(answered),
            "2024-05-01 14:03:07.123;0;$1E;TMXB01;?1E200000;1;#1E200A0F;answered;10420;poll");
  const TTrafficRow timedOut = Row(2, "?40200000", "", false, "TRS485Dummy");
  EXPECT_EQ(CsvLine(timedOut),
            "2024-05-01 14:03:07.123;2;$40;TRS485Dummy;?40200000;0;TimeOut;timeout;200412;oneshot");
  // Bytes from the bus: control characters readable, the separator and quotes quoted, and what
  // a spreadsheet would run as a formula made harmless.
  const TTrafficRow garbage = Row(0, "?1E200000", "=1;\"x\"\x01\r\n");
  EXPECT_EQ(CsvLine(garbage),
            "2024-05-01 14:03:07.123;0;$1E;TMXB01;?1E200000;0;\"'=1;\"\"x\"\"<01>\";"
            "unreadable;10420;poll");
  EXPECT_EQ(JsonLine(timedOut),
            "{\"type\":\"exchange\",\"time\":\"2024-05-01 14:03:07.123\",\"ifc\":2,"
            "\"address\":\"$40\",\"class\":\"TRS485Dummy\",\"command\":\"?40200000\","
            "\"resync\":false,\"answer\":\"TimeOut\",\"outcome\":\"timeout\","
            "\"answer_us\":200412,\"kind\":\"oneshot\"}");
  EXPECT_NE(JsonLine(garbage).find(",\"answer\":\"=1;\\\"x\\\"<01>\","), std::string::npos)
      << JsonLine(garbage);
  EXPECT_EQ(TextLine(answered),
            "14:03:07.123  IFC(0)  $1E  ?1E200000  #1E200A0F  answered     10.42 ms");
  EXPECT_EQ(TextLine(timedOut),
            "14:03:07.123  IFC(2)  $40  ?40200000  TimeOut    timeout     200.41 ms");
}

TEST(MonitorTrafficTest, StatisticsTableInEveryFormat) {
  TLinkStatistics statistics;
  statistics.Reset(kT0);
  for (const TTrafficRow& row : {Row(0, "?1E200000", "#1E200A0F\r\n"), Row(0, "?40200000", ""),
                                 Row(0, "?1E200000", "#1E200A0F\r\n")})
    statistics.Add(row.Record);
  const auto classOf = [](int32_t, int address) { return address == 0x1E ? "TMXB01" : ""; };
  const std::string text = StatisticsTable(statistics, classOf, kT0 + 1000, "text");
  EXPECT_EQ(text.substr(0, text.find('\n')),
            "IFC  ADDRESS  CLASS        EXCHANGES  ANSWERS  TIMEOUTS  UNREADABLE  FOREIGN    "
            "MIN_MS   MEAN_MS    P95_MS    MAX_MS  LAST_ANSWER");
  EXPECT_NE(text.find("\n  0  $1E      TMXB01               2        2         0           0  "
                      "      0     10.42     10.42     10.42     10.42  14:03:07.133"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("\n  0  $40      -                    1        0         1           0  "
                      "      0         -         -         -         -  -"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("IFC(0): 3 exchanges, 1 faults, 3.0 exchanges/s, bus load "),
            std::string::npos)
      << text;
  const std::string csv = StatisticsTable(statistics, classOf, kT0 + 1000, "csv");
  EXPECT_EQ(csv,
            "scope;ifc;address;class;exchanges;answers;timeouts;unreadable;foreign;min_us;mean_us;"
            "p95_us;max_us;last_answer;exchanges_per_min;load_permille;baud\n"
            "module;0;$1E;TMXB01;2;2;0;0;0;10420;10420;10420;10420;2024-05-01 14:03:07.133;;;\n"
            "module;0;$40;;1;0;1;0;0;;;;;;;;\n"
            "interface;0;;;3;2;1;0;0;;;;;;180;" +
                std::to_string(static_cast<int>((21 + 10 + 21) * 10 * 1000.0 / 9600 + 0.5)) +
                ";9600\n");
  const std::string json = StatisticsTable(statistics, classOf, kT0 + 1000, "jsonl");
  EXPECT_NE(json.find("{\"type\":\"module\",\"ifc\":0,\"address\":\"$40\",\"class\":null,"
                      "\"exchanges\":1,\"answers\":0,\"timeouts\":1,\"unreadable\":0,\"foreign\":0,"
                      "\"min_us\":null,\"mean_us\":null,\"p95_us\":null,\"max_us\":null,"
                      "\"last_answer\":null}\n"),
            std::string::npos)
      << json;
}

}  // namespace
