// The Qt SerialPort line against a real pseudo-terminal: the path a user's USB adapter takes.
#ifndef _WIN32
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <chrono>
#include <optional>
#include <vector>

#include "bus/bus_interface.h"
#include "fakes/pty_card.h"
#include "fakes/recording_sink.h"
#include "support/main_thread.h"

namespace {

std::optional<std::string> Echo(const std::string& command) {
  if (command.size() < 9) return std::nullopt;
  return "#" + command.substr(1) + "\r\n";
}

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

TEST(PtyLineTest, ExchangesOverARealDeviceWithoutDtr) {
  TPtyCard card(Echo);
  ASSERT_TRUE(card.Ok());
  TRecordingSink sink;
  TRS485IFC ifc;
  ifc.SetPort(card.SlavePath());
  ifc.SetBaud(19200);
  ifc.SetActive(true);
  ASSERT_TRUE(ifc.Active()) << (sink.Lines().empty() ? "" : sink.Lines()[0]);
  std::vector<std::string> answers;
  for (const char* line : {"?1E010000", "!1E100001", "?1E200000"})
    ASSERT_TRUE(ifc.AddCommand(
        line, [&](const std::string&, const std::string& a) { answers.push_back(a); }));
  ASSERT_TRUE(MainThread().WaitUntil([&] { return answers.size() == 3; }, std::chrono::seconds(5)));
  ifc.SetActive(false);
  EXPECT_EQ(answers, (std::vector<std::string>{"#1E010000\r\n", "#1E100001\r\n", "#1E200000\r\n"}));
  EXPECT_TRUE(sink.Lines().empty()) << sink.Lines()[0];
}

TEST(PtyLineTest, DisconnectEndsALongAnswerWaitAtOnce) {
  TPtyCard card(
      TPtyCard::TResponder([](const std::string&) { return std::optional<std::string>(); }));
  ASSERT_TRUE(card.Ok());
  TRecordingSink sink;
  TRS485IFC ifc;
  ifc.SetPort(card.SlavePath());
  ifc.SetTimeout(5000);
  ifc.SetActive(true);
  ASSERT_TRUE(ifc.Active());
  bool handled = false;
  ASSERT_TRUE(
      ifc.AddCommand("?1E200000", [&](const std::string&, const std::string&) { handled = true; }));
  // Well into the answer wait.
  MainThread().WaitUntil([] { return false; }, std::chrono::milliseconds(100));
  const auto start = std::chrono::steady_clock::now();
  ifc.SetActive(false);
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_LT(took, std::chrono::milliseconds(1000)) << "the wait must not run to its time-out";
  EXPECT_FALSE(handled) << "an abandoned exchange has no answer";
  EXPECT_TRUE(sink.Lines().empty()) << sink.Lines()[0];
}

TEST(PtyLineTest, AMisbehavingCardNeverPushesAnAnswerOntoAnotherCommand) {
  // What the card does wrong after each command, and what the bus master must make of it. Text
  // after the answer comes kStray ms after the command: by then the bus master has turned the
  // line round (5.7 ms at 19200 baud) and taken the answer, however slow the machine, and the
  // text arrives between this exchange and the next.
  constexpr int kStray = 30;
  struct TStep {
    const char* Command;
    std::vector<TPtyWrite> Writes;
    const char* Answer;       // what the command's handler gets
    const char* ReportAfter;  // the log line the step ends with, if any
  };
  const std::vector<TStep> steps = {
      {"?1E200001", {{1, "#1E200001\r\n"}, {kStray, "#55200000\r\n"}}, "#1E200001\r\n", nullptr},
      {"?1E200002",
       {{1, "#1E200002\r\n"}},
       "#1E200002\r\n",
       "IFC(0): 11 Zeichen vor dem Senden verworfen: \"#55200000<0D><0A>\""},
      {"?1E200003", {{1, "#1E20"}}, "", "TimeOut, Modul antwortet nicht! \"?1E200003\" "},
      {"?1E200004",
       {{1, "#1E200004\r\n"}},
       "#1E200004\r\n",
       "IFC(0): 5 Zeichen vor dem Senden verworfen: \"#1E20\""},
      {"?1E200005",
       {{1, "#1E200005\r\n#20200000\r\n"}},
       "#1E200005\r\n",
       "IFC(0): 1 weitere Zeile nach der Antwort auf \"?1E200005\" verworfen: "
       "\"#20200000<0D><0A>\""},
      {"?1E200006", {{1, "#1E200006\r\n"}, {kStray, "\xFF#1E2"}}, "#1E200006\r\n", nullptr},
      {"?1E200007",
       {{1, "#1E200007\r\n"}},
       "#1E200007\r\n",
       "IFC(0): 5 Zeichen vor dem Senden verworfen: \"<FF>#1E2\""},
  };
  TPtyCard card([&steps](const std::string& command) {
    for (const TStep& step : steps)
      if (command == step.Command) return step.Writes;
    return std::vector<TPtyWrite>{};
  });
  ASSERT_TRUE(card.Ok());
  TRecordingSink sink;
  TRS485IFC ifc;
  ifc.SetPort(card.SlavePath());
  ifc.SetBaud(19200);
  ifc.SetTimeout(100);
  ifc.SetActive(true);
  ASSERT_TRUE(ifc.Active()) << (sink.Lines().empty() ? "" : sink.Lines()[0]);
  for (const TStep& step : steps) {
    SCOPED_TRACE(step.Command);
    std::optional<std::string> answer;
    ASSERT_TRUE(ifc.AddCommand(step.Command,
                               [&](const std::string&, const std::string& a) { answer = a; }));
    ASSERT_TRUE(
        MainThread().WaitUntil([&] { return answer.has_value(); }, std::chrono::seconds(5)));
    EXPECT_EQ(*answer, step.Answer);
    const std::vector<std::string> lines = sink.Lines();
    if (step.ReportAfter) {
      ASSERT_EQ(lines.size(), 1u) << ::testing::PrintToString(lines);
      EXPECT_EQ(lines[0], step.ReportAfter);
    } else {
      EXPECT_TRUE(lines.empty()) << ::testing::PrintToString(lines);
    }
    sink.Clear();
    // Whatever the card still sends after its answer arrives before the next command.
    MainThread().WaitUntil([] { return false; }, std::chrono::milliseconds(2 * kStray));
  }
  ifc.SetActive(false);
}

TEST(PtyLineTest, VanishedDeviceIsReportedOnceWithoutBusyLoop) {
  TPtyCard card(Echo);
  ASSERT_TRUE(card.Ok());
  TRecordingSink sink;
  TRS485IFC ifc;
  ifc.SetPort(card.SlavePath());
  ifc.SetActive(true);
  ASSERT_TRUE(ifc.Active());
  int answered = 0;
  ASSERT_TRUE(
      ifc.AddCommand("?1E200000", [&](const std::string&, const std::string&) { ++answered; }));
  ASSERT_TRUE(MainThread().WaitUntil([&] { return answered == 1; }, std::chrono::seconds(5)));
  card.Vanish();
  // Something to send, so the bus thread notices.
  ifc.AddCommand("?1E200000");
  ASSERT_TRUE(MainThread().WaitUntil([&] { return !ifc.Active(); }, std::chrono::seconds(5)));
  const double before = CpuSeconds();
  MainThread().WaitUntil([] { return false; }, std::chrono::milliseconds(500));
  EXPECT_LT(CpuSeconds() - before, 0.1) << "the process must sleep while the port is gone";
  EXPECT_EQ(sink.Count("ComPort " + card.SlavePath() + " ist nicht mehr verfügbar"), 1u);
  for (const std::string& line : sink.Lines())
    std::printf("reported: %s\n", line.c_str());
}

}  // namespace
#endif
