// The bus under faults: silent cards, garbled lines, lines without end, late answers, noise, and a
// port that vanishes. Nothing may crash, faults end in the log, the other cards keep being
// served, and a vanished port costs no CPU.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "bus/bus_interface.h"
#include "fakes/manual_clock.h"
#include "fakes/recording_sink.h"
#include "model/moduls_list.h"
#include "modules/base_modul.h"
#include "sim/sim_bus.h"
#include "sim/sim_pty.h"
#include "sim/sim_serial_line.h"
#include "support/main_thread.h"

#ifndef _WIN32
#include <sys/resource.h>
#endif

namespace {

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

TEST(FaultInjectionTest, TenThousandExchangesWithRandomFaults) {
  TManualClock clock;
  TSimBus bus(clock);
  bus.AddDefaultCards();
  bus.SetSeed(20261208);
  TSimFaults faults;
  faults.SilentChance = 0.04;
  faults.CorruptChance = 0.04;
  faults.NoLineEndChance = 0.04;
  faults.SlowChance = 0.04;
  faults.NoiseChance = 0.04;
  faults.SlowAnswerDelayUs = 300'000;  // after the 200 ms time-out
  for (uint8_t address : {0x1E, 0x32, 0x20, 0x40})
    bus.SetFaults(address, faults);

  TRecordingSink sink;
  TModulsList list(&clock);
  list.OnInterfaceCreated = [&bus](TRS485IFC& ifc) {
    ifc.BusMaster().ComPort().SetLineCreator([&bus] { return MakeSimSerialLine(bus); });
  };
  TRS485IFC* ifc = list.AddIFC("TRS485IFC")->IFC;
  ifc->SetPollPriority(2);
  std::vector<TBaseModul*> modules;
  for (const auto& [name, address] :
       std::vector<std::pair<const char*, int>>{{"TMXB01", 0x1E},
                                                {"TMXB02", 0x32},
                                                {"THDX01", 0x20},
                                                {"TRS485Dummy", 0x40},
                                                {"TIFCPorts", 0x7F}}) {
    TBaseModul* modul = list.AddModul(name, ifc, address)->Modul;
    modul->SetPolling(true);
    modules.push_back(modul);
  }
  // One-shot commands among the polls, as a user at the window would send them. The queue is
  // topped up after every answer of the clean card too: on the manual clock the bus thread can
  // keep the main thread busy with handlers for a long stretch before a wait looks again.
  int sent = 0;
  auto topUp = [&] {
    while (ifc->Active() && ifc->BusMaster().QueueCount() < 2) {
      ifc->AddCommand("!1E1" + std::string(1, "0123456789ABCDEF"[sent % 16]) + "0001");
      ++sent;
    }
  };
  int cleanCardUpdates = 0;
  modules.back()->OnDataChanged = [&](TBaseModul*) {
    ++cleanCardUpdates;
    topUp();
  };
  ifc->SetActive(true);
  ASSERT_TRUE(ifc->Active());
  for (TBaseModul* modul : modules)
    modul->SetAktiv(true);

  const bool done = MainThread().WaitUntil(
      [&] {
        topUp();
        return bus.FaultCounts().Commands >= 10000;
      },
      std::chrono::seconds(120));
  ifc->SetActive(false);
  ASSERT_TRUE(done) << "only " << bus.FaultCounts().Commands << " exchanges";

  const TSimFaultCounts counts = bus.FaultCounts();
  std::size_t timeouts = 0, unreadable = 0, dropped = 0, other = 0;
  for (const std::string& line : sink.Lines()) {
    if (StartsWith(line, "TimeOut, Modul antwortet nicht! "))
      ++timeouts;
    else if (StartsWith(line, "IFC(0): ") && line.find(" verworfen: ") != std::string::npos)
      ++dropped;
    else if (line.find(": unlesbare Antwort auf ") != std::string::npos ||
             line.find(" verworfen: ") != std::string::npos)
      ++unreadable;
    else
      ++other;
  }
  std::printf(
      "%zu time-outs, %zu unreadable, %zu dropped; faults: %llu silent, %llu no line "
      "end, %llu slow, %llu corrupt, %llu noise\n",
      timeouts, unreadable, dropped, static_cast<unsigned long long>(counts.Silent),
      static_cast<unsigned long long>(counts.NoLineEnd),
      static_cast<unsigned long long>(counts.Slow), static_cast<unsigned long long>(counts.Corrupt),
      static_cast<unsigned long long>(counts.Noise));
  // Every exchange without a whole answer line ends in a report: a time-out, or, where a late
  // answer of the card before fills the wait, the report that this answer was not taken.
  EXPECT_GE(timeouts + unreadable, counts.Silent + counts.NoLineEnd + counts.Slow);
  EXPECT_GT(timeouts, (counts.Silent + counts.NoLineEnd + counts.Slow) * 3 / 4);
  // Garbled lines and noise are reported when they make an answer unreadable; a garbled digit
  // that still reads as a number cannot be told from a real value.
  EXPECT_GT(unreadable, (counts.Corrupt + counts.Noise) / 4);
  // A line without its end is dropped before the next command instead of being glued to the
  // next answer; what arrives between exchanges is dropped the same way.
  EXPECT_GE(dropped, counts.NoLineEnd * 3 / 4);
  EXPECT_EQ(other, 0u) << "unexpected report";
  EXPECT_GT(counts.Silent, 50u);
  EXPECT_GT(counts.Noise, 50u);
  // The card without faults kept being served throughout.
  EXPECT_GT(cleanCardUpdates, 1000);
  EXPECT_GT(sent, 1000);
}

#ifndef _WIN32
double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The port is reached through a fixed name (a link to the pseudo-terminal), as a USB adapter is
// through its device name, so that it can vanish and come back under the same name.
TEST(FaultInjectionTest, PortVanishesMidExchangeAndComesBack) {
  QTemporaryDir dir;
  const QString link = dir.path() + "/ttyKAVOR0";
  TSimBus bus;
  bus.AddDefaultCards();
  bus.SetAnswerDelayUs(150'000);  // long enough to pull the plug while a command waits
  auto server = std::make_unique<TSimPtyServer>(bus);
  ASSERT_TRUE(QFile::link(QString::fromStdString(server->Start()), link));

  TRecordingSink sink;
  TRS485IFC ifc;
  ifc.SetPort(link.toStdString());
  ifc.SetTimeout(500);
  int lost = 0;
  ifc.BusMaster().OnConnectionLost = [&] { ++lost; };
  ifc.SetActive(true);
  ASSERT_TRUE(ifc.Active());
  std::string answer = "none";
  ASSERT_TRUE(
      ifc.AddCommand("?1E010000", [&](const std::string&, const std::string& a) { answer = a; }));
  // Pull the plug while the command waits for its answer.
  MainThread().WaitUntil([] { return false; }, std::chrono::milliseconds(60));
  server.reset();
  ASSERT_TRUE(MainThread().WaitUntil([&] { return !ifc.Active(); }, std::chrono::seconds(5)));
  const double before = CpuSeconds();
  MainThread().WaitUntil([] { return false; }, std::chrono::milliseconds(1000));
  const double cpuWhileGone = CpuSeconds() - before;
  EXPECT_LT(cpuWhileGone, 0.05) << "CPU seconds in one second without the port";
  EXPECT_EQ(lost, 1);
  EXPECT_EQ(answer, "none") << "an exchange cut off by the loss has no answer to hand out";
  ASSERT_EQ(sink.Count("ComPort " + link.toStdString() + " ist nicht mehr verfügbar"), 1u);
  EXPECT_EQ(sink.Lines().size(), 1u) << sink.Lines().back();

  // While it is gone, connecting fails with one clear report.
  ifc.SetActive(true);
  EXPECT_FALSE(ifc.Active());
  EXPECT_EQ(sink.Count("TCOMPORT : cannot open " + link.toStdString()), 1u);

  // The adapter comes back under the same name.
  bus.SetAnswerDelayUs(1000);
  server = std::make_unique<TSimPtyServer>(bus);
  QFile::remove(link);
  ASSERT_TRUE(QFile::link(QString::fromStdString(server->Start()), link));
  ifc.SetActive(true);
  ASSERT_TRUE(ifc.Active());
  answer.clear();
  ASSERT_TRUE(
      ifc.AddCommand("?1E010000", [&](const std::string&, const std::string& a) { answer = a; }));
  ASSERT_TRUE(MainThread().WaitUntil([&] { return !answer.empty(); }, std::chrono::seconds(5)));
  EXPECT_EQ(answer.rfind("#1E01[MXB01.", 0), 0u) << answer;
  ifc.SetActive(false);
}
#endif

}  // namespace
