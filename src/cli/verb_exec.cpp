#include <QCommandLineParser>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <set>
#include <vector>

#include "bus/bus_interface.h"
#include "bus/bus_master.h"
#include "cli/cli_common.h"
#include "cli/verbs.h"
#include "model/model_project.h"
#include "model/moduls_list.h"
#include "modules/base_modul.h"
#include "modules/text_command.h"
#include "modules/text_command_router.h"
#include "support/conversions.h"
#include "support/main_thread.h"
#include "support/paths.h"

namespace {

// Every module of the model in tree order: interfaces in list order, each with its modules in
// the interface's own order.
std::vector<TBaseModul*> ModulesInTreeOrder(const TModulsList& list) {
  std::vector<TBaseModul*> modules;
  for (int i = 0; i < list.IFCCount(); ++i) {
    TRS485IFC* ifc = list.IFCByIndex(i);
    for (int j = 0; j < ifc->Count(); ++j)
      if (auto* modul = dynamic_cast<TBaseModul*>(ifc->Item(j))) modules.push_back(modul);
  }
  return modules;
}

std::string WithoutCarriageReturns(const std::string& text) {
  std::string out;
  for (char c : text)
    if (c != '\r') out += c;
  return out;
}

// Waits until the interface has sent everything queued and its answers were handled. A queue
// only ends after time-outs, so the limit grows with it. Ends early when the port is lost.
void WaitUntilSent(TRS485IFC& ifc) {
  if (!ifc.Active()) return;
  const auto limit =
      std::chrono::milliseconds((ifc.BusMaster().QueueCount() + 2) * (ifc.Timeout() + 100) + 2000);
  ifc.BusMaster().WaitQueueEmpty(limit);
}

// The interfaces exec talks to and what their traffic showed: which were connected, which lost
// their port, and how many reports were notes rather than failures.
class TExecBus {
 public:
  // Connects the interface and makes its modules live, as loading a model in the main window
  // does. False when the port cannot be opened (its message is on standard error already).
  bool Connect(TRS485IFC& ifc) {
    if (ifc.Active()) return true;
    if (std::find(FConnected.begin(), FConnected.end(), &ifc) != FConnected.end())
      return false;  // lost since: connecting again would hide that
    MainThread().PumpPending();
    const std::size_t before = ReportCount();
    // Dropped stray text is logged, but no command failed by it.
    ifc.BusMaster().SetOnDropped([this](const TDroppedInput&) { ++FNotes; });
    ifc.SetActive(true);
    if (!ifc.Active()) return false;
    for (auto& module : ifc.Modules())
      if (auto* modul = dynamic_cast<TBaseModul*>(module.get())) modul->SetAktiv(true);
    FConnected.push_back(&ifc);
    // What opening the port reports (an adapter's latency note) is no failure of a command.
    MainThread().PumpPending();
    FNotes += ReportCount() - before;
    return true;
  }

  // An interface that was connected and has lost its port, or none.
  TRS485IFC* Lost() const {
    for (TRS485IFC* ifc : FConnected)
      if (!ifc->Active()) return ifc;
    return nullptr;
  }

  void WaitUntilAllSent() {
    for (TRS485IFC* ifc : FConnected)
      WaitUntilSent(*ifc);
  }

  // Stops every bus thread and delivers what they still had on their way, so that the reports
  // and the notes are complete.
  void Disconnect() {
    for (TRS485IFC* ifc : FConnected)
      ifc->SetActive(false);
    MainThread().PumpPending();
  }

  std::size_t Notes() const { return FNotes; }

