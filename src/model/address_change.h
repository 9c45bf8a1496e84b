#pragma once
// Changing a card's bus address on the bus: ask the card for the code that authorises the
// change, send the change with that code, wait for the card to confirm, then move the module to
// the new address. No widgets: the main window and kavorctl both drive it.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "model/module_search.h"
#include "support/texts.h"

class TBaseModul;
class TRS485IFC;

// The new address as the user may type it: a whole number in decimal, or "$" and hexadecimal
// digits, in 1..255. Nothing for anything else.
std::optional<uint8_t> ParseNewModulAddress(const std::string& text);

class TAddressChange : public std::enable_shared_from_this<TAddressChange> {
 public:
  enum TResult { acConfirmed, acUnconfirmed, acBusy, acAddressTaken, acCancelled };

  // The answer handlers hold on to the change, so it lives as long as its commands are queued.
  static std::shared_ptr<TAddressChange> Create(TRS485IFC& ifc, TBaseModul& modul);

  // Status texts: the code once it arrived (panel 0 of the window), and command " -- " answer of
  // every answer, also of those that come after the change ended (panel 1).
  std::function<void(const std::string& text)> OnCode;
  std::function<void(const std::string& text)> OnExchange;
  // "OK, Adresse geändert. " when the card confirmed; kavorctl prints it as it stands.
  std::function<void(const TText& text)> OnLogLine;

  uint32_t CodeWaitMs = 2000;
  uint32_t ConfirmWaitMs = 5000;
  TWaitUntil Wait;

  // Runs the exchange and moves the module to `newAddress` (no longer live), confirmed or not;
  // an unconfirmed change is reported in one line. Refuses an address that another module of the
  // interface has (acAddressTaken, with one report): two cards must never share an address.
  TResult Run(uint8_t newAddress);

  // Answer handler of both commands.
  void OnAdrAnswer(const std::string& command, const std::string& answer);

  // State of a running change: the code, and the module while the change runs.
  std::string AdrCode;
  TBaseModul* AdrModul = nullptr;
  bool Confirmed = false;

 private:
  TAddressChange(TRS485IFC& ifc, TBaseModul& modul);

  TRS485IFC& FIfc;
  TBaseModul& FModul;
  bool FCancelled = false;
  int FAnswerCount = 0;
};
