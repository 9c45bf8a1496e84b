// The Qt SerialPort line against a real pseudo-terminal: the path a user's USB adapter takes.
#ifndef _WIN32
#include <gtest/gtest.h>
#include <sys/resource.h>

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
