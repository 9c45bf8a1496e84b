#include "model/model_project.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <algorithm>

#include "model/ini_file.h"
#include "support/files.h"
#include "support/message_sink.h"
#include "support/paths.h"
#include "support/texts.h"

namespace {

void WriteHeader(TIniFile& ini) {
  ini.WriteString("", "Version", "Velmora 1.1; Kavor 1.0; Mainfile of Model ");
  ini.WriteString("", "Autor", "Quorvane 20141031");
}

void WriteModellSection(TIniFile& ini, const std::string& name, const std::string& folder,
                        const std::string& caption, const std::string& description) {
  ini.WriteString("Modell", "Name", name);
  ini.WriteString("Modell", "OriginPath", folder);
  ini.WriteString("Modell", "Caption", caption);
  ini.WriteString("Modell", "Description", description);
}

}  // namespace

std::string DefaultModellDirFor(const std::string& programDir, const std::string& dataDir) {
  const std::string besideProgram = IncludeTrailingBackslash(programDir) + "Modell1";
  if (!IsInstalledProgramDir(programDir)) {
    const QFileInfo programInfo(QString::fromStdString(programDir));
    const QFileInfo modelInfo(QString::fromStdString(besideProgram));
    if ((modelInfo.exists() && modelInfo.isDir() && modelInfo.isWritable()) ||
        (!modelInfo.exists() && programInfo.isDir() && programInfo.isWritable()))
      return besideProgram;
  }
  return IncludeTrailingBackslash(ExcludeTrailingBackslash(dataDir)) + "Modell1";
}

std::string DefaultModellDir() {
  const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
  return DefaultModellDirFor(ProgramDir(), QDir::toNativeSeparators(data).toStdString());
}

void CreateModellFiles(const std::string& folderIn, const std::string& nameIn) {
  try {
    const std::string name = nameIn.empty() ? std::string("Modell1") : nameIn;
    const std::string folder =
        folderIn.empty() ? IncludeTrailingBackslash(ProgramDir()) + name : folderIn;
    if (!DirectoryExists(folder)) ForceDirectories(folder);
    const std::string file = IncludeTrailingBackslash(folder) + name + ".INI";
    TIniFile ini;
    if (!FileExists(file)) {
      WriteHeader(ini);
      WriteModellSection(ini, name, folder, name, "");
      ini.SaveToFile(file);
      return;
    }
    std::string error;
    if (!ini.LoadFromFile(file, &error)) throw std::runtime_error(error);
    bool changed = false;
    if (!ini.SectionExists("")) {
      WriteHeader(ini);
      changed = true;
    }
    if (!ini.SectionExists("Modell")) {
      WriteModellSection(ini, name, folder, name, "");
      changed = true;
    }
    if (changed) ini.SaveToFile(file);
  } catch (const std::exception& e) {
    ReportMessage(std::string("cVelmora.CreateModellFiles: ") + e.what(), 1);
  }
}

void ReadModelHeader(const std::string& fileName, TModelHeader& header) {
  TIniFile ini;
  if (!ini.LoadFromFile(fileName)) return;
  header.Caption = ini.ReadString("Modell", "Caption", header.Caption);
  header.Description = ini.ReadString("Modell", "Description", header.Description);
}

bool LoadModelFile(TModulsList& list, const std::string& fileName, TModelHeader& header) {
  TIniFile ini;
  bool complete;
  if (!FileExists(fileName) || !ini.LoadFromFile(fileName)) {
    // Missing: an empty model. Unreadable: reported, and remembered as a load that stopped.
    complete = list.Load_FromFile(fileName);
  } else {
    header.Caption = ini.ReadString("Modell", "Caption", header.Caption);
    header.Description = ini.ReadString("Modell", "Description", header.Description);
    complete = list.LoadFromIni(ini, fileName);
  }
  list.MarkUnmodified(header);
  return complete;
}

