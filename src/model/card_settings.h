#pragma once
// What a card keeps of its own configuration, as readable settings: the names the backup file
// and the comparison use, how each card type reads them through its module's operations, and
// how it writes those that differ. Only what the card stores and reports is a setting; outputs,
// throttles and detectors are the layout's state, not its configuration.
//
//   TMXB01  "Impulszeit" (ms, 0 … 65535): the card's one pulse time.
//   TMXB02  per output "PortNN.Invertiert", "PortNN.BL", "PortNN.MF" (0 or 1) and
//           "PortNN.Impuls1", "PortNN.Impuls2" (units of 50 ms, 0 … 255), NN = 00 … 15.
//   THDX01  per light barrier "LSn.Fahrregler" (throttle 1 … 4) and "LSn.Stop" (AUS, BSTOP or
//           FSTOP), n = 1 … 8.

#include <optional>
#include <string>
#include <vector>

#include "support/texts.h"

class TBaseModul;

struct TCardSetting {
  std::string Key;
  std::string Value;
  bool operator==(const TCardSetting&) const = default;
};
using TCardSettings = std::vector<TCardSetting>;

// One setting that differs. An empty value means the setting is missing on that side.
struct TSettingDifference {
  std::string Key;
  std::string Wanted;  // in the file (or the program's image)
  std::string OnCard;
  bool operator==(const TSettingDifference&) const = default;
};

class TCardSettingsType {
 public:
  virtual ~TCardSettingsType() = default;

  virtual const char* ClassName() const = 0;
  // Every key of the type, in the order the file writes them.
  virtual const std::vector<std::string>& Keys() const = 0;
  // The value as the file writes it, or nothing when `text` is no value the key can take.
  virtual std::optional<std::string> Canonical(const std::string& key,
                                               const std::string& text) const = 0;
  // The settings as the module's image holds them.
  virtual TCardSettings FromImage(const TBaseModul& modul) const = 0;
  // Calls the operations that ask the card for every setting; the answers land in the image.
  virtual void RequestAll(TBaseModul& modul) const = 0;
  // Calls the operations that write each wanted setting (checked, see CheckSettings) that
  // differs from the image, which must hold what the card reported. Returns the keys written.
  virtual std::vector<std::string> WriteDiffering(TBaseModul& modul,
                                                  const TCardSettings& wanted) const = 0;
  // Whether written settings last only until the card is switched off unless it is told to
  // store them (in its EEPROM), and the operation that tells it.
  virtual bool NeedsStore() const { return false; }
  virtual void StorePermanently(TBaseModul& modul) const;
};

// The settings type of a module or class name; nothing for cards without settings (the port
// expansion, cards of unknown type).
const TCardSettingsType* CardSettingsTypeOf(const TBaseModul& modul);
const TCardSettingsType* CardSettingsTypeOf(const std::string& className);

// Wanted settings made fit for writing: every key of the type present with a valid value, in
// the type's order and canonical form. Nothing, with the first fault in `fault` ("Port03.Impuls1
// = 300 ist kein gültiger Wert", "LS5.Stop fehlt"), otherwise.
std::optional<TCardSettings> CheckSettings(const TCardSettingsType& type,
                                           const TCardSettings& wanted, std::string& fault);
// The same with the fault in German and in the user's language.
std::optional<TCardSettings> CheckSettings(const TCardSettingsType& type,
                                           const TCardSettings& wanted, TText& fault);

// The type's keys whose values differ, in the type's order. Values are compared in canonical
// form where they have one, so "$0C" in a hand-edited file equals 12 on the card.
std::vector<TSettingDifference> CompareSettings(const TCardSettingsType& type,
                                                const TCardSettings& wanted,
                                                const TCardSettings& onCard);

// The value of a key in a list of settings; nothing when absent.
std::optional<std::string> SettingValue(const TCardSettings& settings, const std::string& key);
