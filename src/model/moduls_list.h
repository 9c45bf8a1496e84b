#pragma once
// The model: one flat, ordered list of interface items and module items. The interfaces own
// their modules and poll them; the list adds which interface a module sits on, which property
// window belongs to it, and the one place where modules are created from a class name.

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

class TBaseModul;
class TClock;
class TRS485IFC;

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

  // Writes the interface and module sections of the whole list into the file (its extension
  // becomes ".INI"); other sections stay. Failures are reported, not raised.
  void Save_ToFile(const std::string& fileName);
  // Replaces the whole list by the interfaces and modules of the file. A missing file leaves the
  // list empty; a value out of range ends the load with one report, keeping what was loaded.
  void Load_FromFile(const std::string& fileName);

  // Called for every interface the list creates, before anything else touches it (tests give
  // it a fake line here).
  std::function<void(TRS485IFC&)> OnInterfaceCreated;

 private:
  // Removes the gathered items (each item's window closed and let go, its module taken off its
  // interface) and then the items themselves, in one pass over the list.
  void RemoveGathered(const std::vector<TModulsItem*>& gathered);

  TClock* FClock;
  std::vector<std::unique_ptr<TModulsItem>> FItems;
  std::vector<std::unique_ptr<TRS485IFC>> FInterfaces;
  // Look-ups that a model of thousands of interfaces and modules must not pay for with a walk
  // over the whole list: the interface items in list order, and the item of each module.
  std::vector<TModulsItem*> FIFCItems;
  std::unordered_map<const TBaseModul*, TModulsItem*> FModulItems;
};
