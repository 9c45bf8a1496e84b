// window_ops: what the main window's commands cost with the largest model, 16 interfaces x 255
// modules (offscreen). Each figure runs from the command to the end of the event-loop pass that
// draws its result: "Datei / Öffnen" of the model (into the first-start model and over itself),
// "Neues Interface", removing an interface of 255 modules (with five of its windows open),
// RebuildTree, a later activation of the main window, and opening a card window for the first
// time and again.
// Usage: window_ops [rounds], default 5.

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <cstdio>
#include <functional>
#include <vector>

#include "bench/bench_common.h"
#include "bench/big_model.h"
#include "bus/bus_interface.h"
#include "model/moduls_list.h"
#include "support/main_thread.h"
#include "ui/main_window.h"

namespace {

class TPaintProbe : public QObject {
 public:
  explicit TPaintProbe(QWidget* widget) { widget->installEventFilter(this); }
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) Painted = true;
    return false;
  }
  bool Painted = false;
};

// Milliseconds from the command to the tree drawn again.
double TimeDrawn(TfrmVelmoraConfig& w, TPaintProbe& probe, const std::function<void()>& command) {
  QElapsedTimer timer;
  timer.start();
  probe.Painted = false;
  command();
  w.VSTModuls->viewport()->update();
  while (!probe.Painted && timer.elapsed() < 10000)
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
  return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

int ModuleCount(TfrmVelmoraConfig& w) {
  int modules = 0;
  for (int i = 0; i < w.ModulsList().IFCCount(); ++i)
    modules += w.ModulsList().IFCByIndex(i)->Count();
  return modules;
}

void Print(const char* what, const std::vector<double>& ms) {
  std::printf("  %-52s median %7.1f ms, worst %7.1f ms\n", what, Percentile(ms, 50),
              Percentile(ms, 100));
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  InstallQtMainThreadWaker();
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  QTemporaryDir dir;
  const std::string bigFolder = dir.path().toStdString() + "/Gross";
  WriteBigModel(bigFolder, "Gross");
  const std::string bigFile = bigFolder + "/Gross.INI";
  const int bigModules = kBigInterfaces * kBigModulesPerInterface;
  bool ok = true;

  std::vector<double> openFirst, openAgain, newIfc, removeIfc, rebuild, refresh, formFirst,
      formAgain;
  for (int r = 0; r < rounds; ++r) {
    TfrmVelmoraConfig w(dir.path().toStdString() + "/Modell1");
    TPaintProbe probe(w.VSTModuls->viewport());
    w.show();
    while (!w.FirstActivated())
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    QCoreApplication::processEvents();

    openFirst.push_back(TimeDrawn(w, probe, [&] { w.LoadModell(bigFile); }));
    ok = ok && ModuleCount(w) == bigModules;
    openAgain.push_back(TimeDrawn(w, probe, [&] { w.LoadModell(bigFile); }));
    ok = ok && ModuleCount(w) == bigModules;

    rebuild.push_back(TimeDrawn(w, probe, [&] { w.RebuildTree(); }));
    // Every activation of the main window after the first refreshes the rows.
    refresh.push_back(TimeDrawn(w, probe, [&] { w.FormActivate(); }));

    newIfc.push_back(TimeDrawn(w, probe, [&] { w.tbtnIFCNeuClick(); }));
    ok = ok && w.ModulsList().IFCCount() == kBigInterfaces + 1;
    w.tbtnModulDELClick();  // the new, empty interface again

    // A card window of interface 3, opened for the first time and then again.
    TModulsItem* card = w.ModulsList().ItemOfModul(
        dynamic_cast<TBaseModul*>(w.ModulsList().IFCByIndex(3)->Item(1)));
    QElapsedTimer timer;
    timer.start();
    w.ShowModulForm(card);
    QCoreApplication::processEvents();
    formFirst.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    if (auto* form = dynamic_cast<QWidget*>(card->Form)) form->hide();
    timer.restart();
    w.ShowModulForm(card);
    QCoreApplication::processEvents();
    formAgain.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    for (int m = 2; m < 6; ++m)
      w.ShowModulForm(w.ModulsList().ItemOfModul(
          dynamic_cast<TBaseModul*>(w.ModulsList().IFCByIndex(3)->Item(m))));
    QCoreApplication::processEvents();

    w.SelectItem(w.ModulsList().IFCItem(3));
    removeIfc.push_back(TimeDrawn(w, probe, [&] { w.tbtnModulDELClick(); }));
    ok = ok && w.ModulsList().IFCCount() == kBigInterfaces - 1 &&
         ModuleCount(w) == bigModules - kBigModulesPerInterface;
  }
  RemoveQtMainThreadWaker();

  std::printf(
      "window_ops: main window (offscreen), model of %d interfaces x %d modules, %d rounds, "
      "each until the tree is drawn again\n",
      kBigInterfaces, kBigModulesPerInterface, rounds);
  Print("\"Datei / Öffnen\" into the first-start model", openFirst);
  Print("\"Datei / Öffnen\" over the same model", openAgain);
  Print("RebuildTree", rebuild);
  Print("activating the main window again (rows refreshed)", refresh);
  Print("\"Neues Interface\"", newIfc);
  Print("removing an interface of 255 modules, 5 windows open", removeIfc);
  Print("type-2 card window, first opening (created)", formFirst);
  Print("the same window, opened again", formAgain);
  std::printf("  peak resident memory %.1f MiB\n", PeakResidentMiB());
  return ok ? 0 : 1;
}
