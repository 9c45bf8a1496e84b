#pragma once
// TRS485Dummy: a module of a type this program does not know. It keeps its place in the model
// with address, caption and note, can be made live and takes the raw "FreeCmd" text command;
// everything else is the base behaviour.

#include "modules/base_modul.h"

class TRS485Dummy : public TBaseModul {
 public:
  TRS485Dummy(TSer485BusMaster* busMaster, uint8_t adresse);

  const char* ClassName() const override { return "TRS485Dummy"; }
};
