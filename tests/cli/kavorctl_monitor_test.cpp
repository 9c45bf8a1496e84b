// kavorctl monitor on the simulated bus: every exchange in the stream, the statistics at the end,
// a silent card's time-outs in both.
#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>
#include <sstream>
#include <string>
#include <vector>

#include "fakes/run_kavorctl.h"
#include "support/files.h"

#ifndef _WIN32
#include <signal.h>
#endif

namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    lines.push_back(line);
  return lines;
}

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// The cells of a statistics row, split at blanks.
std::vector<std::string> Cells(const std::string& line) {
  std::vector<std::string> cells;
  std::istringstream in(line);
  for (std::string cell; in >> cell;)
    cells.push_back(cell);
  return cells;
}

// The row of the text table for an address, or nothing.
std::vector<std::string> TableRow(const std::vector<std::string>& lines, const std::string& addr) {
  for (const std::string& line : lines) {
    const std::vector<std::string> cells = Cells(line);
    if (cells.size() >= 13 && cells[1] == addr) return cells;
  }
  return {};
}

const QStringList kSilentCard = {"monitor",  "--port",     "SIM",      "--timeout", "50",
                                 "--module", "TMXB01@$1E", "--module", "TMXB01@$41"};

TEST(KavorctlMonitorTest, SilentCardTimesOutInTheStreamAndInTheTable) {
  const TRunResult r = RunKavorctl(QStringList(kSilentCard) << "--seconds"
                                                            << "2");
  ASSERT_EQ(r.ExitCode, 0) << r.Err;
  const std::vector<std::string> lines = Lines(r.Out);
  std::size_t silentTimeouts = 0, silentOther = 0, cardAnswered = 0, cardOther = 0;
  std::size_t tableStart = lines.size();
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (line.empty()) {
      tableStart = i + 1;
      break;
    }
    if (Has(line, "  IFC(0)  $41  ?41")) {
      Has(line, "  TimeOut    timeout ") ? ++silentTimeouts : ++silentOther;
    } else if (Has(line, "  IFC(0)  $1E  ")) {
      Has(line, " answered ") ? ++cardAnswered : ++cardOther;
    } else {
      ADD_FAILURE() << "unexpected line: " << line;
    }
  }
  // Poll time-outs of 50 ms in turn with the card's answers: some of each within two seconds.
  EXPECT_GE(silentTimeouts, 5u);
  EXPECT_EQ(silentOther, 0u);
  EXPECT_GE(cardAnswered, 5u);
  EXPECT_EQ(cardOther, 0u);
  ASSERT_LT(tableStart, lines.size()) << r.Out;
  const std::vector<std::string> table(lines.begin() + static_cast<long>(tableStart), lines.end());
  ASSERT_FALSE(table.empty());
  EXPECT_EQ(table[0].rfind("IFC  ADDRESS  CLASS", 0), 0u) << table[0];
  const std::vector<std::string> silent = TableRow(table, "$41");
  ASSERT_EQ(silent.size(), 13u) << r.Out;
  EXPECT_EQ(silent[2], "TMXB01");
  EXPECT_EQ(silent[3], std::to_string(silentTimeouts)) << "exchanges";
  EXPECT_EQ(silent[4], "0") << "answers";
  EXPECT_EQ(silent[5], std::to_string(silentTimeouts)) << "time-outs";
  EXPECT_EQ(silent[12], "-") << "never answered";
  const std::vector<std::string> card = TableRow(table, "$1E");
  ASSERT_EQ(card.size(), 13u) << r.Out;
  EXPECT_EQ(card[3], std::to_string(cardAnswered));
  EXPECT_EQ(card[4], std::to_string(cardAnswered));
  EXPECT_EQ(card[5], "0");
  EXPECT_NE(card[12], "-");
  EXPECT_TRUE(Has(table.back(), "IFC(0): " + std::to_string(cardAnswered + silentTimeouts) +
                                    " exchanges, " + std::to_string(silentTimeouts) + " faults"))
      << table.back();
  // The log on standard error names the silent card's commands too.
  EXPECT_TRUE(Has(r.Err, "TimeOut, Modul antwortet nicht! \"?41")) << r.Err;
}

