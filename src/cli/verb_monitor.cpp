// kavorctl monitor: watches the traffic of one or more interfaces while their modules are polled,
// prints every exchange as it happens and, at the end, the link statistics per module.

#include <QCommandLineParser>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <vector>

#include "bus/bus_interface.h"
#include "bus/link_statistics.h"
#include "cli/cli_common.h"
#include "cli/verbs.h"
#include "model/moduls_list.h"
#include "model/traffic_format.h"
#include "model/traffic_log.h"
#include "modules/base_modul.h"
#include "support/conversions.h"
#include "support/main_thread.h"
#include "support/paths.h"

namespace {

// Set by Ctrl+C (or a termination request); the wait below looks at it.
std::atomic<bool> GStop{false};
static_assert(std::atomic<bool>::is_always_lock_free, "used from a signal handler");

extern "C" void StopMonitor(int) {
  GStop.store(true);
}

// Ctrl+C ends the monitor the normal way, with the statistics, instead of killing it.
class TStopSignals {
 public:
  TStopSignals() {
    GStop.store(false);
    FInterrupt = std::signal(SIGINT, StopMonitor);
    FTerminate = std::signal(SIGTERM, StopMonitor);
  }
  ~TStopSignals() {
    std::signal(SIGINT, FInterrupt == SIG_ERR ? SIG_DFL : FInterrupt);
    std::signal(SIGTERM, FTerminate == SIG_ERR ? SIG_DFL : FTerminate);
  }
  TStopSignals(const TStopSignals&) = delete;
  TStopSignals& operator=(const TStopSignals&) = delete;

 private:
  void (*FInterrupt)(int);
  void (*FTerminate)(int);
};

}  // namespace