 private:
  std::vector<TRS485IFC*> FConnected;
  std::size_t FNotes = 0;
};

// One command that ran: on which interface, and which one-shot numbers it queued there.
struct TRanCommand {
  TRS485IFC* Ifc = nullptr;
  uint64_t FirstSerial = 0;  // numbers FirstSerial..LastSerial; none when LastSerial is smaller
  uint64_t LastSerial = 0;
  bool ActiveAfter = true;
};

// The first command whose bus lines the lost interface never sent, or `ran.size()`.
std::size_t FirstNotSent(const std::vector<TRanCommand>& ran, TRS485IFC& lost) {
  const uint64_t oldestWaiting = lost.BusMaster().OldestWaitingSerial();
  for (std::size_t i = 0; i < ran.size(); ++i) {
    if (ran[i].Ifc != &lost) continue;
    if (!ran[i].ActiveAfter) return i;
    if (oldestWaiting != 0 && ran[i].LastSerial >= ran[i].FirstSerial &&
        ran[i].LastSerial >= oldestWaiting)
      return i;
  }
  return ran.size();
}

std::string Plural(std::size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace

int RunExec(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "Runs text commands against cards and prints one line per command: its result (an\n"
      "empty line for an order). The cards come from --module options on one port, or from a\n"
      "model file. Queries (?...) see the cards' answers to everything sent before them.\n"
      "Exit status 1 when a command reported an error, an answer timed out or could not be\n"
      "read, or the port was lost (the commands not sent are named); a summary line goes to\n"
      "standard error.\n"
      "Example: kavorctl exec --port SIM --module TMXB01@$1E '!Schalten(0,$1E,3,1)' "
      "'?Port(0,$1E,3)'");
  AddPortOptions(parser, false);
  parser.addOption({"ifc", "Number of the interface on --port (default 0).", "N", "0"});
  parser.addOption(
      {"module", "A module on --port: class name and address, e.g. TMXB01@$1E.", "CLASS@ADDR"});
  parser.addOption({"model", "Take interfaces and modules from this model file.", "FILE"});
  parser.addOption({"props", "After the commands, print every module's properties."});
  parser.addPositionalArgument("COMMAND", "Text commands, e.g. ?Port(0,$1E,3).", "COMMAND...");
  if (auto stop = ParseVerb(parser, arguments)) return *stop;

  const QStringList commands = parser.positionalArguments();
  const bool fromModel = parser.isSet("model");
  if (fromModel == parser.isSet("port"))
    return UsageError(parser, "give either --port with --module options, or --model");
  if (commands.isEmpty() && !parser.isSet("props")) return UsageError(parser, "no COMMAND given");

  TModulsList list;
  TExecBus bus;
  if (fromModel) {
    const std::string file = ToStd(parser.value("model"));
    if (!FileExists(file)) return UsageError(parser, "model file " + file + " not found");
    TModelHeader header;
    LoadModelFileTellingStops(list, file, header);
  } else {
    TPortOptions options;
    if (auto error = ReadPortOptions(parser, options)) return UsageError(parser, *error);
    const int32_t number = TextToInt(ToStd(parser.value("ifc")), -1);
    if (number < 0) return UsageError(parser, "--ifc must be 0 or more");
    TRS485IFC* ifc = list.AddIFC("TRS485IFC")->IFC;
    ifc->SetIfcNumber(number);
    ifc->SetPort(options.Port);
    ifc->SetBaud(options.Baud);
    ifc->SetTimeout(options.Timeout);
    if (auto error = AddModuleOptions(list, *ifc, parser.values("module")))
      return UsageError(parser, *error);
    if (!bus.Connect(*ifc)) return ecUsage;  // the port's message is already on standard error
  }
  const TTextCommandRouter router([&list](int32_t number) { return list.IFCByNumber(number); });
  if (fromModel) {
    // Every interface a command addresses is connected before the first command goes out: what
    // is reported while a port opens counts as a note of that opening, and a time-out of a
    // command already sent would otherwise be taken for one.
    for (const QString& command : commands) {
      std::string error;
      TBaseModul* target = router.FindTarget(ToStd(command), error);
      TModulsItem* item = target ? list.ItemOfModul(target) : nullptr;
      if (item && item->IFC && !bus.Lost() && !bus.Connect(*item->IFC)) return ecUsage;
    }
  }
  MainThread().PumpPending();
  // Reports from here on are failures, except those a command made itself (counted with the
  // command) and the notes.
  const std::size_t reportsAtStart = ReportCount();
  std::size_t commandReports = 0;

  std::size_t failedCommands = 0;
  std::vector<TRanCommand> ran;
  TRS485IFC* lost = nullptr;
  for (const QString& command : commands) {
    const std::string line = ToStd(command);
    std::string error;
    TBaseModul* target = router.FindTarget(line, error);
    TModulsItem* item = target ? list.ItemOfModul(target) : nullptr;
    TRS485IFC* ifc = item ? item->IFC : nullptr;
    const std::vector<std::string> entries = SplitTextCommand(line);
    if (!entries[0].empty() && entries[0][0] == '?') bus.WaitUntilAllSent();
    if ((lost = bus.Lost())) break;
    MainThread().PumpPending();  // earlier reports, so they are not counted against this command
    const std::size_t reportsBefore = ReportCount();
    TRanCommand done;
    done.Ifc = ifc;
    if (ifc) done.FirstSerial = ifc->BusMaster().LastQueuedSerial() + 1;
    bool found = false;
    const std::string result = router.Execute(line, &found);
    if (ifc) {
      done.LastSerial = ifc->BusMaster().LastQueuedSerial();
      done.ActiveAfter = ifc->Active();
    }
    ran.push_back(done);
    commandReports += ReportCount() - reportsBefore;
    if (!found || ReportCount() != reportsBefore) ++failedCommands;
    PrintLine(result);
  }

  if (!lost) {
    bus.WaitUntilAllSent();
    lost = bus.Lost();
  }
  if (parser.isSet("props") && !lost) {
    bool first = true;
    for (TBaseModul* modul : ModulesInTreeOrder(list)) {
      if (!first) PrintLine("");
      first = false;
      PrintLine(WithoutCarriageReturns(modul->GetPropertiesText()));
    }
  }
  bus.Disconnect();
  const std::size_t busErrors = ReportCount() - reportsAtStart - commandReports - bus.Notes();
  std::size_t notSent = 0;
  if (lost) {
    const std::size_t first = FirstNotSent(ran, *lost);
    std::string names;
    for (std::size_t i = first; i < static_cast<std::size_t>(commands.size()); ++i)
      names += " '" + ToStd(commands.at(static_cast<int>(i))) + "'";
    notSent = static_cast<std::size_t>(commands.size()) - first;
    PrintError("kavorctl exec: the connection to " + lost->Port() +
               " was lost; not sent:" + (names.empty() ? " none" : names));
  }
  list.RemoveAll();
  if (failedCommands == 0 && busErrors == 0 && !lost) return ecOk;
  const std::string of = " of " + std::to_string(commands.size()) + " commands";
  std::vector<std::string> parts;
  if (failedCommands > 0) parts.push_back(std::to_string(failedCommands) + of + " failed");
  if (lost) parts.push_back(std::to_string(notSent) + of + " not sent");
  if (busErrors > 0)
    parts.push_back(Plural(busErrors, "error", "errors") +
                    " on the bus (time-outs, unreadable answers, a lost port; see above)");
  std::string summary = "kavorctl exec: ";
  for (std::size_t i = 0; i < parts.size(); ++i)
    summary += (i > 0 ? "; " : "") + parts[i];
  PrintError(summary);
  return ecFailed;
}

int RunModel(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "Loads a model file and prints its tree, one row per interface and module, with the\n"
      "columns IFC/Modul, Adr., Firmware, Bezeichnung, Hinweis separated by TABs. With\n"
      "--save-as the loaded model is saved under another name.");
  parser.addOption({"save-as", "Save the loaded model under this name.", "FILE2"});
  parser.addPositionalArgument("FILE", "The model file.", "FILE");
  if (auto stop = ParseVerb(parser, arguments)) return *stop;
  const QStringList files = parser.positionalArguments();
  if (files.size() != 1) return UsageError(parser, "give exactly one model FILE");
  const std::string file = ToStd(files.first());
  if (!FileExists(file)) return UsageError(parser, "model file " + file + " not found");

