// monitor_window: the traffic monitor open while two buses poll at full rate. The main window
// with two interfaces, each on a simulated bus of its own with the five default cards (19200
// baud, line time emulated, poll priority 1), both connected through the window; the bus monitor
// is open and follows the newest rows. Measured over the run: exchanges recorded per second,
// repaints per second of the monitor's table and of the tree, the main thread's busy share (its
// CPU time over the wall time), the most rows that waited for a refresh, and at the end whether
// the table shows every exchange recorded. The monitor starts with its ring full (100 000
// earlier exchanges), so every figure is taken at the memory bound; a filter change over the full
// ring is timed too.
// Usage: monitor_window [seconds], default 30. Runs offscreen unless QT_QPA_PLATFORM is set.

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QLineEdit>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>
#include <vector>

#include "bench/bench_common.h"
#include "bus/bus_interface.h"
#include "bus/serial_factory.h"
#include "model/moduls_list.h"
#include "model/traffic_log.h"
#include "modules/base_modul.h"
#include "sim/sim_bus.h"
#include "sim/sim_serial_line.h"
#include "support/main_thread.h"
#include "ui/bus_monitor_model.h"
#include "ui/frm_bus_monitor.h"
#include "ui/main_window.h"

namespace {

// Counts the paint events a widget gets.
class TPaintCounter : public QObject {
 public:
  explicit TPaintCounter(QWidget* widget) { widget->installEventFilter(this); }
  int Count = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++Count;
    return false;
  }
};

// CPU seconds of the calling thread.
double ThreadCpuSeconds() {
#ifdef CLOCK_THREAD_CPUTIME_ID
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
#else
  return ProcessCpuSeconds();
#endif
}

