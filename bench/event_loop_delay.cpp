// event_loop_delay: how responsive the main window stays with the largest model connected.
// 16 interfaces x 255 modules, the default model of the window (offscreen); each interface on a
// simulated bus of its own whose cards answer every poll, all 16 connected through the window and
// polling at full rate (poll priority 1, 19200 baud). One type-1 card window is open while its card
// changes its outputs once a second.
//
// Measured per phase: the delay of the main thread's event loop (a helper thread posts an event
// every 5 ms; the delay is from posting to running it), answers per second, the process's CPU,
// and how the open card window follows its card (from the module's change to the repaint of the
// lamp row, and whether the last word set on the card is shown). Phase 1 emulates the line time
// of 19200 baud, as real buses are; phase 2 drops it, so each interface runs as fast as the
// answer delay of the simulated cards lets it (a stress case beyond any real bus).
// Usage: event_loop_delay [seconds per phase], default 20.
//
// The 16 simulated buses are registered here only, under the names "BENCH01" ... "BENCH16"; the
// program itself offers the one simulated bus "SIM".

#include <QApplication>
#include <QCheckBox>
#include <QEvent>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <atomic>
#include <cstdio>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "bench/bench_common.h"
#include "bench/big_model.h"
#include "bus/bus_interface.h"
#include "bus/bus_master.h"
#include "bus/serial_factory.h"
#include "model/moduls_list.h"
#include "modules/mxb01.h"
#include "sim/sim_bus.h"
#include "sim/sim_serial_line.h"
#include "sim/sim_simple_cards.h"
#include "sim/sim_switch_cards.h"
#include "sim/sim_throttle_card.h"
#include "support/main_thread.h"
#include "support/waits.h"
#include "ui/controls/lumi_kette.h"
#include "ui/main_window.h"
#include "ui/modules/frm_mxb01.h"

namespace {

constexpr int kFollowedAddress = 0x1E;  // a type-1 card on interface 0

std::string BusName(int i) {
  return (i < 9 ? "BENCH0" : "BENCH") + std::to_string(i + 1);
}

// Posts an event to the main thread every 5 ms and notes how long each waited.
class TDelayProbe {
 public:
  void Start() {
    FRunning = true;
    FThread = std::thread([this] {
      while (FRunning) {
        const double posted = WallSeconds();
        QMetaObject::invokeMethod(
            qApp,
            [this, posted] {
              std::lock_guard<std::mutex> lock(FMutex);
              FDelays.push_back((WallSeconds() - posted) * 1000);
            },
            Qt::QueuedConnection);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      }
    });
  }
  std::vector<double> Stop() {
    FRunning = false;
    FThread.join();
    QCoreApplication::processEvents();
    std::lock_guard<std::mutex> lock(FMutex);
    return std::move(FDelays);
  }

 private:
  std::atomic<bool> FRunning{false};
  std::thread FThread;
  std::mutex FMutex;
  std::vector<double> FDelays;
};

// Notes each repaint of a lamp row with the word it showed.
class TPaintProbe : public QObject {
 public:
  explicit TPaintProbe(TLumiKette* row) : FRow(row) { row->installEventFilter(this); }
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == FRow && event->type() == QEvent::Paint)
      Paints.emplace_back(WallSeconds(), FRow->LEDValue());
    return false;
  }
  std::vector<std::pair<double, int>> Paints;

 private:
  TLumiKette* FRow;
};

