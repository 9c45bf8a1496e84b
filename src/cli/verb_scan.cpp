#include <QCommandLineParser>
#include <cstdio>
#include <optional>

#include "bus/bus_interface.h"
#include "cli/cli_common.h"
#include "cli/verbs.h"
#include "model/address_change.h"
#include "model/model_project.h"
#include "model/module_search.h"
#include "model/moduls_list.h"
#include "modules/base_modul.h"
#include "support/conversions.h"
#include "support/main_thread.h"
#include "support/paths.h"

namespace {

TRS485IFC* AddInterface(TModulsList& list, const TPortOptions& options) {
  TModulsItem* item = list.AddIFC("TRS485IFC");
  TRS485IFC* ifc = item->IFC;
  ifc->SetPort(options.Port);
  ifc->SetBaud(options.Baud);
  ifc->SetTimeout(options.Timeout);
  return ifc;
}

}  // namespace

int RunScan(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "Searches one interface for its cards, as the window's module search does, and prints\n"
      "one line per card found: $address TAB class name TAB firmware. With --save the\n"
      "interface and its cards are added to the model file (created if missing).\n"
      "With --quick each address is asked with a short time-out and only the addresses whose\n"
      "answer came late or garbled are asked again with the full one.\n"
      "Exit status 1 when the search gave up.");
  AddPortOptions(parser, true);
  parser.addOption({"save", "Add the interface and the cards found to this model file.", "MODEL"});
  parser.addOption(
      {"quick", "Quick search: short time-outs, late or garbled answers asked again."});
  if (auto stop = ParseVerb(parser, arguments)) return *stop;
  TPortOptions options;
  if (auto error = ReadPortOptions(parser, options)) return UsageError(parser, *error);
  if (options.Port.empty()) return UsageError(parser, "--port is required");
  if (!parser.positionalArguments().isEmpty())
    return UsageError(parser, "unexpected argument " + ToStd(parser.positionalArguments().first()));
  const bool save = parser.isSet("save");
  const std::string modelFile = save ? ModelSaveFileName(ToStd(parser.value("save"))) : "";
  if (save && modelFile.empty()) return UsageError(parser, "--save needs a file name");

  TModulsList list;
  TModelHeader header;
  if (save && FileExists(modelFile)) {
    if (!LoadModelFileTellingStops(list, modelFile, header) &&
        list.SaveWouldEraseUnloaded(modelFile)) {
      std::fprintf(stderr,
                   "kavorctl: %s was only partly loaded; saving the cards into it would erase what "
                   "was not loaded. Nothing scanned.\n",
                   modelFile.c_str());
      return ecFailed;
    }
  } else if (save) {
    header.Caption = FileNameWithoutExt(modelFile);
  }
  TRS485IFC* ifc = AddInterface(list, options);
  ifc->SetActive(true);
  if (!ifc->Active()) return ecUsage;  // the reason is already on standard error

  std::shared_ptr<TModulSearch> search = TModulSearch::Create(list, *ifc);
  const TModulSearch::TResult result = parser.isSet("quick") ? search->RunQuick() : search->Run();
  ifc->SetActive(false);
  if (result != TModulSearch::srDone) return ecFailed;
  for (TModulsItem* item : search->Added)
    PrintLine(item->Modul->AdresseText() + "\t" + item->Modul->ClassName() + "\t" +
              item->Modul->Firmware);
  if (save) {
    MainThread().PumpPending();  // the search's own reports are not the save's
    const std::size_t reportsBefore = ReportCount();
    SaveModelFile(list, modelFile, header, "kavorctl scan: ");
    MainThread().PumpPending();
    if (ReportCount() != reportsBefore) return ecFailed;
  }
  return ecOk;
}

int RunAddress(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "Changes the bus address of the card at --from to --to, as the window's address change\n"
      "does: asks the card for its code, sends the change and waits for the confirmation.\n"
      "Exit status 0 when the card confirmed, 1 when it did not.");
  AddPortOptions(parser, true);
  parser.addOption({"from", "The card's present address, e.g. $1E or 30.", "ADDR"});
  parser.addOption({"to", "The new address, 1..255, e.g. $21 or 33.", "ADDR"});
  if (auto stop = ParseVerb(parser, arguments)) return *stop;
  TPortOptions options;
  if (auto error = ReadPortOptions(parser, options)) return UsageError(parser, *error);
  if (options.Port.empty()) return UsageError(parser, "--port is required");
  if (!parser.isSet("from") || !parser.isSet("to"))
    return UsageError(parser, "--from and --to are required");
  const int32_t from = TextToInt(ToStd(parser.value("from")), -1);
  if (from < 0 || from > 255) return UsageError(parser, "--from must be an address in 0..255");
  const std::optional<uint8_t> to = ParseNewModulAddress(ToStd(parser.value("to")));
  if (!to) return UsageError(parser, "--to must be an address in 1..255 (decimal or $hex)");

  TModulsList list;
  TRS485IFC* ifc = AddInterface(list, options);
  // The card's type does not matter for the exchange.
  TModulsItem* item = list.AddModul("TRS485Dummy", ifc, from);
  TBaseModul* modul = item->Modul;
  modul->SetPolling(false);
  ifc->SetActive(true);
  if (!ifc->Active()) return ecUsage;  // the reason is already on standard error
  modul->SetAktiv(true);

  std::shared_ptr<TAddressChange> change = TAddressChange::Create(*ifc, *modul);
  // Standard output: the same in every language.
  change->OnLogLine = [](const TText& text) { PrintLine(text.Source()); };
  const TAddressChange::TResult result = change->Run(*to);
  ifc->SetActive(false);
  return result == TAddressChange::acConfirmed ? ecOk : ecFailed;
}
