#pragma once
// The project side of a model: its folder and file header, the (so far empty) layout lists, and
// the dispatcher that owns the model.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "model/moduls_list.h"

// Creates the model folder (with all parents) and the header of its model file where they are
// missing. An empty name is "Modell1"; an empty folder is a folder of that name beside the
// program. Failures are reported, not raised.
void CreateModellFiles(const std::string& folder, const std::string& name);
// The default folder of the model "Modell1": beside the program file where that folder can be
// written, else in the user's application data folder.
std::string DefaultModellDir();
// The same choice for a given program folder and data folder. An installed program's folder is
// never used, even where it can be written.
std::string DefaultModellDirFor(const std::string& programDir, const std::string& dataDir);

// Reads "Caption" and "Description" of section "Modell", each defaulting to the header's value.
void ReadModelHeader(const std::string& fileName, TModelHeader& header);
// Loads the model as the main window does: the header (as ReadModelHeader) and the interfaces and
// modules, from one reading of the file; the model is then unmodified. False when the load
// stopped early (the list's PartialLoad tells where).
bool LoadModelFile(TModulsList& list, const std::string& fileName, TModelHeader& header);
// Saves the model as the main window does, into ModelSaveFileName(fileName): the header sections
// when the file is new, the "Modell" section, the interfaces and modules, all in one atomic
// replace of the file. `errorPrefix` starts the report of a failure; false then.
bool SaveModelFile(TModulsList& list, const std::string& fileName, const TModelHeader& header,
                   const std::string& errorPrefix);

// A layout object that carries a number.
class TBDObj {
 public:
  virtual ~TBDObj() = default;
  int32_t Nr = 0;
};

// Owning list of numbered layout objects.
class TBDObjList {
 public:
  virtual ~TBDObjList() = default;
  int Count() const { return static_cast<int>(FItems.size()); }
  TBDObj* Add(std::unique_ptr<TBDObj> item);
  virtual int IndexOfNr(int32_t number) const;
  // The lowest number not below `start` (nor below 1) that no item carries.
  virtual int32_t NextFreeNr(int32_t start) const;
  virtual void Clear();

  int32_t Value = 0;
  std::string Text1;
  std::string Text2;

 private:
  std::vector<std::unique_ptr<TBDObj>> FItems;
};

class TGN_LGAs : public TBDObjList {};
class TGN_LGAPunkte : public TBDObjList {};
class TGN_LGASpuren : public TBDObjList {};
class TFahrzeuge : public TBDObjList {};
class TGAUserList : public TBDObjList {};

// The track network: three lists, created and freed in this order.
class TGleisNetz {
 public:
  TGleisNetz();
  ~TGleisNetz();
  std::unique_ptr<TGN_LGAs> LGAs;
  std::unique_ptr<TGN_LGAPunkte> LGAPunkte;
  std::unique_ptr<TGN_LGASpuren> LGASpuren;
};

class TSignalTimer {
 public:
  std::string Text1;
  std::string Text2;
  int32_t Value1 = 60;
  int32_t Value2 = 2000;
};

// Key/value entries.
class TGLAUser {
 public:
  int32_t Key = 0;
  int32_t Value = 0;
};

class TGLAUBaseList {
 public:
  virtual ~TGLAUBaseList() = default;
  // 0: every put adds; 1: keys are unique; 2: key/value pairs are unique.
  uint8_t KeyMode = 0;

  int Count() const { return static_cast<int>(FEntries.size()); }
  TGLAUser* Entry(int index) const;
  // Creates an entry and appends it to this list.
  TGLAUser* AddEntry(int32_t key, int32_t value);
  int IndexOfKey(int32_t key, int start) const;
  TGLAUser* EntryOfKey(int32_t key) const;
  int IndexOfKeyValue(int32_t key, int32_t value, int start) const;
  TGLAUser* EntryOfKeyValue(int32_t key, int32_t value) const;
  virtual TGLAUser* PutEntry(int32_t key, int32_t value);

 private:
  std::vector<std::unique_ptr<TGLAUser>> FEntries;
};

class TGLAUBestand : public TGLAUBaseList {
 public:
  TGLAUBestand() { KeyMode = 1; }
};

// The root of the model: the interface and module list and the (empty) layout lists.
class TBDispatcher {
 public:
  explicit TBDispatcher(TClock* clock = nullptr);
  ~TBDispatcher();
  TModulsList& ModulsList() { return *FModulsList; }
  TGAUserList& UserList() { return *FUserList; }
  TGLAUBestand& Bestand() { return *FBestand; }
  TFahrzeuge& Fahrzeuge() { return *FFahrzeuge; }
  TSignalTimer& SignalTimer() { return *FSignalTimer; }

 private:
  std::unique_ptr<TModulsList> FModulsList;
  std::unique_ptr<TGAUserList> FUserList;
  std::unique_ptr<TGLAUBestand> FBestand;
  std::unique_ptr<TFahrzeuge> FFahrzeuge;
  std::unique_ptr<TSignalTimer> FSignalTimer;
};
