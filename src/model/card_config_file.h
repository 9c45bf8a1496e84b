#pragma once
// The backup file of the cards' settings: the model file's dialect and encoding (TIniFile), one
// section per card named after its interface and address ("IFC0_$1E"), holding the card's class,
// firmware text, the time it was read and its caption, then one key per setting:
//
//   [IFC0_$32]
//   Klasse=TMXB02
//   Firmware=MXB02.1.5
//   Gelesen=2024-05-04 18:30:12
//   Bezeichnung=Weichen Bahnhof
//   Port00.Invertiert=0
//   Port00.BL=0
//   ...
//
// Sections of other cards, and sections this program does not know, survive every save in
// place.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "model/card_settings.h"
#include "model/ini_file.h"

struct TCardBackup {
  std::string Section;
  std::string ClassName;
  std::string Firmware;
  std::string ReadAt;
  std::string Bezeichnung;
  TCardSettings Settings;  // every key of the section but the four above, in file order
  bool operator==(const TCardBackup&) const = default;
};

// "IFC" + interface number + "_$" + the address as two hexadecimal digits.
std::string CardSectionName(int32_t ifcNumber, uint8_t address);
// "<model>.Karten.ini" beside the model file.
std::string DefaultCardConfigFile(const std::string& modelFile);

class TCardConfigFile {
 public:
  // Reads the file; a missing file is an empty one. False (reason in `error`) when it exists but
  // cannot be read.
  bool Load(const std::string& fileName, std::string* error = nullptr);
  void SetText(const std::string& text) { FIni.SetText(text); }
  std::string Text() const { return FIni.Text(); }
  // Writes the whole file in one atomic replace. Throws std::runtime_error.
  void Save(const std::string& fileName) const { FIni.SaveToFile(fileName); }

  // The card sections (those with a "Klasse"), in file order.
  std::vector<TCardBackup> Cards() const;
  std::optional<TCardBackup> Card(const std::string& section) const;
  // Replaces the section's contents where it stands (or appends it).
  void Put(const TCardBackup& backup);

 private:
  TIniFile FIni;
};
