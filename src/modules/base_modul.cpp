#include "modules/base_modul.h"

#include <stdexcept>

#include "bus/bus_master.h"
#include "modules/message_format.h"
#include "modules/text_command.h"
#include "support/conversions.h"
#include "support/message_sink.h"
#include "support/texts.h"

TBaseModul::TBaseModul(TSer485BusMaster* busMaster, uint8_t adresse)
    : Adresse(adresse), BusMaster(busMaster) {}

TBaseModul::~TBaseModul() {
  ChangeCommands([this] {
    for (auto& command : Commands)
      command->AnswerHandler = nullptr;
  });
  Commands.clear();
}

void TBaseModul::ChangeCommands(const std::function<void()>& change) {
  if (BusMaster)
    BusMaster->WithLock(change);
  else
    change();
}

TBusCommand* TBaseModul::AddPollCommand(const std::string& text, bool enabled) {
  auto command = std::make_unique<TBusCommand>(this);
  command->Text = text;
  command->Enabled = enabled;
  command->AnswerHandler = AnswerHandler();
  TBusCommand* added = command.get();
  Commands.push_back(std::move(command));
  return added;
}

TAnswerHandler TBaseModul::AnswerHandler() {
  std::weak_ptr<int> alive = FAlive;
  return [this, alive](const std::string& command, const std::string& answer) {
    if (!alive.expired()) ProcessAnswer(command, answer);
  };
}

void TBaseModul::SetAktiv(bool on) {
  if (Aktiv == on) return;
  Aktiv = on;
  DoDataChanged();
}

void TBaseModul::SetEnabled(bool on) {
  Enabled = on;
  if (!on) SetAktiv(false);
}

void TBaseModul::SetPolling(bool on) {
  Polling = on;
  ChangeCommands([this, on] {
    for (auto& command : Commands)
      command->Enabled = on;
  });
}

void TBaseModul::DoDataChanged() {
  if (OnDataChanged) OnDataChanged(this);
}

void TBaseModul::SetAdresse(uint8_t address) {
  Adresse = address;
  ChangeCommands([this, address] {
    for (auto& command : Commands)
      command->SetAdresse(address);
  });
}

std::string TBaseModul::AdresseText() const {
  return "$" + IntToHexText(Adresse, 2);
}

std::string TBaseModul::BasePropertiesText() const {
  return "Version=" + Version + "\r\nModuladresse=" + std::to_string(Adresse) +
         "\r\nCaption=" + Bezeichnung + "\r\nHinweis=" + Hinweis;
}

std::string TBaseModul::PropertiesHead() {
  return std::string("ClassName=") + ClassName() + "\r\n" + BasePropertiesText();
}

std::string TBaseModul::GetPropertiesText() {
  return PropertiesHead();
}

namespace {

// The answer as it can be shown in one log line: without its line end, other control and
// non-ASCII bytes as <XX>.
std::string Printable(const std::string& text) {
  std::string shown;
  std::size_t end = text.size();
  while (end > 0 && (text[end - 1] == '\r' || text[end - 1] == '\n'))
    --end;
  for (std::size_t i = 0; i < end; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c >= 0x20 && c < 0x7F)
      shown += static_cast<char>(c);
    else
      shown += "<" + IntToHexText(c, 2) + ">";
  }
  return shown;
}

}  // namespace

bool TBaseModul::ParseOwnAnswer(const std::string& answer, TRS485CmdRecord& record) const {
  return ParseAnswer(answer, record) == pfComplete && record.Kind == "#" &&
         HexFieldValue(record.Adr, -1) == Adresse;
}

void TBaseModul::ProcessAnswer(const std::string& command, const std::string& answer) {
  if (answer.empty()) return;
  TRS485CmdRecord record;
  const int flags = ParseAnswer(answer, record);
  // A line that is no answer of a card (noise, a garbled or echoed line), or the answer of another
  // card (a late one, meant for the command before), changes nothing; the user learns of it.
  const bool wellFormed = record.Kind == "#" && (flags & (pfKind | pfAdr | pfCmd)) == 7 &&
                          (flags == pfComplete || (flags & pfPayload) != 0);
  if (!wellFormed) {
    ReportMessage(TrText("TBaseModul", "Modul %1: unlesbare Antwort auf \"%2\": \"%3\" ")
                      .Arg(AdresseText())
                      .Arg(command)
                      .Arg(Printable(answer)),
                  1);
    return;
  }
  if (HexFieldValue(record.Adr, -1) != Adresse) {
    ReportMessage(TrText("TBaseModul", "Modul %1: Antwort von $%2 auf \"%3\" verworfen: \"%4\" ")
                      .Arg(AdresseText())
                      .Arg(UpperCase(record.Adr))
                      .Arg(command)
                      .Arg(Printable(answer)),
                  1);
    return;
  }
  bool changed = false;
  try {
    if ((flags & pfPayload) != 0 && record.Cmd == "01") {
      if (OnAnswer) OnAnswer(command, answer);
      Version = record.Payload;
      changed = true;
    } else {
      if (!AddressChangeKey.empty()) {
        if (OnAnswer) OnAnswer(command, answer);
        if ((flags & pfPayload) != 0 && record.Cmd == "02")
          Adresse = static_cast<uint8_t>(HexFieldValue(record.Data2, 0));
      }
      if (flags >= 32 && record.Cmd == "02" && record.Data1 != "00" && record.Data2 == "00") {
        AddressChangeKey = record.Data1;
        changed = true;
        if (OnAnswer) OnAnswer(command, answer);
      }
    }
  } catch (...) {
    if (changed) DoDataChanged();
    throw;
  }
  if (changed) DoDataChanged();
}

std::string TBaseModul::TextCommand(const std::string& text) {
  std::string result;
  try {
    const std::vector<std::string> entries = SplitTextCommand(text);
    const std::string word = UpperCase(entries[0]);
    if (word == "!FREECMD" || word == "?FREECMD") {
      std::string line = Trim(entries[2]);
      for (std::size_t pos = line.find("\"\""); pos != std::string::npos; pos = line.find("\"\""))
        line.erase(pos, 2);
      SendCommand(line);
      result = "1";
    }
  } catch (const std::exception& e) {
    ReportMessage(std::string("ERROR TBaseModul.TextCommand: ") + e.what(), 1);
  }
  return result;
}

std::string TBaseModul::TextCommandHelp() {
  return "!FreeCmd(Ifc,\"ModulCmd\")";
}

void TBaseModul::SendCommand(const std::string& text) {
  if (!Aktiv && !FRoute) return;
  QueueCommand(text);
}

bool TBaseModul::QueueCommand(const std::string& text) {
  if (FRoute) return (*FRoute)(text, AnswerHandler());
  if (!BusMaster) return false;
  return BusMaster->AddCommand(text, AnswerHandler());
}

void TBaseModul::RouteCommands(const TCommandRoute& route,
                               const std::function<void()>& operations) {
  struct TRestore {
    const TCommandRoute*& Slot;
    const TCommandRoute* Previous;
    ~TRestore() { Slot = Previous; }
  } restore{FRoute, FRoute};
  FRoute = &route;
  operations();
}

void TBaseModul::ReportTextCommandError(const std::string& message) {
  ReportMessage(std::string("ERROR ") + ClassName() + ".TextCommand: " + message, 1);
}