TEST(KavorctlMonitorTest, CsvAndJsonCarryTheSameExchanges) {
  TRunResult r = RunKavorctl(QStringList(kSilentCard) << "--seconds"
                                                      << "1"
                                                      << "--format"
                                                      << "csv");
  ASSERT_EQ(r.ExitCode, 0) << r.Err;
  std::vector<std::string> lines = Lines(r.Out);
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(lines[0], "time;ifc;address;class;command;resync;answer;outcome;answer_us;kind");
  std::size_t exchanges = 0;
  std::size_t i = 1;
  for (; i < lines.size() && !lines[i].empty(); ++i) {
    ++exchanges;
    const bool silent = Has(lines[i], ";0;$41;TMXB01;?41");
    EXPECT_TRUE(silent || Has(lines[i], ";0;$1E;TMXB01;")) << lines[i];
    if (silent) {
      EXPECT_TRUE(Has(lines[i], ";TimeOut;timeout;")) << lines[i];
    }
  }
  ASSERT_LT(i + 1, lines.size());
  EXPECT_EQ(lines[i + 1].rfind("scope;ifc;address;class;exchanges;", 0), 0u);
  EXPECT_TRUE(Has(r.Out, "\ninterface;0;;;" + std::to_string(exchanges) + ";")) << r.Out;

  r = RunKavorctl(QStringList(kSilentCard) << "--seconds"
                                           << "1"
                                           << "--format"
                                           << "jsonl");
  ASSERT_EQ(r.ExitCode, 0) << r.Err;
  exchanges = 0;
  std::size_t timeouts = 0;
  for (const std::string& line : Lines(r.Out)) {
    ASSERT_TRUE(line.size() > 2 && line.front() == '{' && line.back() == '}') << line;
    if (!Has(line, "{\"type\":\"exchange\",")) continue;
    ++exchanges;
    if (Has(line, "\"address\":\"$41\"")) {
      ++timeouts;
      EXPECT_TRUE(Has(line, "\"answer\":\"TimeOut\",\"outcome\":\"timeout\"")) << line;
    }
  }
  EXPECT_GE(timeouts, 2u);
  EXPECT_TRUE(Has(
      r.Out, "{\"type\":\"interface\",\"ifc\":0,\"exchanges\":" + std::to_string(exchanges) + ","))
      << r.Out;
  EXPECT_TRUE(Has(
      r.Out, "\"address\":\"$41\",\"class\":\"TMXB01\",\"exchanges\":" + std::to_string(timeouts) +
                 ",\"answers\":0,\"timeouts\":" + std::to_string(timeouts)))
      << r.Out;

  // Only the table.
  r = RunKavorctl(QStringList(kSilentCard) << "--seconds"
                                           << "1"
                                           << "--stats");
  ASSERT_EQ(r.ExitCode, 0) << r.Err;
  EXPECT_EQ(r.Out.rfind("IFC  ADDRESS  CLASS", 0), 0u) << r.Out;
  EXPECT_EQ(Lines(r.Out).size(), 4u) << r.Out;
}

TEST(KavorctlMonitorTest, PortThatCannotBeOpenedAndUsageErrorsGiveTwo) {
  const struct {
    QStringList Args;
    const char* Err;
  } cases[] = {
      {{"monitor", "--port", "/dev/no-such-port-here", "--module", "TMXB01@$1E", "--seconds", "1"},
       ""},
      {{"monitor", "--port", "SIM"}, "no --module"},
      {{"monitor", "--module", "TMXB01@$1E"}, "either --port"},
      {{"monitor", "--port", "SIM", "--module", "TMXB01@$1E", "--format", "xml"}, "--format"},
      {{"monitor", "--port", "SIM", "--module", "TMXB01@$1E", "--seconds", "0"}, "--seconds"},
  };
  for (const auto& c : cases) {
    const TRunResult r = RunKavorctl(c.Args);
    EXPECT_EQ(r.ExitCode, 2) << c.Args.join(' ').toStdString() << "\n" << r.Err;
    EXPECT_TRUE(Has(r.Err, c.Err)) << r.Err;
    EXPECT_EQ(r.Out, "") << c.Args.join(' ').toStdString();
  }
}

