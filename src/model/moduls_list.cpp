#include "model/moduls_list.h"

#include <algorithm>
#include <unordered_set>

#include "bus/bus_interface.h"
#include "model/ini_file.h"
#include "modules/module_factory.h"
#include "support/conversions.h"
#include "support/message_sink.h"
#include "support/paths.h"
#include "support/texts.h"

TModulsList::TModulsList(TClock* clock) : FClock(clock) {
  // An empty model with the default header matches the file a new model starts from.
  MarkUnmodified(FSavedHeader);
}

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
  FIFCItems.push_back(added);
  added->IFC->SetIfcNumber(IFCCount() - 1);
  return added;
}

TModulsItem* TModulsList::AddModul(const std::string& className, TRS485IFC* ifc, int64_t address) {
  if (!IsModulClassName(className)) return nullptr;
  if (address < 0 || address > 255)
    throw ERangeError(
        TrText("TModulsList", "Moduladresse %1 liegt nicht in 0..255").Arg(address).Shown());
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
  FModulItems[created] = FItems.back().get();
  return FItems.back().get();
}

void TModulsList::RemoveGathered(const std::vector<TModulsItem*>& gathered) {
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
      if (each->Modul) FModulItems.erase(each->Modul);
      if (each->IFC && each->Modul) each->IFC->RemoveModule(each->Modul);
    } catch (...) {
    }
  }
  try {
    const std::unordered_set<const TModulsItem*> going(gathered.begin(), gathered.end());
    const auto gone = [&going](const auto& p) { return going.count(p.get()) > 0; };
    FItems.erase(std::remove_if(FItems.begin(), FItems.end(), gone), FItems.end());
    FIFCItems.erase(std::remove_if(FIFCItems.begin(), FIFCItems.end(),
                                   [&going](TModulsItem* p) { return going.count(p) > 0; }),
                    FIFCItems.end());
  } catch (...) {
  }
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
  RemoveGathered(gathered);
  if (isInterface && ifc) {
    // No item refers to the interface any more: stop its bus thread and release it.
    auto it = std::find_if(FInterfaces.begin(), FInterfaces.end(),
                           [ifc](const auto& p) { return p.get() == ifc; });
    if (it != FInterfaces.end()) FInterfaces.erase(it);
  }
}

void TModulsList::RemoveAll() {
  // As removing the interfaces one by one from the last would, but in one pass: a model of
  // thousands of interfaces must not cost a walk over the list per interface.
  std::unordered_map<const TRS485IFC*, std::vector<TModulsItem*>> itemsOf;
  for (const auto& each : FItems)
    if (each->IFC) itemsOf[each->IFC].push_back(each.get());
  for (auto it = FIFCItems.rbegin(); it != FIFCItems.rend(); ++it) {
    TRS485IFC* ifc = (*it)->IFC;
    if (!ifc) continue;
    try {
      ifc->SetActive(false);
    } catch (...) {
    }
    const auto found = itemsOf.find(ifc);
    if (found == itemsOf.end()) continue;
    std::vector<TModulsItem*> gathered;
    gathered.swap(found->second);
    for (TModulsItem* each : gathered) {
      try {
        if (each->Form) each->Form->CloseForm();
      } catch (...) {
      }
      try {
        if (each->Form && each->Modul) each->Form->DetachModul();
      } catch (...) {
      }
      try {
        if (each->Modul) ifc->RemoveModule(each->Modul);
      } catch (...) {
      }
    }
  }
  FItems.clear();
  FIFCItems.clear();
  FModulItems.clear();
  FInterfaces.clear();
}

TModulsItem* TModulsList::IFCItem(int index) const {
  if (index < 0 || index >= IFCCount()) return nullptr;
  return FIFCItems[static_cast<std::size_t>(index)];
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
  const auto found = FModulItems.find(modul);
  return found == FModulItems.end() ? nullptr : found->second;
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
