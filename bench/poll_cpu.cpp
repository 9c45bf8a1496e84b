// poll_cpu: what polling costs. Two interfaces on simulated buses with the line time emulated,
// five cards each: first polling at full rate, then connected with nothing to send. Prints CPU
// seconds per minute of each phase and the exchanges per second.

#include <QCoreApplication>
#include <cstdio>

#include "bench/bench_common.h"
#include "bus/bus_interface.h"
#include "model/moduls_list.h"
#include "modules/base_modul.h"
#include "sim/sim_bus.h"
#include "sim/sim_serial_line.h"
#include "support/main_thread.h"

namespace {

struct TPhase {
  double CpuPerMinute;
  double ExchangesPerSecond;
};

TPhase Measure(TModulsList& model, double seconds) {
  std::vector<int> polls(static_cast<std::size_t>(model.IFCCount()), 0);
  for (int i = 0; i < model.IFCCount(); ++i) {
    TRS485IFC* ifc = model.IFCByIndex(i);
    ifc->BusMaster().SetOnReceived(
        [&polls, i](const std::string&) { ++polls[static_cast<std::size_t>(i)]; });
  }
  const double cpuStart = ProcessCpuSeconds();
  MainThread().WaitUntil([] { return false; },
                         std::chrono::milliseconds(static_cast<int64_t>(seconds * 1000)));
  const double cpu = ProcessCpuSeconds() - cpuStart;
  for (int i = 0; i < model.IFCCount(); ++i)
    model.IFCByIndex(i)->BusMaster().SetOnReceived({});
  int answers = 0;
  for (int n : polls)
    answers += n;
  return {cpu * 60.0 / seconds, answers / seconds};
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  MainThread().BindToCurrentThread();
  const double seconds = argc > 1 ? std::max(1.0, std::atof(argv[1])) : 30.0;

  TSimBus buses[2];
  TModulsList model;
  static const struct {
    const char* Class;
    uint8_t Address;
  } kCards[] = {{"TMXB01", 0x1E},
                {"TMXB02", 0x32},
                {"THDX01", 0x20},
                {"TIFCPorts", 0x7F},
                {"TRS485Dummy", 0x40}};
  for (TSimBus& bus : buses) {
    bus.AddDefaultCards();
    bus.SetEmulateLineTime(true);
    TRS485IFC* ifc = model.AddIFC("TRS485IFC")->IFC;
    ifc->BusMaster().ComPort().SetLineCreator([&bus] { return MakeSimSerialLine(bus); });
    ifc->SetBaud(19200);
    ifc->SetPollPriority(1);
    for (const auto& card : kCards) {
      TBaseModul* modul = model.AddModul(card.Class, ifc, card.Address)->Modul;
      modul->SetPolling(true);
    }
    ifc->SetActive(true);
    for (int j = 0; j < ifc->Count(); ++j)
      dynamic_cast<TBaseModul*>(ifc->Item(j))->SetAktiv(true);
  }

  std::printf(
      "poll_cpu: 2 interfaces at 19200 baud, 5 simulated cards each, line time emulated, "
      "%.0f s per phase\n",
      seconds);
  const TPhase polling = Measure(model, seconds);
  std::printf("  polling at full rate:        %.3f CPU s per minute, %.1f answers per second\n",
              polling.CpuPerMinute, polling.ExchangesPerSecond);

  for (int i = 0; i < model.IFCCount(); ++i) {
    TRS485IFC* ifc = model.IFCByIndex(i);
    for (int j = 0; j < ifc->Count(); ++j)
      dynamic_cast<TBaseModul*>(ifc->Item(j))->SetPolling(false);
    ifc->BusMaster().WaitQueueEmpty(std::chrono::seconds(5));
  }
  const TPhase idle = Measure(model, seconds);
  std::printf("  connected, nothing to send:  %.3f CPU s per minute, %.1f answers per second\n",
              idle.CpuPerMinute, idle.ExchangesPerSecond);
  model.RemoveAll();
  return 0;
}
