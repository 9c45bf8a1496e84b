#include "modules/text_command_router.h"

#include "bus/bus_interface.h"
#include "modules/base_modul.h"
#include "modules/text_command.h"
#include "support/conversions.h"
#include "support/message_sink.h"
#include "support/texts.h"

TBaseModul* TTextCommandRouter::FindTarget(const std::string& line, std::string& error) const {
  const std::vector<std::string> entries = SplitTextCommand(line);
  const std::string word = UpperCase(entries[0]);
  const int32_t ifcNumber = TextToInt(entries[1], -1);
  int32_t address;
  if (word == "!FREECMD" || word == "?FREECMD") {
    std::string busLine;
    for (char c : entries[2])
      if (c != '"') busLine += c;
    address = busLine.size() >= 3 ? TextToInt("$" + busLine.substr(1, 2), -1) : -1;
    if (address < 0) {
      error = TrText("TTextCommandRouter",
                     "Textkommando \"%1\": die Busnachricht \"%2\" nennt keine Moduladresse")
                  .Arg(line)
                  .Arg(entries[2]);
      return nullptr;
    }
  } else {
    address = TextToInt(entries[2], -1);
  }
  TRS485IFC* ifc = FLookup ? FLookup(ifcNumber) : nullptr;
  if (!ifc) {
    error = TrText("TTextCommandRouter", "Textkommando \"%1\": Interface %2 gibt es nicht")
                .Arg(line)
                .Arg(entries[1]);
    return nullptr;
  }
  if (address >= 0 && address <= 255) {
    for (const auto& module : ifc->Modules()) {
      if (module->BusAddress() != address) continue;
      if (auto* modul = dynamic_cast<TBaseModul*>(module.get())) return modul;
    }
  }
  TText text =
      TrText("TTextCommandRouter", "Textkommando \"%1\": Modul %2 gibt es auf Interface %3 nicht");
  text.Arg(line);
  if (entries[2].empty())
    text.Arg(TrText("TTextCommandRouter", "(leer)"));
  else
    text.Arg(entries[2]);
  error = text.Arg(ifcNumber);
  return nullptr;
}

std::string TTextCommandRouter::Execute(const std::string& line, bool* found) const {
  std::string error;
  TBaseModul* modul = FindTarget(line, error);
  if (found) *found = modul != nullptr;
  if (!modul) {
    ReportMessage(error, 1);
    return std::string();
  }
  return modul->TextCommand(line);
}
