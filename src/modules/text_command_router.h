#pragma once
// Takes a text command line, finds the interface (by its number, parameter Ifc) and the module
// (by its address, parameter Ma) and hands the line to that module. A "FreeCmd" line carries a
// bus line in place of the address; its module is the one that line is addressed to.

#include <cstdint>
#include <functional>
#include <string>

class TRS485IFC;
class TBaseModul;

class TTextCommandRouter {
 public:
  // Finds an interface by its number, or none.
  using TIfcLookup = std::function<TRS485IFC*(int32_t ifcNumber)>;

  explicit TTextCommandRouter(TIfcLookup lookup) : FLookup(std::move(lookup)) {}

  // The module the line is meant for, or none (and the reason in `error`).
  TBaseModul* FindTarget(const std::string& line, std::string& error) const;
  // Runs the line and returns the module's result. A line that finds no module is reported as
  // one line through the message sink and gives an empty result; `found` tells which happened.
  std::string Execute(const std::string& line, bool* found = nullptr) const;

 private:
  TIfcLookup FLookup;
};
