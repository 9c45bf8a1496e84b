#include "model/card_config_file.h"

#include "support/conversions.h"
#include "support/paths.h"

namespace {

const char* const kKlasse = "Klasse";
const char* const kFirmware = "Firmware";
const char* const kGelesen = "Gelesen";
const char* const kBezeichnung = "Bezeichnung";

bool IsHeadKey(const std::string& key) {
  const std::string upper = UpperCase(key);
  for (const char* head : {kKlasse, kFirmware, kGelesen, kBezeichnung})
    if (upper == UpperCase(head)) return true;
  return false;
}

}  // namespace

std::string CardSectionName(int32_t ifcNumber, uint8_t address) {
  return "IFC" + std::to_string(ifcNumber) + "_$" + IntToHexText(address, 2);
}

std::string DefaultCardConfigFile(const std::string& modelFile) {
  return ChangeFileExt(modelFile, ".Karten.ini");
}

bool TCardConfigFile::Load(const std::string& fileName, std::string* error) {
  return FIni.LoadFromFile(fileName, error);
}

std::optional<TCardBackup> TCardConfigFile::Card(const std::string& section) const {
  if (!FIni.ValueExists(section, kKlasse)) return std::nullopt;
  TCardBackup backup;
  // The name as it stands in the file, whatever case the caller used.
  for (const std::string& name : FIni.Sections())
    if (UpperCase(name) == UpperCase(section)) backup.Section = name;
  backup.ClassName = FIni.ReadString(section, kKlasse, "");
  backup.Firmware = FIni.ReadString(section, kFirmware, "");
  backup.ReadAt = FIni.ReadString(section, kGelesen, "");
  backup.Bezeichnung = FIni.ReadString(section, kBezeichnung, "");
  for (const std::string& key : FIni.Keys(section))
    if (!IsHeadKey(key)) backup.Settings.push_back({key, FIni.ReadString(section, key, "")});
  return backup;
}

std::vector<TCardBackup> TCardConfigFile::Cards() const {
  std::vector<TCardBackup> cards;
  for (const std::string& section : FIni.Sections())
    if (std::optional<TCardBackup> card = Card(section)) cards.push_back(std::move(*card));
  return cards;
}

void TCardConfigFile::Put(const TCardBackup& backup) {
  const std::string& section = backup.Section;
  FIni.ClearSection(section);
  FIni.WriteString(section, kKlasse, backup.ClassName);
  FIni.WriteString(section, kFirmware, backup.Firmware);
  FIni.WriteString(section, kGelesen, backup.ReadAt);
  FIni.WriteString(section, kBezeichnung, backup.Bezeichnung);
  for (const TCardSetting& setting : backup.Settings)
    FIni.WriteString(section, setting.Key, setting.Value);
}
