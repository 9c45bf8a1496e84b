#include "bus/bus_interface.h"

TRS485IFC::TRS485IFC(TClock* clock) : FBusMaster(std::make_unique<TSer485BusMaster>(this, clock)) {
  Bezeichnung =
      std::string("Virtuelles Interface, Class Busmaster= ") + TSer485BusMaster::ClassName;
}

TRS485IFC::~TRS485IFC() {
  // The bus thread stops first, since it reads the modules' poll commands; the modules go next,
  // while the bus master they unhook their commands from still exists; the bus master goes last.
  FBusMaster->Terminate();
  FModules.clear();
  FBusMaster.reset();
}

TBusModule* TRS485IFC::Item(int index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return FModules[static_cast<std::size_t>(index)].get();
}
