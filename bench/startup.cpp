// startup: time from the start of main() to the main window drawn with the default model loaded
// (offscreen), and the peak resident memory then. Two cases, each started as a process of its
// own so that neither inherits the other's memory: a first start (the default model does not
// exist yet and is created with one interface) and a default model of 16 interfaces x 255
// modules. Usage: startup [rounds], default 3 rounds of each case.

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QProcess>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "bench/bench_common.h"
#include "bench/big_model.h"
#include "bus/bus_interface.h"
#include "bus/serial_factory.h"
#include "model/moduls_list.h"
#include "sim/sim_bus.h"
#include "sim/sim_serial_line.h"
#include "support/main_thread.h"
#include "ui/main_window.h"

namespace {

// Notes whether a widget has been painted since it was last reset.
class TPaintProbe : public QObject {
 public:
  explicit TPaintProbe(QWidget* widget) { widget->installEventFilter(this); }
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) Painted = true;
    return false;
  }
  bool Painted = false;
};

// One start of the window on the model folder; prints "ms MiB interfaces modules".
int RunCase(QElapsedTimer& sinceStart, int argc, char** argv, const std::string& modellDir) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  InstallQtMainThreadWaker();
  RegisterSerialLine("SIM", "Simulierter Bus", [] { return MakeSimSerialLine(DefaultSimBus()); });
  double shownMs = 0;
  int interfaces = 0;
  int modules = 0;
  {
    TfrmVelmoraConfig window(modellDir);
    TPaintProbe probe(window.VSTModuls->viewport());
    window.show();
    // Drawn: the model is in and the tree has been painted since.
    bool loaded = false;
    while (sinceStart.elapsed() < 60000) {
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
      if (!loaded && window.ModulsList().IFCCount() > 0) {
        loaded = true;
        probe.Painted = false;
        window.VSTModuls->viewport()->update();
      } else if (loaded && probe.Painted) {
        break;
      }
    }
    shownMs = static_cast<double>(sinceStart.nsecsElapsed()) / 1e6;
    interfaces = window.ModulsList().IFCCount();
    for (int i = 0; i < interfaces; ++i)
      modules += window.ModulsList().IFCByIndex(i)->Count();
  }
  RemoveQtMainThreadWaker();
  std::printf("%.1f %.1f %d %d\n", shownMs, PeakResidentMiB(), interfaces, modules);
  return 0;
}

struct TCaseResult {
  std::vector<double> Ms;
  double PeakMiB = 0;
  int Interfaces = 0;
  int Modules = 0;
  bool Failed = false;
};

TCaseResult RunRounds(const QString& program, const QString& folderOf, int rounds, bool fresh) {
  TCaseResult result;
  for (int r = 0; r < rounds; ++r) {
    QTemporaryDir freshDir;
    const QString folder = fresh ? freshDir.path() + "/Modell1" : folderOf;
    QProcess child;
    child.start(program, {"--case", folder});
    if (!child.waitForFinished(120000) || child.exitCode() != 0) {
      result.Failed = true;
      return result;
    }
    double ms = 0, mib = 0;
    int interfaces = 0, modules = 0;
    const QByteArray out = child.readAllStandardOutput();
    if (std::sscanf(out.constData(), "%lf %lf %d %d", &ms, &mib, &interfaces, &modules) != 4) {
      result.Failed = true;
      return result;
    }
    result.Ms.push_back(ms);
    result.PeakMiB = std::max(result.PeakMiB, mib);
    result.Interfaces = interfaces;
    result.Modules = modules;
  }
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  QElapsedTimer sinceStart;
  sinceStart.start();
  if (argc > 2 && std::strcmp(argv[1], "--case") == 0)
    return RunCase(sinceStart, argc, argv, argv[2]);

  QCoreApplication app(argc, argv);
  MainThread().BindToCurrentThread();
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
  QTemporaryDir dir;
  const QString bigFolder = dir.path() + "/Modell1";
  WriteBigModel(bigFolder.toStdString(), "Modell1");

  const QString program = QCoreApplication::applicationFilePath();
  const TCaseResult first = RunRounds(program, QString(), rounds, true);
  const TCaseResult big = RunRounds(program, bigFolder, rounds, false);
  if (first.Failed || big.Failed) {
    std::printf("startup: a case did not finish\n");
    return 1;
  }
  std::printf("startup: main window drawn with the default model (offscreen), %d rounds each\n",
              rounds);
  std::printf(
      "  first start, 1 interface:         median %.1f ms, worst %.1f ms from main(); peak "
      "resident memory %.1f MiB\n",
      Percentile(first.Ms, 50), Percentile(first.Ms, 100), first.PeakMiB);
  std::printf(
      "  %d interfaces x 255 (%d modules): median %.1f ms, worst %.1f ms from main(); peak "
      "resident memory %.1f MiB\n",
      big.Interfaces, big.Modules, Percentile(big.Ms, 50), Percentile(big.Ms, 100), big.PeakMiB);
  std::printf("  ratio of the medians: %.2f\n", Percentile(big.Ms, 50) / Percentile(first.Ms, 50));
  return first.Interfaces == 1 && big.Modules == kBigInterfaces * kBigModulesPerInterface ? 0 : 1;
}
