#include "modules/module_factory.h"

#include "modules/hdx01.h"
#include "modules/ifc_ports.h"
#include "modules/mxb01.h"
#include "modules/mxb02.h"
#include "modules/rs485_dummy.h"
#include "support/conversions.h"

bool IsModulClassName(const std::string& className) {
  const std::string name = UpperCase(className);
  return name.size() >= 2 && name[0] == 'T';
}

std::string ModulClassName(const std::string& className) {
  const std::string name = UpperCase(className);
  if (name == "THDX01") return "THDX01";
  if (name == "TMXB01") return "TMXB01";
  if (name == "TMXB2" || name == "TMXB02") return "TMXB02";
  if (name == "TIFC485PX8" || name == "TIFCPORTS") return "TIFCPorts";
  if (IsModulClassName(name)) return "TRS485Dummy";
  return std::string();
}

std::unique_ptr<TBaseModul> CreateModulByClassName(const std::string& className,
                                                   TSer485BusMaster* busMaster, uint8_t address) {
  const std::string name = ModulClassName(className);
  if (name == "THDX01") return std::make_unique<THDX01>(busMaster, address);
  if (name == "TMXB01") return std::make_unique<TMXB01>(busMaster, address);
  if (name == "TMXB02") return std::make_unique<TMXB02>(busMaster, address);
  if (name == "TIFCPorts") return std::make_unique<TIFCPorts>(busMaster, address);
  if (name == "TRS485Dummy") return std::make_unique<TRS485Dummy>(busMaster, address);
  return nullptr;
}