int RunMonitor(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "Connects, makes the modules live and polls them, and prints one line per exchange as it\n"
      "happens: time, IFC, address, command, answer or TimeOut, outcome (answered, timeout,\n"
      "unreadable, foreign) and the answer time. At the end (after --seconds, or Ctrl+C) it\n"
      "prints the statistics per module: exchanges, answers, time-outs, unreadable and foreign\n"
      "answers, answer time min/mean/p95/max, the last answer; and per interface the exchanges\n"
      "per second and the bus load.\n"
      "csv: ';'-separated with a header line, answer times in whole microseconds; the table\n"
      "follows after one empty line. jsonl: one object per exchange, then one per module and\n"
      "interface. Exit status 0; 1 when a port was lost; 2 when a port cannot be opened.\n"
      "Example: kavorctl monitor --port SIM --module TMXB01@$1E --module THDX01@$20 "
      "--seconds 5");
  AddPortOptions(parser, false);
  parser.addOption(
      {"module", "A module on --port: class name and address, e.g. TMXB01@$1E.", "CLASS@ADDR"});
  parser.addOption({"model", "Take interfaces and modules from this model file.", "FILE"});
  parser.addOption({"seconds", "Stop after N seconds (default: at Ctrl+C).", "N"});
  parser.addOption({"format", "text, csv or jsonl (default text).", "FORMAT", "text"});
  parser.addOption({"stats", "Print only the statistics at the end, not every exchange."});
  if (auto stop = ParseVerb(parser, arguments)) return *stop;

  const bool fromModel = parser.isSet("model");
  if (fromModel == parser.isSet("port"))
    return UsageError(parser, "give either --port with --module options, or --model");
  const std::string format = ToStd(parser.value("format"));
  if (format != "text" && format != "csv" && format != "jsonl")
    return UsageError(parser, "--format must be text, csv or jsonl");
  int64_t seconds = 0;
  if (parser.isSet("seconds")) {
    seconds = TextToInt(ToStd(parser.value("seconds")), -1);
    if (seconds < 1) return UsageError(parser, "--seconds must be a positive number");
  }
  const bool everyExchange = !parser.isSet("stats");

  TModulsList list;
  if (fromModel) {
    const std::string file = ToStd(parser.value("model"));
    if (!FileExists(file)) return UsageError(parser, "model file " + file + " not found");
    list.Load_FromFile(file);
    if (list.IFCCount() == 0) return UsageError(parser, "model file " + file + " has no interface");
  } else {
    TPortOptions options;
    if (auto error = ReadPortOptions(parser, options)) return UsageError(parser, *error);
    TRS485IFC* ifc = list.AddIFC("TRS485IFC")->IFC;
    ifc->SetPort(options.Port);
    ifc->SetBaud(options.Baud);
    ifc->SetTimeout(options.Timeout);
    if (auto error = AddModuleOptions(list, *ifc, parser.values("module")))
      return UsageError(parser, *error);
    if (ifc->Count() == 0) return UsageError(parser, "no --module given");
  }

  const auto classOf = [&list](int32_t ifc, int address) {
    return ModuleClassAt(list, ifc, address);
  };
  TLinkStatistics statistics;
  statistics.Reset(WallClockMs());
  std::vector<TRS485IFC*> interfaces;
  for (int i = 0; i < list.IFCCount(); ++i)
    interfaces.push_back(list.IFCByIndex(i));
  // Until every interface is connected the records wait: when one cannot be opened, nothing was
  // monitored.
  bool started = false;
  TExchangeBatch early;
  auto take = [&](const TExchangeBatch& batch) {
    statistics.Add(batch);
    if (!everyExchange) return;
    for (const TExchangeRecord& record : batch) {
      const TTrafficRow row{record, classOf(record.IfcNumber, record.Address())};
      PrintLine(format == "csv" ? CsvLine(row) : format == "jsonl" ? JsonLine(row) : TextLine(row));
    }
  };
  for (TRS485IFC* ifc : interfaces)
    ifc->BusMaster().SetOnExchanges([&](const TExchangeBatch& batch) {
      if (started)
        take(batch);
      else
        early.insert(early.end(), batch.begin(), batch.end());
    });

  auto disconnectAll = [&] {
    for (TRS485IFC* ifc : interfaces)
      ifc->SetActive(false);
    // The records of the last exchanges are still on their way.
    MainThread().PumpPending();
  };
  for (TRS485IFC* ifc : interfaces) {
    ifc->SetActive(true);
    if (!ifc->Active()) {
      disconnectAll();
      return ecUsage;  // the port's message is already on standard error
    }
    for (auto& module : ifc->Modules())
      if (auto* modul = dynamic_cast<TBaseModul*>(module.get())) modul->SetAktiv(true);
  }
  if (everyExchange && format == "csv") PrintLine(CsvHeader());
  started = true;
  take(early);

  std::vector<std::string> lostPorts;
  {
    const TStopSignals stopSignals;
    const auto start = std::chrono::steady_clock::now();
    const auto end = start + std::chrono::seconds(seconds);
    for (;;) {
      if (GStop.load()) break;
      for (const TRS485IFC* ifc : interfaces)
        if (!ifc->Active()) lostPorts.push_back(ifc->Port());
      if (!lostPorts.empty()) break;
      auto slice = std::chrono::milliseconds(200);
      if (seconds > 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        slice = std::min(slice, left);
      }
      // Records arrive often; the stop flag of a signal is seen within one slice.
      MainThread().WaitUntil([] { return GStop.load(); }, slice);
    }
    disconnectAll();
  }
  for (TRS485IFC* ifc : interfaces)
    ifc->BusMaster().SetOnExchanges({});

  // After the exchanges, an empty line ends their part (the CSV reader's cue); jsonl needs none.
  if (everyExchange && format != "jsonl") PrintLine("");
  const std::string table = StatisticsTable(statistics, classOf, WallClockMs(), format);
  std::fwrite(table.data(), 1, table.size(), stdout);
  std::fflush(stdout);
  list.RemoveAll();
  for (const std::string& port : lostPorts)
    PrintError("kavorctl monitor: the connection to " + port + " was lost");
  return lostPorts.empty() ? ecOk : ecFailed;
}
