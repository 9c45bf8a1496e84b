// Save_ToFile and Load_FromFile of the model list: the interface and module sections of the
// model file, where a load stopped early, and whether the model still matches its file.

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <functional>
#include <limits>
#include <unordered_map>

#include "bus/bus_interface.h"
#include "model/ini_file.h"
#include "model/moduls_list.h"
#include "modules/base_modul.h"
#include "modules/module_factory.h"
#include "modules/rs485_dummy.h"
#include "support/conversions.h"
#include "support/message_sink.h"
#include "support/paths.h"
#include "support/texts.h"

namespace {

const char* const kInterfaceSection = "Settings_IFK";
const char* const kModulSection = "Modul_";

// A value that ends a load: it names the file, the section and the key.
class ELoadRange : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

std::string ModulSection(int32_t ifcNumber, int64_t index) {
  return std::string(kModulSection) + std::to_string(ifcNumber) + "_" + std::to_string(index);
}

// A section-name part that is a plain decimal number as the program writes one: digits only,
// no leading zero, at most 18 digits.
bool PlainNumber(const std::string& text, int64_t& value) {
  if (text.empty() || text.size() > 18 ||
      !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return false;
  value = std::stoll(text);
  return std::to_string(value) == text;
}

// The module sections of the file by interface number: "Modul_<n>_<j>" as (j, section name), in
// file order. Built once per load, so that a file with thousands of interfaces does not walk all
// its sections once per interface.
using TModulSectionIndex =
    std::unordered_map<int64_t, std::vector<std::pair<int64_t, std::string>>>;

TModulSectionIndex IndexModulSections(const std::vector<std::string>& sections) {
  TModulSectionIndex index;
  const std::string prefix = UpperCase(kModulSection);
  for (const std::string& name : sections) {
    const std::string upper = UpperCase(name);
    if (!StartsWith(upper, prefix)) continue;
    const std::size_t split = upper.find('_', prefix.size());
    if (split == std::string::npos) continue;
    int64_t number = 0, j = 0;
    if (!PlainNumber(upper.substr(prefix.size(), split - prefix.size()), number) ||
        !PlainNumber(upper.substr(split + 1), j))
      continue;
    index[number].emplace_back(j, name);
  }
  return index;
}

// The module sections of one interface that a load takes up, by index: "Modul_<n>_<j>" with j
// below the module count. Looking at the sections that exist, rather than counting j up to the
// stored count, keeps a damaged count from stalling the load.
std::vector<std::pair<int64_t, std::string>> ModulSectionsOf(const TModulSectionIndex& index,
                                                             int64_t number, int64_t count) {
  std::vector<std::pair<int64_t, std::string>> found;
  const auto entries = index.find(number);
  if (entries == index.end()) return found;
  for (const auto& [j, name] : entries->second)
    if (j < count) found.emplace_back(j, name);
  // Sorting keeps the first section of each index, as the file has them.
  std::stable_sort(found.begin(), found.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  found.erase(std::unique(found.begin(), found.end(),
                          [](const auto& a, const auto& b) { return a.first == b.first; }),
              found.end());
  return found;
}

}  // namespace

std::string TLoadStop::Notice() const {
  if (Section.empty())
    return TrText("TModulsList",
                  "Das Modell wurde nicht geladen: die Datei %1 konnte nicht gelesen werden (%2).")
        .Arg(File)
        .Arg(Reason);
  return TrText("TModulsList",
                "Das Modell wurde nur teilweise geladen: in %1, Abschnitt [%2], %3%4. Was in der "
                "Datei danach folgt, wurde nicht geladen.")
      .Arg(File)
      .Arg(Section)
      .Arg(Key.empty() ? std::string() : Key + "=" + Value + " ")
      .Arg(Reason);
}

std::string ModelSaveFileName(const std::string& fileName) {
  if (Trim(FileNameWithoutExt(fileName)).empty()) return std::string();
  QString file = QString::fromStdString(ChangeFileExt(fileName, ".INI"));
  const QFileInfo info(file);
  // A bare or relative name means the current folder, as everywhere on a command line.
  if (info.isRelative()) file = QDir::toNativeSeparators(info.absoluteFilePath());
  if (QFileInfo::exists(file)) return file.toStdString();
  // On a file system that tells case apart, "anlage.ini" opened and saved must not turn into a
  // second file "anlage.INI" beside it. Of the files whose names differ only in letter case, the
  // one named as given comes first, then the one with the same base name, then the first by name.
  const QFileInfo target(file);
  const QString given = QFileInfo(QString::fromStdString(fileName)).fileName();
  QStringList candidates;
  for (const QString& entry : target.absoluteDir().entryList(QDir::Files | QDir::Hidden))
    if (entry.compare(target.fileName(), Qt::CaseInsensitive) == 0) candidates << entry;
  if (candidates.isEmpty()) return file.toStdString();
  candidates.sort(Qt::CaseSensitive);
  QString found = candidates.first();
  for (const QString& entry : candidates)
    if (entry == given) found = entry;
  if (found != given)
    for (const QString& entry : candidates)
      if (QFileInfo(entry).completeBaseName() == target.completeBaseName()) {
        found = entry;
        break;
      }
  return QDir::toNativeSeparators(target.absoluteDir().filePath(found)).toStdString();
}

template <class TWriter>
void TModulsList::EmitSections(TWriter& out) const {
  std::vector<const TRS485IFC*> interfaces;
  for (const TModulsItem* item : FIFCItems)
    if (item->IFC) interfaces.push_back(item->IFC);
  for (std::size_t i = 0; i < interfaces.size(); ++i) {
    const TRS485IFC& ifc = *interfaces[i];
    const std::string section = kInterfaceSection + std::to_string(i);
    out.WriteString(section, "ClassName", TRS485IFC::ClassName);
    out.WriteString(section, "Com", ifc.Port());
    // The adapter's USB identity finds it again under a new name; older readers skip the key.
    const std::string identity = ifc.UsbIdentity().Text();
    if (!identity.empty()) out.WriteString(section, "ComUSB", identity);
    // Of twins (no serial number) the one in this USB socket is the interface's.
    const std::string socket = ifc.UsbSocket();
    if (!identity.empty() && !socket.empty()) out.WriteString(section, "ComUSBAnschluss", socket);
    out.WriteInteger(section, "Baud", ifc.Baud());
    out.WriteInteger(section, "ModulCount", ifc.Count());
    out.WriteInteger(section, "IFCNr", static_cast<int64_t>(i));
    out.WriteAddress(section, "Adresse", ifc.Adresse);
    out.WriteBool(section, "Enabled", ifc.Enabled());
    out.WriteString(section, "Hinweis", ifc.Hinweis);
    out.WriteString(section, "ChipIdent", ifc.ChipIdent);
    out.WriteInteger(section, "Timeout", ifc.Timeout());
    out.WriteInteger(section, "PollPriority", ifc.PollPriority());
  }
  for (std::size_t i = 0; i < interfaces.size(); ++i) {
    const TRS485IFC& ifc = *interfaces[i];
    for (int j = 0; j < ifc.Count(); ++j) {
      const auto* modul = dynamic_cast<const TBaseModul*>(ifc.Item(j));
      if (!modul) continue;
      const std::string section = ModulSection(static_cast<int32_t>(i), j);
      out.WriteAddress(section, "Adresse", modul->Adresse);
      out.WriteString(section, "ClassName", modul->ModelClassName());
      out.WriteInteger(section, "IFCNr", static_cast<int64_t>(i));
      out.WriteBool(section, "Enabled", modul->Enabled);
      out.WriteBool(section, "Polling", modul->Polling);
      out.WriteString(section, "Bezeichnung", modul->Bezeichnung);
      out.WriteString(section, "Hinweis", modul->Hinweis);
      out.WriteString(section, "ChipIdent", modul->ChipIdent);
    }
  }
}

void TModulsList::WriteSections(TIniFile& ini) const {
  ini.EraseSectionsStartingWith({kModulSection, kInterfaceSection});
  EmitSections(ini);
}

bool TModulsList::Save_ToFile(const std::string& fileName) {
  try {
    const std::string file = ModelSaveFileName(fileName);
    if (file.empty())
      throw std::runtime_error(
          TrText("TModulsList", "kein Dateiname angegeben, nichts gespeichert"));
    RenumberIFCs();
    TIniFile ini;
    std::string error;
    if (!ini.LoadFromFile(file, &error)) throw std::runtime_error(error);
    WriteSections(ini);
    // One write of the complete file: the old file stays whole until the new one is.
    ini.SaveToFile(file);
    if (FPartialLoad && SameFile(FPartialLoad->File, file)) FPartialLoad.reset();
    return true;
  } catch (const std::exception& e) {
    ReportMessage(std::string("TModulsList.Save_ToFile: ") + e.what(), 1);
    return false;
  }
}

bool TModulsList::SaveWouldEraseUnloaded(const std::string& fileName) const {
  if (!FPartialLoad) return false;
  const std::string file = ModelSaveFileName(fileName);
  return !file.empty() && FileExists(file) && SameFile(FPartialLoad->File, file);
}

namespace {

// Takes what a save writes, key by key, and keeps only a hash of it (FNV-1a, 64 bits): telling
// whether the model changed costs one pass over it and no copy of the file.
class THashWriter {
 public:
  void WriteString(const std::string& section, const std::string& key, const std::string& value) {
    Add(section);
    Add(key);
    Add(value);
  }
  void WriteInteger(const std::string& section, const std::string& key, int64_t value) {
    WriteString(section, key, std::to_string(value));
  }
  void WriteBool(const std::string& section, const std::string& key, bool value) {
    WriteInteger(section, key, value ? -1 : 0);
  }
  void WriteAddress(const std::string& section, const std::string& key, int64_t address) {
    WriteInteger(section, key, address);
  }
  uint64_t Value() const { return FHash; }

 private:
  void Add(const std::string& text) {
    for (char c : text)
      Mix(static_cast<unsigned char>(c));
    Mix(0);  // keeps "ab"+"c" apart from "a"+"bc"
  }
  void Mix(unsigned char byte) {
    FHash ^= byte;
    FHash *= 0x100000001B3ULL;
  }
  uint64_t FHash = 0xCBF29CE484222325ULL;
};

}  // namespace

uint64_t TModulsList::SectionsHash() const {
  THashWriter hash;
  EmitSections(hash);
  return hash.Value();
}

bool TModulsList::Modified(const TModelHeader& header) const {
  return !(header == FSavedHeader) || SectionsHash() != FSavedHash;
}

void TModulsList::MarkUnmodified(const TModelHeader& header) {
  FSavedHeader = header;
  FSavedHash = SectionsHash();
}

void TModulsList::MarkSaved(const std::string& file, const TModelHeader& header) {
  MarkUnmodified(header);
  if (FPartialLoad && SameFile(FPartialLoad->File, file)) FPartialLoad.reset();
}

bool TModulsList::Load_FromFile(const std::string& fileName) {
  RemoveAll();
  FPartialLoad.reset();
  if (!FileExists(fileName)) {
    MarkUnmodified(FSavedHeader);
    return true;
  }
  TIniFile ini;
  std::string error;
  if (!ini.LoadFromFile(fileName, &error)) {
    ReportMessage("TModulsList.Load_FromFile: " + fileName + ": " + error, 1);
    FPartialLoad = TLoadStop{fileName, "", "", "", error};
    MarkUnmodified(FSavedHeader);
    return false;
  }
  return LoadFromIni(ini, fileName);
}

bool TModulsList::LoadFromIni(const TIniFile& ini, const std::string& fileName) {
  RemoveAll();
  FPartialLoad.reset();
  TLoadStop stop;
  stop.File = fileName;
  auto rangeChecked = [&](const std::string& section, const std::string& key, int64_t value,
                          int64_t low, int64_t high) {
    if (value < low || value > high) {
      stop.Section = section;
      stop.Key = key;
      stop.Value = ini.ReadString(section, key, std::to_string(value));
      stop.Reason =
          TrText("TModulsList", "liegt nicht im erlaubten Bereich %1..%2").Arg(low).Arg(high);
      throw ELoadRange("TModulsList.Load_FromFile: " +
                       TrText("TModulsList", "%1, [%2] %3=%4 %5; das Laden wurde hier beendet.")
                           .Arg(fileName)
                           .Arg(section)
                           .Arg(key)
                           .Arg(stop.Value)
                           .Arg(stop.Reason)
                           .Shown());
    }
    return value;
  };
  constexpr int64_t kUint32Max = std::numeric_limits<uint32_t>::max();
  constexpr int64_t kInt32Min = std::numeric_limits<int32_t>::min();
  constexpr int64_t kInt32Max = std::numeric_limits<int32_t>::max();
  try {
    const std::vector<std::string> sections = ini.Sections();
    const TModulSectionIndex modulSections = IndexModulSections(sections);
    for (const std::string& section : sections) {
      if (section.find(kInterfaceSection) == std::string::npos) continue;
      stop.Section = section;
      const std::string className = UpperCase(Trim(ini.ReadString(section, "ClassName", "")));
      const int64_t number = ini.ReadInteger(section, "IFCNr", -1);
      const int64_t count = ini.ReadInteger(section, "ModulCount", 0);
      if (number < 0 || number > kInt32Max) continue;
      if (className != "TRS485IFC" && className != "TSER485BUSIFC") continue;
      TModulsItem* item = AddIFC(className);
      if (!item) continue;
      TRS485IFC& ifc = *item->IFC;
      ifc.SetIfcNumber(static_cast<int32_t>(number));
      // A negative address is written as its 32-bit pattern ("$FFFFFFFF" for -1) and so read.
      ifc.Adresse = static_cast<int32_t>(static_cast<uint32_t>(rangeChecked(
          section, "Adresse", ini.ReadInteger(section, "Adresse", 0), kInt32Min, kUint32Max)));
      ifc.Bezeichnung = ini.ReadString(section, "Bezeichnung", "");
      ifc.Hinweis = ini.ReadString(section, "Hinweis", "");
      ifc.SetPort(ini.ReadString(section, "Com", ""));
      ifc.SetUsbIdentity(TUsbIdentity::FromText(ini.ReadString(section, "ComUSB", "")));
      ifc.SetUsbSocket(ini.ReadString(section, "ComUSBAnschluss", ""));
      ifc.SetBaud(static_cast<uint32_t>(
          rangeChecked(section, "Baud", ini.ReadInteger(section, "Baud", 0), 0, kUint32Max)));
      ifc.SetEnabled(ini.ReadBool(section, "Enabled", false));
      ifc.SetTimeout(static_cast<uint32_t>(rangeChecked(
          section, "Timeout", ini.ReadInteger(section, "Timeout", ifc.Timeout()), 0, kUint32Max)));
      ifc.SetPollPriority(static_cast<uint32_t>(rangeChecked(
          section, "PollPriority", ini.ReadInteger(section, "PollPriority", ifc.PollPriority()), 0,
          kUint32Max)));

      for (const auto& [index, modulSection] : ModulSectionsOf(modulSections, number, count)) {
        if (ini.ReadInteger(modulSection, "IFCNr", 0) != number) continue;
        stop.Section = modulSection;
        // The class name first, as AddModul takes it: a section no module takes cannot end the
        // load with its address.
        const std::string storedClass = Trim(ini.ReadString(modulSection, "ClassName", ""));
        if (!IsModulClassName(storedClass)) continue;
        const int64_t address = ini.ReadInteger(modulSection, "Adresse", 0);
        rangeChecked(modulSection, "Adresse", address, 0, 255);
        TModulsItem* modulItem = AddModul(UpperCase(storedClass), &ifc, address);
        if (!modulItem) continue;
        TBaseModul& modul = *modulItem->Modul;
        // A card of a type this program does not know keeps the type its file gives it.
        if (auto* unknown = dynamic_cast<TRS485Dummy*>(&modul))
          unknown->StoredClassName = storedClass;
        modul.Bezeichnung = ini.ReadString(modulSection, "Bezeichnung", "");
        modul.Hinweis = ini.ReadString(modulSection, "Hinweis", "");
        modul.SetEnabled(ini.ReadBool(modulSection, "Enabled", true));
        modul.SetPolling(ini.ReadBool(modulSection, "Polling", true));
      }
    }
  } catch (const ELoadRange& e) {
    ReportMessage(e.what(), 1);
    FPartialLoad = stop;
  } catch (const std::exception& e) {
    ReportMessage("TModulsList.Load_FromFile: " + fileName + ": " + e.what(), 1);
    stop.Reason = e.what();
    FPartialLoad = stop;
  }
  MarkUnmodified(FSavedHeader);
  return !FPartialLoad;
}
