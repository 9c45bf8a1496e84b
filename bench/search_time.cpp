// search_time: how long the full and the quick module search take over all 256 addresses. The
// simulated bus has the line time of every character emulated, its cards answer 1 ms after the
// query and the throttle card at $20 only after 150 ms; the interface has the default answer
// time-out of 200 ms. Prints, per baud rate, the time of each search, their ratio and whether
// both found the same cards.

#include <QCoreApplication>
#include <cstdio>

#include "bench/bench_common.h"
#include "bus/bus_interface.h"
#include "model/module_search.h"
#include "model/moduls_list.h"
#include "modules/base_modul.h"
#include "sim/sim_bus.h"
#include "sim/sim_serial_line.h"
#include "support/main_thread.h"
#include "support/message_sink.h"

namespace {

struct TOutcome {
  double Seconds = 0;
  std::string Cards;
  bool Done = false;
};

TOutcome Search(uint32_t baud, bool quick) {
  TSimBus bus;
  bus.AddDefaultCards();
  bus.SetEmulateLineTime(true);
  bus.SetAnswerDelayUs(1000);
  TSimFaults late;
  late.Slow = true;
  late.SlowAnswerDelayUs = 150'000;
  bus.SetFaults(0x20, late);

  TModulsList list;
  TRS485IFC* ifc = list.AddIFC("TRS485IFC")->IFC;
  ifc->BusMaster().ComPort().SetLineCreator([&bus] { return MakeSimSerialLine(bus); });
  ifc->SetBaud(baud);
  ifc->SetTimeout(200);
  ifc->SetActive(true);
  TOutcome outcome;
  if (!ifc->Active()) return outcome;
  std::shared_ptr<TModulSearch> search = TModulSearch::Create(list, *ifc);
  const double start = WallSeconds();
  const TModulSearch::TResult result = quick ? search->RunQuick() : search->Run();
  outcome.Seconds = WallSeconds() - start;
  outcome.Done = result == TModulSearch::srDone;
  for (TModulsItem* item : search->Added)
    outcome.Cards += item->Modul->AdresseText() + " ";
  ifc->SetActive(false);
  MainThread().PumpPending();
  list.RemoveAll();
  return outcome;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  // The searches wait with Qt's event loop, as in the window.
  InstallQtMainThreadWaker();
  // The searches' own log lines (a time-out per empty address) are not the figures.
  TMessageHandlerScope quiet([](const std::string&, uint8_t) {});
  std::vector<uint32_t> rates;
  for (int i = 1; i < argc; ++i)
    rates.push_back(static_cast<uint32_t>(std::atoi(argv[i])));
  if (rates.empty()) rates = {9600, 19200};
  std::printf(
      "search_time: 256 addresses, simulated bus with line time emulated, cards answer after "
      "1 ms, the card at $20 after 150 ms, time-out 200 ms\n");
  std::printf("%7s %10s %10s %7s  %s\n", "baud", "full s", "quick s", "ratio", "cards found");
  int status = 0;
  for (const uint32_t baud : rates) {
    const TOutcome full = Search(baud, false);
    const TOutcome quick = Search(baud, true);
    const bool same = full.Done && quick.Done && full.Cards == quick.Cards;
    std::printf("%7u %10.2f %10.2f %7.3f  %s%s\n", baud, full.Seconds, quick.Seconds,
                full.Seconds > 0 ? quick.Seconds / full.Seconds : 0.0, quick.Cards.c_str(),
                same ? "(the same in both)" : "DIFFERENT");
    std::fflush(stdout);
    if (!same) status = 1;
  }
  return status;
}