uint64_t AnswersSoFar(const std::vector<std::unique_ptr<TSimBus>>& buses) {
  uint64_t answers = 0;
  for (const auto& bus : buses)
    answers += bus->FaultCounts().Answered;
  return answers;
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  InstallQtMainThreadWaker();
  const double seconds = argc > 1 ? std::max(2.0, std::atof(argv[1])) : 20.0;

  std::vector<std::unique_ptr<TSimBus>> buses;
  for (int i = 0; i < kBigInterfaces; ++i) {
    auto bus = std::make_unique<TSimBus>();
    for (int a = 0; a < kBigModulesPerInterface; ++a) {
      const auto address = static_cast<uint8_t>(a);
      const std::string type = BigModelClass(a);
      if (type == "TMXB01")
        bus->Add<TSimMXB01>(address);
      else if (type == "TMXB02")
        bus->Add<TSimMXB02>(address);
      else if (type == "THDX01")
        bus->Add<TSimHDX01>(address);
      else if (type == "TIFCPorts")
        bus->Add<TSimPortExpansion>(address);
      else
        bus->Add<TSimUnknownCard>(address);
    }
    bus->SetEmulateLineTime(true);
    TSimBus* raw = bus.get();
    RegisterSerialLine(BusName(i), "Simulierter Bus " + std::to_string(i + 1),
                       [raw] { return MakeSimSerialLine(*raw); });
    buses.push_back(std::move(bus));
  }

  QTemporaryDir dir;
  const std::string folder = dir.path().toStdString() + "/Modell1";
  WriteBigModel(folder, "Modell1", [](TRS485IFC& ifc, int i) {
    ifc.SetPort(BusName(i));
    ifc.SetBaud(19200);
    ifc.SetPollPriority(1);
  });

  bool ok = true;
  {
    TfrmVelmoraConfig w(folder);
    w.show();
    while (!w.FirstActivated())
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    TModulsList& list = w.ModulsList();
    // Connected as the user does it: select the interface, tick "Connect".
    for (int i = 0; i < list.IFCCount(); ++i) {
      w.SelectItem(list.IFCItem(i));
      w.chbConnect->setChecked(true);
      w.chbConnectClick();
      ok = ok && list.IFCByIndex(i)->Active();
    }

    // The followed card's window, opened from the tree.
    TRS485IFC* ifc0 = list.IFCByIndex(0);
    TModulsItem* item =
        list.ItemOfModul(dynamic_cast<TBaseModul*>(ifc0->Item(ifc0->FindModule(kFollowedAddress))));
    w.SelectItem(item);
    w.VSTModulsDblClick();
    auto* form = dynamic_cast<TfrmMXB01*>(item->Form);
    auto* modul = dynamic_cast<TMXB01*>(item->Modul);
    if (!form || !modul) {
      std::printf("event_loop_delay: the card window did not open\n");
      return 1;
    }
    TPaintProbe paints(form->LumiKette1);
    // The module's change handler belongs to the window; note when each change arrives first.
    std::vector<std::pair<double, int>> changes;
    auto windowHandler = modul->OnDataChanged;
    modul->OnDataChanged = [&changes, windowHandler](TBaseModul* m) {
      changes.emplace_back(WallSeconds(), static_cast<TMXB01*>(m)->Ports);
      if (windowHandler) windowHandler(m);
    };
    auto& card = buses[0]->CardAs<TSimMXB01>(kFollowedAddress);
    uint16_t word = 0;
    QTimer changer;
    QObject::connect(&changer, &QTimer::timeout, [&] { card.SetOutputs(++word); });
    changer.start(1000);

    std::printf(
        "event_loop_delay: main window (offscreen), %d interfaces x %d modules connected to "
        "simulated buses, poll priority 1, 19200 baud, %.0f s per phase; one type-1 card window "
        "open, its card changing once a second\n",
        kBigInterfaces, kBigModulesPerInterface, seconds);
    for (int phase = 1; phase <= 2; ++phase) {
      for (const auto& bus : buses)
        bus->SetEmulateLineTime(phase == 1);
      RunEventLoop(1.0);  // settle into the new pace
      changes.clear();
      paints.Paints.clear();
      TDelayProbe probe;
      const uint64_t answersBefore = AnswersSoFar(buses);
      const double cpuBefore = ProcessCpuSeconds();
      const double start = WallSeconds();
      probe.Start();
      RunEventLoop(seconds);
      const std::vector<double> delays = probe.Stop();
      const double elapsed = WallSeconds() - start;
      const double cpu = ProcessCpuSeconds() - cpuBefore;
      const double answers = static_cast<double>(AnswersSoFar(buses) - answersBefore);

      // From each change of the module to the first repaint that shows its word.
      std::vector<double> follow;
      std::size_t p = 0;
      for (const auto& [at, value] : changes) {
        while (p < paints.Paints.size() && paints.Paints[p].first < at)
          ++p;
        for (std::size_t q = p; q < paints.Paints.size(); ++q)
          if (paints.Paints[q].second == value) {
            follow.push_back((paints.Paints[q].first - at) * 1000);
            break;
          }
      }
      std::printf("  phase %d, %s:\n", phase,
                  phase == 1 ? "line time of 19200 baud emulated (as on real buses)"
                             : "no line time (stress: as fast as the simulated cards answer)");
      const double perInterface = answers / elapsed / kBigInterfaces;
      std::printf(
          "    answers: %.0f per second on all interfaces; one poll round of %zu lines takes "
          "%.1f s; process CPU %.2f s per second\n",
          answers / elapsed, ifc0->BusMaster().PollCount(),
          static_cast<double>(ifc0->BusMaster().PollCount()) / perInterface, cpu / elapsed);
      std::printf("    event-loop delay: p50 %.2f ms, p99 %.2f ms, worst %.2f ms (%zu probes)\n",
                  Percentile(delays, 50), Percentile(delays, 99), Percentile(delays, 100),
                  delays.size());
      std::printf(
          "    card window: %zu of %zu changes of its module shown, change -> lamp row repaint "
          "p50 %.2f ms, p99 %.2f ms\n",
          follow.size(), changes.size(), Percentile(follow, 50), Percentile(follow, 99));
      ok = ok && !delays.empty() && !follow.empty();
    }
    changer.stop();
    modul->OnDataChanged = windowHandler;
    // The last word set on the card reaches the window within one poll round.
    const bool shown = WaitWithMessagesUntil(
        [&] { return form->LumiKette1->LEDValue() == card.Outputs(); }, 30000);
    std::printf("  after the phases the window shows the card's word %04X: %s\n",
                static_cast<unsigned>(card.Outputs()), shown ? "yes" : "NO");
    ok = ok && shown;
  }
  for (int i = 0; i < kBigInterfaces; ++i)
    UnregisterSerialLine(BusName(i));
  RemoveQtMainThreadWaker();
  return ok ? 0 : 1;
}
