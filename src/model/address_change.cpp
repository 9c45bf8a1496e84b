#include "model/address_change.h"

#include <cctype>
#include <stdexcept>

#include "bus/bus_interface.h"
#include "model/workflow_guard.h"
#include "modules/base_modul.h"
#include "support/conversions.h"
#include "support/message_sink.h"
#include "support/texts.h"
#include "support/waits.h"

namespace {

std::string Chars(const std::string& text, std::size_t from, std::size_t count) {
  return from < text.size() ? text.substr(from, count) : std::string();
}

}  // namespace

std::optional<uint8_t> ParseNewModulAddress(const std::string& input) {
  const std::string text = Trim(input);
  if (text.empty()) return std::nullopt;
  // long long: eight hex digits overflow a 32-bit long (Windows), and stol would throw.
  long long value = 0;
  if (text[0] == '$') {
    if (text.size() < 2 || text.size() > 9) return std::nullopt;
    for (std::size_t i = 1; i < text.size(); ++i)
      if (!std::isxdigit(static_cast<unsigned char>(text[i]))) return std::nullopt;
    value = std::stoll(text.substr(1), nullptr, 16);
  } else {
    std::size_t start = (text[0] == '+' || text[0] == '-') ? 1 : 0;
    if (start >= text.size() || text.size() - start > 9) return std::nullopt;
    for (std::size_t i = start; i < text.size(); ++i)
      if (!std::isdigit(static_cast<unsigned char>(text[i]))) return std::nullopt;
    value = std::stoll(text);
  }
  if (value < 1 || value > 255) return std::nullopt;
  return static_cast<uint8_t>(value);
}

std::shared_ptr<TAddressChange> TAddressChange::Create(TRS485IFC& ifc, TBaseModul& modul) {
  return std::shared_ptr<TAddressChange>(new TAddressChange(ifc, modul));
}

TAddressChange::TAddressChange(TRS485IFC& ifc, TBaseModul& modul)
    : Wait(WaitWithMessagesUntil), FIfc(ifc), FModul(modul) {}

TAddressChange::TResult TAddressChange::Run(uint8_t newAddress) {
  TWorkflowGuard guard(&FIfc, TrText("TAddressChange", "Adressänderung"));
  if (!guard.Acquired()) return acBusy;
  const uint8_t old = FModul.Adresse;
  const int taken = FIfc.FindModule(newAddress);
  if (newAddress != old && taken >= 0) {
    ReportMessage(TrText("TAddressChange", "Moduladresse $%1 ist auf IFC(%2) schon vergeben. ")
                      .Arg(IntToHexText(newAddress, 2))
                      .Arg(FIfc.IfcNumber()),
                  1);
    return acAddressTaken;
  }
  const std::string oldHex = IntToHexText(old, 2);
  std::shared_ptr<TAddressChange> self = shared_from_this();
  const TAnswerHandler handler = [self](const std::string& command, const std::string& answer) {
    self->OnAdrAnswer(command, answer);
  };
  AdrCode.clear();
  AdrModul = &FModul;
  Confirmed = false;
  auto stopped = [&] {
    if (!guard.Cancelled()) return false;
    // The window is taking the model apart: the module may be gone already.
    FCancelled = true;
    AdrModul = nullptr;
    AdrCode.clear();
    return true;
  };

  // Each wait also ends once its command is answered or timed out (the queue runs in order):
  // nothing else can bring the code or the confirmation.
  FAnswerCount = 0;
  FIfc.AddCommand("!" + oldHex + "020000", handler);
  Wait([&] { return guard.Cancelled() || !AdrCode.empty() || FAnswerCount >= 1; }, CodeWaitMs);
  if (stopped()) return acCancelled;
  FIfc.AddCommand("!" + oldHex + "02" + AdrCode + IntToHexText(newAddress, 2), handler);
  // A change to the same address never makes the address differ: the confirmation ends it too.
  Wait([&] { return guard.Cancelled() || FModul.Adresse != old || Confirmed || FAnswerCount >= 2; },
       ConfirmWaitMs);
  if (stopped()) return acCancelled;

  FModul.SetAktiv(false);
  FModul.SetAdresse(newAddress);
  AdrCode.clear();
  AdrModul = nullptr;
  if (Confirmed) return acConfirmed;
  ReportMessage(TrText("TAddressChange",
                       "Adressänderung $%1 -> $%2 nicht bestätigt: das Modul steht jetzt auf der "
                       "neuen Adresse, bitte die Karte prüfen. ")
                    .Arg(oldHex)
                    .Arg(IntToHexText(newAddress, 2)),
                1);
  return acUnconfirmed;
}

void TAddressChange::OnAdrAnswer(const std::string& command, const std::string& answer) {
  ++FAnswerCount;
  if (OnExchange) OnExchange(command + " -- " + answer);
  if (!AdrModul || FCancelled) return;
  const std::string kind = Chars(answer, 0, 1);
  const std::string address = Chars(answer, 1, 2);
  const std::string code = Chars(answer, 3, 2);
  const std::string key = Chars(answer, 5, 2);
  const std::string target = Chars(answer, 7, 2);
  if (kind != "#" && code != "02" && address != IntToHexText(AdrModul->Adresse, 2)) return;
  if (AdrCode.empty() && key != "00") {
    AdrCode = key;
    if (OnCode) OnCode(key);
  } else if (!AdrCode.empty() && AdrCode == key) {
    const int32_t value = TextToInt("$" + target, -1);
    if (value < 0 || value > 255)
      throw std::runtime_error(
          "TAddressChange.OnAdrAnswer: " +
          TrText("TAddressChange", "'%1' ist keine gültige Moduladresse").Arg(target).Shown());
    AdrModul->SetAdresse(static_cast<uint8_t>(value));
    Confirmed = true;
    if (OnLogLine) OnLogLine(TrText("TAddressChange", "OK, Adresse geändert. "));
  } else {
    AdrCode.clear();
  }
}