const struct {
  const char* Class;
  int Address;
} kCards[] = {{"TMXB01", 0x1E},
              {"TMXB02", 0x32},
              {"THDX01", 0x20},
              {"TIFCPorts", 0x7F},
              {"TRS485Dummy", 0x40}};

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  InstallQtMainThreadWaker();
  const double seconds = argc > 1 ? std::max(2.0, std::atof(argv[1])) : 30.0;

  TSimBus buses[2];
  for (int i = 0; i < 2; ++i) {
    buses[i].AddDefaultCards();
    buses[i].SetEmulateLineTime(true);
    TSimBus* bus = &buses[i];
    RegisterSerialLine("BENCH0" + std::to_string(i + 1), "Simulierter Bus",
                       [bus] { return MakeSimSerialLine(*bus); });
  }

  QTemporaryDir dir;
  bool ok = true;
  {
    TfrmVelmoraConfig w(dir.path().toStdString() + "/Modell1");
    w.resize(1100, 600);
    w.show();
    w.FormActivate();
    w.NewIFC();
    TModulsList& list = w.ModulsList();
    for (int i = 0; i < list.IFCCount(); ++i) {
      TRS485IFC* ifc = list.IFCByIndex(i);
      for (const auto& card : kCards)
        list.AddModul(card.Class, ifc, card.Address)->Modul->SetPolling(true);
    }
    w.RebuildTree();
    // Connected as the user does it: select the interface, set it, tick "Connect".
    for (int i = 0; i < list.IFCCount(); ++i) {
      w.SelectItem(list.IFCItem(i));
      w.cboBaud->setCurrentIndex(w.cboBaud->findText("19200"));
      w.cboPollPrior->setCurrentIndex(w.cboPollPrior->findText("1"));
      w.cboPort->setCurrentIndex(w.cboPort->findText(QString("BENCH0%1").arg(i + 1)));
      w.ConnectIFC(true);
      TRS485IFC* ifc = list.IFCByIndex(i);
      ok = ok && ifc->Active();
      for (int j = 0; j < ifc->Count(); ++j)
        dynamic_cast<TBaseModul*>(ifc->Item(j))->SetAktiv(true);
    }
    w.mnuBusmonitor1Click();
    TfrmBusMonitor* monitor = w.BusMonitor();
    monitor->resize(1000, 640);
    // A full ring: 100 000 earlier exchanges, every tenth one a time-out.
    TExchangeBatch earlier(TTrafficRing::kDefaultCapacity);
    for (std::size_t i = 0; i < earlier.size(); ++i) {
      TExchangeRecord& r = earlier[i];
      const bool fault = i % 10 == 0;
      r.Command = fault ? "?41200000" : "?1E200000";
      r.Answer = fault ? "" : "#1E200000\r\n";
      r.Outcome = fault ? TExchangeOutcome::TimedOut : TExchangeOutcome::Answered;
      r.Poll = true;
      r.WrittenMs = WallClockMs() - 600'000 + static_cast<int64_t>(i);
      r.AnswerUs = fault ? 211'000 : 11'600;
      r.Baud = 19200;
    }
    w.Traffic().Add(earlier);
    monitor->Refresh();
    const double filterStart = WallSeconds();
    monitor->chbNurFehler->setChecked(true);
    const double filterOn = WallSeconds() - filterStart;
    const int faultRows = monitor->Model()->rowCount();
    const double filterOffStart = WallSeconds();
    monitor->chbNurFehler->setChecked(false);
    const double filterOff = WallSeconds() - filterOffStart;
    const double textStart = WallSeconds();
    monitor->edSuche->setText("#1e2");
    const double textOn = WallSeconds() - textStart;
    monitor->edSuche->clear();

    TPaintCounter tablePaints(monitor->tblVerkehr->viewport());
    TPaintCounter treePaints(w.VSTModuls->viewport());

    // How far the table lags behind the recording, sampled between its refreshes.
    uint64_t mostWaiting = 0;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout,
                     [&] { mostWaiting = std::max(mostWaiting, monitor->Model()->Waiting()); });
    sampler.start(20);

    const uint64_t takenBefore = w.Traffic().Statistics().Taken();
    const double wallStart = WallSeconds();
    const double mainStart = ThreadCpuSeconds();
    const double processStart = ProcessCpuSeconds();
    QTimer::singleShot(static_cast<int>(seconds * 1000), &app, &QCoreApplication::quit);
    app.exec();
    const double wall = WallSeconds() - wallStart;
    const double mainCpu = ThreadCpuSeconds() - mainStart;
    const double processCpu = ProcessCpuSeconds() - processStart;
    const uint64_t taken = w.Traffic().Statistics().Taken() - takenBefore;
    sampler.stop();

    // The buses stop; what they recorded last comes in with the next refresh.
    for (int i = 0; i < list.IFCCount(); ++i)
      list.IFCByIndex(i)->SetActive(false);
    MainThread().PumpPending();
    monitor->Refresh();
    const auto shown = static_cast<uint64_t>(monitor->Model()->rowCount());
    const uint64_t recorded = w.Traffic().Ring().Size();
    const uint64_t total = w.Traffic().Statistics().Taken();
    ok = ok && shown == recorded && recorded == std::min<uint64_t>(total, 100'000);

    std::printf(
        "monitor_window: main window and bus monitor (%s), 2 interfaces x 5 simulated cards, "
        "19200 baud, line time emulated, poll priority 1, %.0f s\n",
        QApplication::platformName().toStdString().c_str(), wall);
    std::printf("  exchanges recorded: %.1f per second (%llu in all)\n",
                static_cast<double>(taken) / wall, static_cast<unsigned long long>(total));
    std::printf("  repaints: monitor table %.1f per second, tree %.1f per second\n",
                tablePaints.Count / wall, treePaints.Count / wall);
    std::printf("  main thread busy %.1f %% of the time; process CPU %.3f s per second\n",
                mainCpu / wall * 100.0, processCpu / wall);
    std::printf("  rows waiting for a refresh: at most %llu (table refreshed every %d ms)\n",
                static_cast<unsigned long long>(mostWaiting), TfrmBusMonitor::kRefreshMs);
    std::printf(
        "  filter changes over the full ring: \"nur Fehler\" on %.1f ms (%d rows), off %.1f ms, "
        "search text %.1f ms\n",
        filterOn * 1000, faultRows, filterOff * 1000, textOn * 1000);
    std::printf("  rows shown %llu = exchanges recorded %llu: %s\n",
                static_cast<unsigned long long>(shown), static_cast<unsigned long long>(recorded),
                shown == recorded ? "yes" : "NO");
  }
  for (int i = 0; i < 2; ++i)
    UnregisterSerialLine("BENCH0" + std::to_string(i + 1));
  RemoveQtMainThreadWaker();
  return ok ? 0 : 1;
}
