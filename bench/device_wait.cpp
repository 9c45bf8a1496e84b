// device_wait: what it costs while interfaces wait for their vanished ports to come back. Sixteen
// interfaces connect to simulated buses on pseudo-terminals, which then go away; each interface
// looks for its port once a second, against the system's real list of serial ports. Prints the
// CPU seconds per minute of that waiting, measured once the start is some seconds past.
// Usage: device_wait [seconds]

#include <QCoreApplication>
#include <cstdio>
#include <memory>
#include <vector>

#include "bench/bench_common.h"
#include "bus/bus_interface.h"
#include "bus/bus_master.h"
#include "model/moduls_list.h"
#include "modules/base_modul.h"
#include "sim/sim_bus.h"
#include "sim/sim_pty.h"
#include "support/main_thread.h"
#include "support/message_sink.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  MainThread().BindToCurrentThread();
  const double seconds = argc > 1 ? std::max(1.0, std::atof(argv[1])) : 20.0;
  constexpr int kInterfaces = 16;
  const double started = WallSeconds();
  // The log: one line per port gone, nothing while waiting.
  int logged = 0;
  TMessageHandlerScope log([&logged](const std::string&, uint8_t) { ++logged; });

  std::vector<std::unique_ptr<TSimBus>> buses;
  std::vector<std::unique_ptr<TSimPtyServer>> servers;
  TModulsList model;
  std::vector<TRS485IFC*> interfaces;
  for (int i = 0; i < kInterfaces; ++i) {
    buses.push_back(std::make_unique<TSimBus>());
    buses.back()->AddDefaultCards();
    servers.push_back(std::make_unique<TSimPtyServer>(*buses.back()));
    TRS485IFC* ifc = model.AddIFC("TRS485IFC")->IFC;
    interfaces.push_back(ifc);
    ifc->SetBaud(19200);
    ifc->SetPort(servers.back()->Start(19200));
    ifc->SetActive(true);
    if (!ifc->Active()) {
      std::printf("device_wait: could not connect to %s\n", ifc->Port().c_str());
      return 1;
    }
    // A card polled all the time, as at the layout: the port's going is noticed at once.
    model.AddModul("TMXB01", ifc, 0x1E)->Modul->SetAktiv(true);
  }
  servers.clear();
  auto allWaiting = [&] {
    for (const auto& ifc : interfaces)
      if (!ifc->BusMaster().WaitingForDevice()) return false;
    return true;
  };
  if (!MainThread().WaitUntil(allWaiting, std::chrono::seconds(5))) {
    std::printf("device_wait: the interfaces did not notice their ports going\n");
    return 1;
  }
  // A program that has just started knows no more about its devices than that they may still be
  // getting set up: the figure is for one that has run a while.
  const double settled = started + 6.0 - WallSeconds();
  if (settled > 0) RunEventLoop(settled);

  const double cpuStart = ProcessCpuSeconds();
  RunEventLoop(seconds);
  const double cpu = ProcessCpuSeconds() - cpuStart;
  const bool stillWaiting = allWaiting();
  std::printf(
      "device_wait: %d interfaces waiting for their ports, %.0f s: %.4f CPU s per minute, %d log "
      "lines in all%s\n",
      kInterfaces, seconds, cpu * 60.0 / seconds, logged,
      stillWaiting ? "" : " (some stopped waiting: figure not valid)");
  model.RemoveAll();
  return stillWaiting ? 0 : 1;
}
