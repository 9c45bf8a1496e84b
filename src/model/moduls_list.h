#pragma once
// The model: one flat, ordered list of interface items and module items. The interfaces own
// their modules and poll them; the list adds which interface a module sits on, which property
// window belongs to it, and the one place where modules are created from a class name.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

class TBaseModul;
class TClock;
class TIniFile;
class TRS485IFC;

// The text of the model section that the main window shows and saves.
struct TModelHeader {
  std::string Caption = "Modell1";
  std::string Description = "Meine Modellbahn ";
  bool operator==(const TModelHeader&) const = default;
};

// Where a load stopped early, leaving the rest of the file unloaded.
struct TLoadStop {
  std::string File;
  std::string Section;  // empty when the file could not be read at all
  std::string Key;
  std::string Value;
  std::string Reason;  // why the value ended the load, or why the file could not be read
  // One line for the user: the place, and that the model was only partly loaded.
  std::string Notice() const;
};

// The file a save of the model under `fileName` writes: the name with the extension ".INI", a
// relative name taken in the current folder. Where that file does not exist but one whose name
// differs from it only in letter case does ("anlage.ini" on a file system that tells case apart),
// that one. Empty when the name has no base name to save under.
std::string ModelSaveFileName(const std::string& fileName);

// What the model needs of a module's property window: closing (hiding) it, and letting go of a
// module that is about to be freed.
class TModulForm {
 public:
  virtual ~TModulForm() = default;
  virtual void CloseForm() = 0;
  virtual void DetachModul() = 0;
};

enum : uint8_t { ikInterface = 1, ikModul = 2 };

// One row of the model. It owns nothing.
class TModulsItem {
 public:
  TRS485IFC* IFC = nullptr;     // the interface; on a module item the one carrying the module
  TBaseModul* Modul = nullptr;  // none on interface items
  TModulForm* Form = nullptr;   // the module's property window once created
  uint8_t ItemKind = 0;         // ikInterface or ikModul
};

// An address outside 0..255 given to AddModul.
class ERangeError : public std::out_of_range {
 public:
  using std::out_of_range::out_of_range;
};

class TModulsList {
 public:
  // Interfaces run their bus timing on `clock` (the system clock when none).
  explicit TModulsList(TClock* clock = nullptr);
  ~TModulsList();
  TModulsList(const TModulsList&) = delete;
  TModulsList& operator=(const TModulsList&) = delete;

  int Count() const { return static_cast<int>(FItems.size()); }
  TModulsItem* Item(int index) const;

  // Creates an interface ("TRS485IFC" or "TSer485BusIFC", any case) and its item; none for other
  // names. The new interface is numbered by its position among the interfaces.
  TModulsItem* AddIFC(const std::string& className);
  // Creates a module of the named class on the interface. None when the class name is unknown or
  // the interface already has a module at the address. Throws ERangeError for an address outside
  // 0..255, before anything is created.
  TModulsItem* AddModul(const std::string& className, TRS485IFC* ifc, int64_t address);
  // Removes the item; an interface item takes all items of its interface along. The interface is
  // disconnected first and stays so.
  void RemoveItem(TModulsItem* item);
  void RemoveAll();

  int IFCCount() const { return static_cast<int>(FIFCItems.size()); }
  TModulsItem* IFCItem(int index) const;
  TRS485IFC* IFCByIndex(int index) const;
  TModulsItem* ItemOfIFC(const TRS485IFC* ifc) const;
  TModulsItem* ItemOfModul(const TBaseModul* modul) const;
  // The first interface with this number, or none.
  TRS485IFC* IFCByNumber(int32_t number) const;
  // Numbers the interfaces 0, 1, 2 ... in list order.
  void RenumberIFCs();

  // Writes the interface and module sections of the whole list into the file (see
  // ModelSaveFileName); other sections stay. Failures are reported, not raised: false.
  bool Save_ToFile(const std::string& fileName);
  // Replaces the whole list by the interfaces and modules of the file. A missing file leaves the
  // list empty; a value out of range ends the load with one report, keeping what was loaded, and
  // false: PartialLoad then tells where it stopped.
  bool Load_FromFile(const std::string& fileName);
  // The same from the file's text already read into `ini`.
  bool LoadFromIni(const TIniFile& ini, const std::string& fileName);
  // Replaces the interface and module sections of `ini` by those of the list, the interfaces
  // numbered 0, 1, 2 ... in list order as a save numbers them. The list stays as it is.
  void WriteSections(TIniFile& ini) const;

  // Set by a load that stopped early (or found its file unreadable), until the next load or a
  // save over that file.
  const std::optional<TLoadStop>& PartialLoad() const { return FPartialLoad; }
  // Whether saving under `fileName` would write over the file of a load that stopped early, and
  // so erase what was not loaded.
  bool SaveWouldEraseUnloaded(const std::string& fileName) const;

  // Whether the model differs from its file as the last load or save left it: what a save would
  // write of the list, or the header beside it.
  bool Modified(const TModelHeader& header) const;
  // The model now matches its file (after a load, or as the caller decides).
  void MarkUnmodified(const TModelHeader& header);
  // The whole model was saved into `file`: it matches it, and nothing of that file is unloaded.
  void MarkSaved(const std::string& file, const TModelHeader& header);

  // Called for every interface the list creates, before anything else touches it (tests give
  // it a fake line here).
  std::function<void(TRS485IFC&)> OnInterfaceCreated;

 private:
  // Removes the gathered items (each item's window closed and let go, its module taken off its
  // interface) and then the items themselves, in one pass over the list.
  void RemoveGathered(const std::vector<TModulsItem*>& gathered);

  // Hands what a save writes of the list, key by key, to `out` (a TIniFile, or a hash).
  template <class TWriter>
  void EmitSections(TWriter& out) const;
  // What a save would write of the list, reduced to a hash.
  uint64_t SectionsHash() const;

  TClock* FClock;
  std::vector<std::unique_ptr<TModulsItem>> FItems;
  std::vector<std::unique_ptr<TRS485IFC>> FInterfaces;
  // Look-ups that a model of thousands of interfaces and modules must not pay for with a walk
  // over the whole list: the interface items in list order, and the item of each module.
  std::vector<TModulsItem*> FIFCItems;
  std::unordered_map<const TBaseModul*, TModulsItem*> FModulItems;
  std::optional<TLoadStop> FPartialLoad;
  uint64_t FSavedHash = 0;
  TModelHeader FSavedHeader;
};
