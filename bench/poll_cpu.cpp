// poll_cpu: what polling costs. Two interfaces on simulated buses with the line time emulated,
// five cards each: first polling at full rate, without and with exchange records (as the main
// window keeps them: statistics and the traffic monitor's ring), in turns so that both see the
// same machine; then connected with nothing to send. Prints CPU seconds per minute of each phase
// and the exchanges per second.
// Usage: poll_cpu [seconds per phase] [off|on]. With "off" or "on" only polling without or with
// records runs, for a whole phase: under callgrind its instructions per answer compare the two.

#include <QCoreApplication>
#include <cstdio>
#include <string>

#include "bench/bench_common.h"
#include "bus/bus_interface.h"
#include "model/moduls_list.h"
#include "model/traffic_log.h"
#include "modules/base_modul.h"
#include "sim/sim_bus.h"
#include "sim/sim_serial_line.h"
#include "support/main_thread.h"

namespace {

struct TPhase {
  double CpuPerMinute;
  double ExchangesPerSecond;
};

TPhase Measure(TModulsList& model, double seconds, TBusTraffic* traffic = nullptr) {
  std::vector<int> polls(static_cast<std::size_t>(model.IFCCount()), 0);
  for (int i = 0; i < model.IFCCount(); ++i) {
    TRS485IFC* ifc = model.IFCByIndex(i);
    ifc->BusMaster().SetOnReceived(
        [&polls, i](const std::string&) { ++polls[static_cast<std::size_t>(i)]; });
    if (traffic)
      ifc->BusMaster().SetOnExchanges([traffic](const TExchangeBatch& b) { traffic->Add(b); });
  }
  const double cpuStart = ProcessCpuSeconds();
  MainThread().WaitUntil([] { return false; },
                         std::chrono::milliseconds(static_cast<int64_t>(seconds * 1000)));
  const double cpu = ProcessCpuSeconds() - cpuStart;
  for (int i = 0; i < model.IFCCount(); ++i) {
    model.IFCByIndex(i)->BusMaster().SetOnReceived({});
    model.IFCByIndex(i)->BusMaster().SetOnExchanges({});
  }
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
  const std::string only = argc > 2 ? argv[2] : "";

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
  TBusTraffic traffic(
      [&model](int32_t ifc, int address) { return ModuleClassAt(model, ifc, address); });
  if (only == "off" || only == "on") {
    const TPhase phase = Measure(model, seconds, only == "on" ? &traffic : nullptr);
    std::printf("  polling at full rate, %s: %.3f CPU s per minute, %.1f answers per second\n",
                only == "on" ? "recording" : "not recording", phase.CpuPerMinute,
                phase.ExchangesPerSecond);
    model.RemoveAll();
    return 0;
  }
  // Without and with records, six times each in turns, a sixth of a phase at a time: the load of
  // the machine changes, and each variant sees as much of it as the other.
  constexpr int kRounds = 6;
  TPhase off{0, 0}, on{0, 0};
  for (int round = 0; round < kRounds; ++round) {
    for (TBusTraffic* recording : {static_cast<TBusTraffic*>(nullptr), &traffic}) {
      const TPhase part = Measure(model, seconds / kRounds, recording);
      TPhase& sum = recording ? on : off;
      sum.CpuPerMinute += part.CpuPerMinute / kRounds;
      sum.ExchangesPerSecond += part.ExchangesPerSecond / kRounds;
    }
  }
  std::printf("  polling at full rate:        %.3f CPU s per minute, %.1f answers per second\n",
              off.CpuPerMinute, off.ExchangesPerSecond);
  std::printf(
      "  the same, recording:         %.3f CPU s per minute, %.1f answers per second, %llu "
      "records kept\n",
      on.CpuPerMinute, on.ExchangesPerSecond,
      static_cast<unsigned long long>(traffic.Statistics().Taken()));
  std::printf(
      "  recording adds %+.1f %% CPU (per answer: %+.1f %%)\n",
      (on.CpuPerMinute / off.CpuPerMinute - 1) * 100,
      (on.CpuPerMinute / on.ExchangesPerSecond / (off.CpuPerMinute / off.ExchangesPerSecond) - 1) *
          100);

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