  std::string saveAs;
  if (parser.isSet("save-as")) {
    saveAs = ModelSaveFileName(ToStd(parser.value("save-as")));
    if (saveAs.empty()) return UsageError(parser, "--save-as needs a file name");
  }

  const std::size_t reportsBefore = ReportCount();
  TModelHeader header;
  TModulsList list;
  LoadModelFileTellingStops(list, file, header);
  for (TBaseModul* modul : ModulesInTreeOrder(list))
    modul->SetAktiv(true);

  for (int i = 0; i < list.IFCCount(); ++i) {
    TRS485IFC* ifc = list.IFCByIndex(i);
    PrintLine("IFC(" + std::to_string(ifc->IfcNumber()) + ") \t\t\t" + ifc->Bezeichnung + "\t" +
              ifc->Hinweis);
    for (int j = 0; j < ifc->Count(); ++j) {
      auto* modul = dynamic_cast<TBaseModul*>(ifc->Item(j));
      if (!modul) continue;
      PrintLine(std::string("  ") + modul->ClassName() + "\t" + modul->AdresseText() + "\t" +
                modul->Firmware + "\t" + modul->Bezeichnung + "\t" + modul->Hinweis);
    }
  }
  if (!saveAs.empty()) {
    if (list.SaveWouldEraseUnloaded(saveAs)) {
      MainThread().PumpPending();
      std::fprintf(stderr,
                   "kavorctl: %s was only partly loaded; saving over it would erase what was not "
                   "loaded. Nothing saved.\n",
                   saveAs.c_str());
      return ecFailed;
    }
    SaveModelFile(list, saveAs, header, "kavorctl model --save-as: ");
  }
  MainThread().PumpPending();
  return ReportCount() == reportsBefore ? ecOk : ecFailed;
}
