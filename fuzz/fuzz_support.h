#pragma once
// What every fuzz target needs: a quiet message sink and one module of every type.

#include <QCoreApplication>
#include <memory>
#include <vector>

#include "bus/bus_master.h"
#include "modules/hdx01.h"
#include "modules/ifc_ports.h"
#include "modules/mxb01.h"
#include "modules/mxb02.h"
#include "modules/rs485_dummy.h"
#include "support/main_thread.h"
#include "support/message_sink.h"

struct TFuzzWorld {
  TFuzzWorld() {
    MainThread().BindToCurrentThread();
    SetMessageHandler([](const std::string&, uint8_t) {});
    SetNoticeHandler([](const std::string&) {});
    // A bus master that is never connected: whatever the modules send is refused.
    Modules.push_back(std::make_unique<TRS485Dummy>(&Master, 0x40));
    Modules.push_back(std::make_unique<TIFCPorts>(&Master, 0x7F));
    Modules.push_back(std::make_unique<TMXB01>(&Master, 0x1E));
    Modules.push_back(std::make_unique<TMXB02>(&Master, 0x32));
    Modules.push_back(std::make_unique<THDX01>(&Master, 0x20));
    for (auto& m : Modules)
      m->SetAktiv(true);
  }
  TSer485BusMaster Master{nullptr};
  std::vector<std::unique_ptr<TBaseModul>> Modules;
};

inline TFuzzWorld& World() {
  static TFuzzWorld world;
  return world;
}