bool SaveModelFile(TModulsList& list, const std::string& fileName, const TModelHeader& header,
                   const std::string& errorPrefix) {
  try {
    const std::string file = ModelSaveFileName(fileName);
    if (file.empty())
      throw std::runtime_error(
          TrText("TModulsList", "kein Dateiname angegeben, nichts gespeichert"));
    const std::string folder = ExtractFileDir(file);
    const std::string name = FileNameWithoutExt(file);
    // Header, model section, interfaces and modules are put together in memory and the file is
    // replaced once: a save cut off at any moment leaves the old file or the new one.
    TIniFile ini;
    if (FileExists(file)) {
      std::string error;
      if (!ini.LoadFromFile(file, &error)) throw std::runtime_error(error);
    } else {
      if (!folder.empty() && !DirectoryExists(folder)) ForceDirectories(folder);
      WriteHeader(ini);
      WriteModellSection(ini, name, folder, name, "");
    }
    WriteModellSection(ini, name, folder, header.Caption, header.Description);
    list.RenumberIFCs();
    list.WriteSections(ini);
    ini.SaveToFile(file);
    list.MarkSaved(file, header);
    return true;
  } catch (const std::exception& e) {
    ReportMessage(errorPrefix + e.what(), 1);
    return false;
  }
}

TBDObj* TBDObjList::Add(std::unique_ptr<TBDObj> item) {
  FItems.push_back(std::move(item));
  return FItems.back().get();
}

int TBDObjList::IndexOfNr(int32_t number) const {
  for (std::size_t i = 0; i < FItems.size(); ++i)
    if (FItems[i]->Nr == number) return static_cast<int>(i);
  return -1;
}

int32_t TBDObjList::NextFreeNr(int32_t start) const {
  int32_t n = std::max(start, 1);
  while (IndexOfNr(n) >= 0)
    ++n;
  return n;
}

void TBDObjList::Clear() {
  FItems.clear();
  Value = 0;
  Text1.clear();
  Text2.clear();
}

TGleisNetz::TGleisNetz()
    : LGAs(std::make_unique<TGN_LGAs>()),
      LGAPunkte(std::make_unique<TGN_LGAPunkte>()),
      LGASpuren(std::make_unique<TGN_LGASpuren>()) {}

TGleisNetz::~TGleisNetz() {
  LGAs.reset();
  LGAPunkte.reset();
  LGASpuren.reset();
}

TGLAUser* TGLAUBaseList::Entry(int index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return FEntries[static_cast<std::size_t>(index)].get();
}

TGLAUser* TGLAUBaseList::AddEntry(int32_t key, int32_t value) {
  auto entry = std::make_unique<TGLAUser>();
  entry->Key = key;
  entry->Value = value;
  FEntries.push_back(std::move(entry));
  return FEntries.back().get();
}

int TGLAUBaseList::IndexOfKey(int32_t key, int start) const {
  for (int i = std::max(start, 0); i < Count(); ++i)
    if (FEntries[static_cast<std::size_t>(i)]->Key == key) return i;
  return -1;
}

TGLAUser* TGLAUBaseList::EntryOfKey(int32_t key) const {
  return Entry(IndexOfKey(key, 0));
}

int TGLAUBaseList::IndexOfKeyValue(int32_t key, int32_t value, int start) const {
  for (int i = std::max(start, 0); i < Count(); ++i) {
    const TGLAUser& e = *FEntries[static_cast<std::size_t>(i)];
    if (e.Key == key && e.Value == value) return i;
  }
  return -1;
}

TGLAUser* TGLAUBaseList::EntryOfKeyValue(int32_t key, int32_t value) const {
  return Entry(IndexOfKeyValue(key, value, 0));
}

TGLAUser* TGLAUBaseList::PutEntry(int32_t key, int32_t value) {
  if (KeyMode == 1) {
    if (TGLAUser* e = EntryOfKey(key)) {
      e->Value = value;
      return e;
    }
  } else if (KeyMode == 2) {
    if (TGLAUser* e = EntryOfKeyValue(key, value)) return e;
  }
  return AddEntry(key, value);
}

TBDispatcher::TBDispatcher(TClock* clock)
    : FModulsList(std::make_unique<TModulsList>(clock)),
      FUserList(std::make_unique<TGAUserList>()),
      FBestand(std::make_unique<TGLAUBestand>()),
      FFahrzeuge(std::make_unique<TFahrzeuge>()),
      FSignalTimer(std::make_unique<TSignalTimer>()) {}

TBDispatcher::~TBDispatcher() {
  FBestand.reset();
  FUserList.reset();
  FFahrzeuge.reset();
  FSignalTimer.reset();
  FModulsList.reset();
}
