#include <gtest/gtest.h>

#include "fakes/run_kavorctl.h"
#include "sim/sim_bus.h"
#include "sim/sim_pty.h"

namespace {

TEST(KavorctlTest, PortsListsSimLast) {
  const TRunResult r = RunKavorctl({"ports"});
  EXPECT_EQ(r.ExitCode, 0) << r.Err;
  ASSERT_FALSE(r.Out.empty());
  const std::string lastLine = r.Out.substr(r.Out.rfind('\n', r.Out.size() - 2) + 1);
  EXPECT_EQ(lastLine.rfind("SIM\t", 0), 0u) << r.Out;
}

TEST(KavorctlTest, SendPrintsEachLineWithItsAnswer) {
  const TRunResult r = RunKavorctl({"send", "--port", "SIM", "?1E010000", "?32200000"});
  EXPECT_EQ(r.ExitCode, 0) << r.Err;
  EXPECT_EQ(r.Out.rfind("?1E010000 --> #1E01[MXB01.", 0), 0u) << r.Out;
  EXPECT_NE(r.Out.find("]\n?32200000 --> #3220"), std::string::npos) << r.Out;
  EXPECT_EQ(r.Out.find('\r'), std::string::npos);
}

TEST(KavorctlTest, TimeOutGivesExitOneAndAStampedReport) {
  const TRunResult r =
      RunKavorctl({"send", "--port", "SIM", "--timeout", "100", "?55010000", "?1E010000"});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_EQ(r.Out.rfind("?55010000 --> \n?1E010000 --> #1E01[", 0), 0u) << r.Out;
  // "YYYY-MM-DD HH:MM:SS| " + the report.
  ASSERT_GE(r.Err.size(), 21u);
  EXPECT_EQ(r.Err.substr(19, 2), "| ") << r.Err;
  EXPECT_NE(r.Err.find("TimeOut, Modul antwortet nicht! \"?55010000\" "), std::string::npos)
      << r.Err;
}

TEST(KavorctlTest, UsageErrorsAndUnopenablePortGiveExitTwo) {
  struct {
    QStringList Args;
    const char* Err;
  } cases[] = {
      {{}, "Usage: kavorctl <verb>"},
      {{"nonsense"}, "unknown verb"},
      {{"send", "?1E010000"}, "--port is required"},
      {{"send", "--port", "SIM"}, "no LINE given"},
      {{"send", "--port", "SIM", "?1E010000", ""}, "LINE 2 is empty"},
      {{"send", "--port", "SIM", "--timeout", "100", "?1E010000", QString(6000, 'A')},
       "LINE 2 is too long to be sent within the time limit: its 6000 characters take 6252 ms "
       "at 9600 baud, and all lines together may take 5400 ms"},
      {{"send", "--port", "SIM", "--baud", "4800", "?1E010000"}, "--baud must be 9600 or 19200"},
      {{"send", "--port", "SIM", "--bogus", "?1E010000"}, "Unknown option"},
      {{"send", "--port", "/dev/kavor-no-such-port", "?1E010000"},
       "TCOMPORT : cannot open /dev/kavor-no-such-port"},
  };
  for (const auto& c : cases) {
    const TRunResult r = RunKavorctl(c.Args);
    EXPECT_EQ(r.ExitCode, 2) << c.Args.join(' ').toStdString();
    EXPECT_NE(r.Err.find(c.Err), std::string::npos) << r.Err;
  }
}

#ifndef _WIN32
TEST(KavorctlTest, SendWorksThroughARealPseudoTerminal) {
  TSimBus bus;
  bus.AddDefaultCards();
  TSimPtyServer server(bus);
  const std::string path = server.Start(19200);
  const TRunResult r = RunKavorctl({"send", "--port", QString::fromStdString(path), "--baud",
                                    "19200", "?20010000", "!1E130001", "?1E200000"});
  EXPECT_EQ(r.ExitCode, 0) << r.Err;
  EXPECT_EQ(r.Out,
            "?20010000 --> #2001[HDX01.1.3]\n!1E130001 --> #1E130001\n?1E200000 --> #1E200008\n");
  server.Stop();
}
#endif

}  // namespace
