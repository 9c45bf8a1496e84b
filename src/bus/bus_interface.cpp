#include "bus/bus_interface.h"

TRS485IFC::TRS485IFC(TClock* clock) : FBusMaster(std::make_unique<TSer485BusMaster>(this, clock)) {
  Bezeichnung =
      std::string("Virtuelles Interface, Class Busmaster= ") + TSer485BusMaster::ClassName;
}

TRS485IFC::~TRS485IFC() {
  // Stop the bus thread first; then the modules can go.
  FBusMaster.reset();
  FModules.clear();
}

TBusModule* TRS485IFC::Item(int index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return FModules[static_cast<std::size_t>(index)].get();
}
