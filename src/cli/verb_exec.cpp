#include <QCommandLineParser>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <set>
#include <vector>

#include "bus/bus_interface.h"
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
// only ends after time-outs, so the limit grows with it.
void WaitUntilSent(TRS485IFC& ifc) {
  if (!ifc.Active()) return;
  const auto limit =
      std::chrono::milliseconds((ifc.BusMaster().QueueCount() + 2) * (ifc.Timeout() + 100) + 2000);
  ifc.BusMaster().WaitQueueEmpty(limit);
}

// Connects the interface and makes its modules live, as loading a model in the main window does.
bool Connect(TRS485IFC& ifc) {
  if (ifc.Active()) return true;
  ifc.SetActive(true);
  if (!ifc.Active()) return false;
  for (auto& module : ifc.Modules())
    if (auto* modul = dynamic_cast<TBaseModul*>(module.get())) modul->SetAktiv(true);
  return true;
}

}  // namespace

int RunExec(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "Runs text commands against cards and prints one line per command: its result (an\n"
      "empty line for an order). The cards come from --module options on one port, or from a\n"
      "model file. Queries (?...) see the cards' answers to everything sent before them.\n"
      "Exit status 1 when a command reported an error.\n"
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
    for (const QString& option : parser.values("module")) {
      const std::string text = ToStd(option);
      const std::size_t at = text.find('@');
      const int32_t address = at == std::string::npos ? -1 : TextToInt(text.substr(at + 1), -1);
      if (address < 0 || address > 255)
        return UsageError(parser, "--module " + text + ": expected CLASS@ADDR, ADDR in 0..255");
      TModulsItem* item = nullptr;
      try {
        item = list.AddModul(text.substr(0, at), ifc, address);
      } catch (const ERangeError& e) {
        return UsageError(parser, e.what());
      }
      if (!item)
        return UsageError(parser,
                          "--module " + text + ": unknown class name or address already taken");
      item->Modul->SetPolling(true);
    }
    if (!Connect(*ifc)) return ecUsage;  // the port's message is already on standard error
  }

  const TTextCommandRouter router([&list](int32_t number) { return list.IFCByNumber(number); });
  bool failed = false;
  for (const QString& command : commands) {
    const std::string line = ToStd(command);
    std::string error;
    TBaseModul* target = router.FindTarget(line, error);
    if (fromModel && target) {
      auto* ifc = list.ItemOfModul(target) ? list.ItemOfModul(target)->IFC : nullptr;
      if (ifc && !Connect(*ifc)) return ecUsage;
    }
    const std::vector<std::string> entries = SplitTextCommand(line);
    if (!entries[0].empty() && entries[0][0] == '?')
      for (int i = 0; i < list.IFCCount(); ++i)
        WaitUntilSent(*list.IFCByIndex(i));
    MainThread().PumpPending();  // earlier reports, so they are not counted against this command
    const std::size_t reportsBefore = ReportCount();
    bool found = false;
    const std::string result = router.Execute(line, &found);
    if (!found || ReportCount() != reportsBefore) failed = true;
    PrintLine(result);
  }

  for (int i = 0; i < list.IFCCount(); ++i)
    WaitUntilSent(*list.IFCByIndex(i));
  if (parser.isSet("props")) {
    bool first = true;
    for (TBaseModul* modul : ModulesInTreeOrder(list)) {
      if (!first) PrintLine("");
      first = false;
      PrintLine(WithoutCarriageReturns(modul->GetPropertiesText()));
    }
  }
  list.RemoveAll();
  return failed ? ecFailed : ecOk;
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