TEST(KavorctlMonitorTest, CardsFromAModelFile) {
  QTemporaryDir dir;
  const std::string file = dir.path().toStdString() + "/sim.ini";
  const std::string sim =
      "[Settings_IFK0]\r\nClassName=TSer485BusIFC\r\nCom=SIM\r\nBaud=19200\r\nTimeout=100\r\n"
      "ModulCount=2\r\nIFCNr=0\r\n\r\n"
      "[Modul_0_0]\r\nAdresse=$32\r\nClassName=TMXB02\r\nIFCNr=0\r\nPolling=-1\r\n\r\n"
      "[Modul_0_1]\r\nAdresse=$41\r\nClassName=TMXB01\r\nIFCNr=0\r\nPolling=-1\r\n\r\n";
  WriteFileAtomically(file, sim);
  TRunResult r = RunKavorctl(
      {"monitor", "--model", QString::fromStdString(file), "--seconds", "1", "--stats"});
  ASSERT_EQ(r.ExitCode, 0) << r.Err;
  const std::vector<std::string> lines = Lines(r.Out);
  const std::vector<std::string> card = TableRow(lines, "$32");
  const std::vector<std::string> silent = TableRow(lines, "$41");
  ASSERT_EQ(card.size(), 13u) << r.Out;
  ASSERT_EQ(silent.size(), 13u) << r.Out;
  EXPECT_EQ(card[2], "TMXB02");
  EXPECT_NE(card[4], "0");
  EXPECT_EQ(card[5], "0");
  EXPECT_EQ(silent[4], "0");
  EXPECT_NE(silent[5], "0");
  EXPECT_TRUE(Has(r.Out, " at 19200 baud\n")) << r.Out;

  // A second interface whose port cannot be opened: nothing is monitored.
  WriteFileAtomically(file, sim +
                                "[Settings_IFK1]\r\nClassName=TSer485BusIFC\r\n"
                                "Com=/dev/kavor-none\r\nIFCNr=1\r\n\r\n");
  r = RunKavorctl({"monitor", "--model", QString::fromStdString(file), "--seconds", "1"});
  EXPECT_EQ(r.ExitCode, 2) << r.Err;
  EXPECT_TRUE(Has(r.Err, "kavor-none")) << r.Err;
  EXPECT_EQ(r.Out, "");
}

#ifndef _WIN32
TEST(KavorctlMonitorTest, CtrlCEndsItWithTheTable) {
  QProcess process;
  process.start(KAVORCTL_PATH, QStringList(kSilentCard));
  ASSERT_TRUE(process.waitForStarted(10000));
  std::string out;
  // Once the stream is running, interrupt it as Ctrl+C at a terminal does.
  while (Lines(out).size() < 5 && process.waitForReadyRead(10000))
    out += process.readAllStandardOutput().toStdString();
  ASSERT_GE(Lines(out).size(), 5u) << process.readAllStandardError().toStdString();
  ASSERT_EQ(::kill(static_cast<pid_t>(process.processId()), SIGINT), 0);
  ASSERT_TRUE(process.waitForFinished(10000));
  out += process.readAllStandardOutput().toStdString();
  EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(process.exitCode(), 0);
  EXPECT_TRUE(Has(out, "\n\nIFC  ADDRESS  CLASS")) << out;
  EXPECT_TRUE(Has(out, "\nIFC(0): ")) << out;
}
#endif

}  // namespace
