#include <QCommandLineParser>
#include <memory>
#include <set>

#include "bus/bus_interface.h"
#include "cli/cli_common.h"
#include "cli/verbs.h"
#include "model/card_config_run.h"
#include "model/model_project.h"
#include "model/moduls_list.h"
#include "modules/base_modul.h"
#include "support/conversions.h"
#include "support/paths.h"

namespace {

bool ReadAction(const std::string& word, TCardConfigAction& action) {
  if (word == "backup")
    action = caBackup;
  else if (word == "compare")
    action = caCompare;
  else if (word == "restore")
    action = caRestore;
  else
    return false;
  return true;
}

}  // namespace

int RunConfig(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "Backs up, compares or restores the settings the cards keep: the pulse time of a type-1\n"
      "switch card, the per-output flags and pulse times of a type-2 card, the light-barrier\n"
      "throttles and stop events of a throttle card. The cards come from --module options on\n"
      "one port, or from a model file.\n"
      "  backup   reads the cards and writes their sections into the backup file\n"
      "  compare  reads the cards and prints each setting that differs from the file\n"
      "  restore  writes the settings that differ, reads them back and checks them; a type-2\n"
      "           card then stores them in its EEPROM\n"
      "Prints one line per card (and, for compare, one per difference: file -> card), then a\n"
      "summary. Exit status 0 when every card succeeded and (compare) nothing differs.\n"
      "Example: kavorctl config backup --port SIM --module TMXB02@$32 --file karten.ini");
  AddPortOptions(parser, false);
  parser.addOption({"ifc", "Number of the interface on --port (default 0).", "N", "0"});
  parser.addOption(
      {"module", "A card on --port: class name and address, e.g. TMXB02@$32.", "CLASS@ADDR"});
  parser.addOption({"model", "Take interfaces and cards from this model file.", "FILE"});
  parser.addOption(
      {"file", "The backup file (default with --model: <model>.Karten.ini beside it).", "F"});
  parser.addOption({"section",
                    "compare/restore one card from this section of the file instead of its own "
                    "(a replacement card at another address), e.g. IFC0_$32.",
                    "NAME"});
  parser.addPositionalArgument("ACTION", "backup, compare or restore.", "backup|compare|restore");
  if (auto stop = ParseVerb(parser, arguments)) return *stop;

  const QStringList positional = parser.positionalArguments();
  if (positional.size() != 1) return UsageError(parser, "give exactly one ACTION");
  TCardConfigAction action = caBackup;
  if (!ReadAction(ToStd(positional.first()), action))
    return UsageError(parser, "ACTION must be backup, compare or restore");
  const bool fromModel = parser.isSet("model");
  if (fromModel == parser.isSet("port"))
    return UsageError(parser, "give either --port with --module options, or --model");
  if (!fromModel && parser.values("module").isEmpty())
    return UsageError(parser, "--port needs at least one --module");
  std::string file = ToStd(parser.value("file"));
  if (file.empty() && !fromModel) return UsageError(parser, "--port needs --file");
  const std::string section = ToStd(parser.value("section"));
  if (parser.isSet("section") && action == caBackup)
    return UsageError(parser, "--section is for compare and restore");

  TModulsList list;
  std::vector<TCardJob> jobs;
  // The cards after the place where a load stopped are not in the run: it cannot succeed.
  bool modelComplete = true;
  if (fromModel) {
    const std::string model = ToStd(parser.value("model"));
    if (!FileExists(model)) return UsageError(parser, "model file " + model + " not found");
    if (file.empty()) file = DefaultCardConfigFile(model);
    TModelHeader header;
    modelComplete = LoadModelFileTellingStops(list, model, header);
    jobs = CardJobsOfModel(list);
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
      TModulsItem* item = list.AddModul(text.substr(0, at), ifc, address);
      if (!item)
        return UsageError(parser,
                          "--module " + text + ": unknown class name or address already taken");
    }
    jobs = CardJobsOfIfc(*ifc);
  }
  if (!section.empty()) {
    if (jobs.size() != 1) return UsageError(parser, "--section needs exactly one card");
    jobs.front().Section = section;
  }
  if (action != caBackup && !FileExists(file))
    return UsageError(parser, "backup file " + file + " not found");

  // Only the lines of the run go on the bus: no polling.
  for (const TCardJob& job : jobs)
    job.Modul->SetPolling(false);
  // Interfaces whose cards keep no settings are left alone.
  std::set<TRS485IFC*> interfaces;
  for (const TCardJob& job : jobs)
    if (CardSettingsTypeOf(*job.Modul)) interfaces.insert(job.Ifc);
  for (TRS485IFC* ifc : interfaces) {
    ifc->SetActive(true);
    // The port's message is already on standard error; with a model the cards of that
    // interface are reported as not connected and the others still run.
    if (!ifc->Active() && !fromModel) return ecUsage;
  }

  std::shared_ptr<TCardConfigRun> run = TCardConfigRun::Create(action, jobs, file);
  const TCardConfigRun::TResult result = run->Run();
  for (TRS485IFC* ifc : interfaces)
    ifc->SetActive(false);
  if (result == TCardConfigRun::rrFileError && run->Results().empty()) return ecFailed;
  // Printed once the run is over: a backup's cards count as saved only once the file is written.
  for (const TCardResult& card : run->Results()) {
    PrintLine(card.Line());
    for (const TSettingDifference& difference : card.Differences)
      PrintLine(card.DifferenceLine(difference));
  }
  PrintLine(run->Summary());
  return result == TCardConfigRun::rrDone && run->AllSucceeded() && modelComplete ? ecOk : ecFailed;
}
