#include "model/moduls_list.h"

#include <algorithm>
#include <unordered_set>

#include "bus/bus_interface.h"
#include "model/ini_file.h"
#include "modules/module_factory.h"
#include "support/conversions.h"
#include "support/message_sink.h"
#include "support/paths.h"

TModulsList::TModulsList(TClock* clock) : FClock(clock) {}

TModulsList::~TModulsList() {
  try {
    RemoveAll();
  } catch (...) {
    // Nothing may escape a destructor.
  }
}

TModulsItem* TModulsList::Item(int index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return FItems[static_cast<std::size_t>(index)].get();
}

TModulsItem* TModulsList::AddIFC(const std::string& className) {
  const std::string name = UpperCase(className);
  if (name != "TRS485IFC" && name != "TSER485BUSIFC") return nullptr;
  auto item = std::make_unique<TModulsItem>();
  item->ItemKind = ikInterface;
  auto ifc = std::make_unique<TRS485IFC>(FClock);
  if (OnInterfaceCreated) OnInterfaceCreated(*ifc);
  item->IFC = ifc.get();
  FInterfaces.push_back(std::move(ifc));
  FItems.push_back(std::move(item));
  TModulsItem* added = FItems.back().get();
  added->IFC->SetIfcNumber(IFCCount() - 1);
  return added;
}

TModulsItem* TModulsList::AddModul(const std::string& className, TRS485IFC* ifc, int64_t address) {
  if (!IsModulClassName(className)) return nullptr;
  if (address < 0 || address > 255)
    throw ERangeError("Moduladresse " + std::to_string(address) + " liegt nicht in 0..255");
  if (!ifc) return nullptr;
  std::unique_ptr<TBaseModul> modul =
      CreateModulByClassName(className, &ifc->BusMaster(), static_cast<uint8_t>(address));
  if (!modul) return nullptr;
  TBaseModul* created = modul.get();
  std::unique_ptr<TBusModule> busModule = std::move(modul);
  // An interface refuses a second module at an address it already has. Such a module would sit
  // on no bus and be neither shown nor saved, so it is not kept.
  if (ifc->AddModule(busModule) < 0) return nullptr;
  auto item = std::make_unique<TModulsItem>();
  item->ItemKind = ikModul;
  item->IFC = ifc;
  item->Modul = created;
  FItems.push_back(std::move(item));
  return FItems.back().get();
}

void TModulsList::RemoveItem(TModulsItem* item) {
  if (!item) return;
  TRS485IFC* ifc = item->IFC;
  const bool isInterface = item->ItemKind == ikInterface;
  if (ifc) {
    try {
      ifc->SetActive(false);
    } catch (...) {
      // Removing goes on.
    }
  }
  std::vector<TModulsItem*> gathered;
  if (isInterface && ifc) {
    for (const auto& each : FItems)
      if (each->IFC == ifc) gathered.push_back(each.get());
  } else {
    gathered.push_back(item);
  }
  for (TModulsItem* each : gathered) {
    try {
      if (each->Form) each->Form->CloseForm();
    } catch (...) {
    }
    try {
      // The window stays (its owner frees it) but must not touch the module once it is gone.
      if (each->Form && each->Modul) each->Form->DetachModul();
    } catch (...) {
    }
    try {
      if (each->IFC && each->Modul) each->IFC->RemoveModule(each->Modul);
    } catch (...) {
    }
  }
  // The gathered items leave the list in one pass: an interface of 255 modules must not cost a
  // walk over the whole list for each of them.
  try {
    const std::unordered_set<const TModulsItem*> gone(gathered.begin(), gathered.end());
    FItems.erase(std::remove_if(FItems.begin(), FItems.end(),
                                [&gone](const auto& p) { return gone.count(p.get()) > 0; }),
                 FItems.end());
  } catch (...) {
  }
  if (isInterface && ifc) {
    // No item refers to the interface any more: stop its bus thread and release it.
    auto it = std::find_if(FInterfaces.begin(), FInterfaces.end(),
                           [ifc](const auto& p) { return p.get() == ifc; });
    if (it != FInterfaces.end()) FInterfaces.erase(it);
  }
}

void TModulsList::RemoveAll() {
  while (IFCCount() > 0) {
    TModulsItem* last = IFCItem(IFCCount() - 1);
    if (!last) break;
    RemoveItem(last);
  }
  FItems.clear();
  FInterfaces.clear();
}

int TModulsList::IFCCount() const {
  return static_cast<int>(std::count_if(FItems.begin(), FItems.end(), [](const auto& item) {
    return item->ItemKind == ikInterface;
  }));
}

TModulsItem* TModulsList::IFCItem(int index) const {
  if (index < 0) return nullptr;
  int n = 0;
  for (const auto& item : FItems) {
    if (item->ItemKind != ikInterface) continue;
    if (n++ == index) return item.get();
  }
  return nullptr;
}

TRS485IFC* TModulsList::IFCByIndex(int index) const {
  TModulsItem* item = IFCItem(index);
  return item ? item->IFC : nullptr;
}

TModulsItem* TModulsList::ItemOfIFC(const TRS485IFC* ifc) const {
  for (const auto& item : FItems)
    if (item->IFC == ifc) return item.get();
  return nullptr;
}

TModulsItem* TModulsList::ItemOfModul(const TBaseModul* modul) const {
  for (const auto& item : FItems)
    if (item->Modul == modul) return item.get();
  return nullptr;
}

TRS485IFC* TModulsList::IFCByNumber(int32_t number) const {
  for (const auto& item : FItems)
    if (item->ItemKind == ikInterface && item->IFC && item->IFC->IfcNumber() == number)
      return item->IFC;
  return nullptr;
}

void TModulsList::RenumberIFCs() {
  int number = 0;
  for (const auto& item : FItems)
    if (item->ItemKind == ikInterface && item->IFC) item->IFC->SetIfcNumber(number++);
}
