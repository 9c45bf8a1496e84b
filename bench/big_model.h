#pragma once
// The largest model the tool takes, for the benchmarks: 16 interfaces with 255 modules each, the
// five module types in turn, every module with a caption and a note.

#include <functional>
#include <string>

#include "bus/bus_interface.h"
#include "model/model_project.h"
#include "model/moduls_list.h"
#include "modules/base_modul.h"

inline constexpr int kBigInterfaces = 16;
inline constexpr int kBigModulesPerInterface = 255;

// The class of the module at `address` in the big model.
inline const char* BigModelClass(int address) {
  static const char* const kClasses[] = {"TMXB01", "TMXB02", "THDX01", "TIFCPorts", "TRS485Dummy"};
  return kClasses[address % 5];
}

// Fills the list with the big model. `configure` sets up each interface (port, baud, ...).
inline void BuildBigModel(TModulsList& model,
                          const std::function<void(TRS485IFC&, int)>& configure = {}) {
  for (int i = 0; i < kBigInterfaces; ++i) {
    TRS485IFC* ifc = model.AddIFC("TSer485BusIFC")->IFC;
    ifc->SetPort("COM" + std::to_string(i + 1));
    if (configure) configure(*ifc, i);
    for (int a = 0; a < kBigModulesPerInterface; ++a) {
      TModulsItem* item = model.AddModul(BigModelClass(a), ifc, a);
      item->Modul->Bezeichnung = "Weiche " + std::to_string(i * kBigModulesPerInterface + a);
      item->Modul->Hinweis = "Bahnhof Süd, Gleis " + std::to_string(a % 12);
    }
  }
}

// Writes the big model as the window saves a model: header sections, then the model.
inline void WriteBigModel(const std::string& folder, const std::string& name,
                          const std::function<void(TRS485IFC&, int)>& configure = {}) {
  TModulsList model;
  BuildBigModel(model, configure);
  TModelHeader header;
  header.Caption = name;
  header.Description = "Clubanlage";
  SaveModelFile(model, folder + "/" + name + ".INI", header, "WriteBigModel: ");
  model.RemoveAll();
}
