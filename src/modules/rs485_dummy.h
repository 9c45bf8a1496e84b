#pragma once
// TRS485Dummy: a module of a type this program does not know. It keeps its place in the model
// with address, caption and note, can be made live and takes the raw "FreeCmd" text command;
// everything else is the base behaviour. Loaded from a model file, it keeps the class name the
// file gave it, so that saving the model does not lose the card's real type.

#include "modules/base_modul.h"

class TRS485Dummy : public TBaseModul {
 public:
  TRS485Dummy(TSer485BusMaster* busMaster, uint8_t adresse);

  const char* ClassName() const override { return "TRS485Dummy"; }
  // The class name its model file gave it, when it came from one, else "TRS485Dummy".
  std::string ModelClassName() const override {
    return StoredClassName.empty() ? std::string(ClassName()) : StoredClassName;
  }

  // The class name read from the model file, unchanged; empty for a card the search found.
  std::string StoredClassName;
};
