#pragma once
// Creates a module from the class name that the model file, the module search and the developer
// dialog use. The names are compared in upper case, in this order: THDX01; TMXB01; TMXB2 or
// TMXB02; TIFC485PX8 or TIFCPORTS; any other name of two or more characters starting with "T" is
// a module of unknown type; anything else creates nothing.

#include <cstdint>
#include <memory>
#include <string>

#include "modules/base_modul.h"

class TSer485BusMaster;

std::unique_ptr<TBaseModul> CreateModulByClassName(const std::string& className,
                                                   TSer485BusMaster* busMaster, uint8_t address);
// Whether CreateModulByClassName would create a module for the name.
bool IsModulClassName(const std::string& className);
// The class name of the module CreateModulByClassName makes for the name ("tmxb2" gives
// "TMXB02", a type this program does not know "TRS485Dummy"), or empty.
std::string ModulClassName(const std::string& className);
