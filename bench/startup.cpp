// startup: time from the start of main() to the main window shown with the default model loaded
// (offscreen), and the peak resident memory then.

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>

#include "bench/bench_common.h"
#include "bus/bus_interface.h"
#include "bus/serial_factory.h"
#include "model/moduls_list.h"
#include "sim/sim_bus.h"
#include "sim/sim_serial_line.h"
#include "support/main_thread.h"
#include "ui/main_window.h"

int main(int argc, char** argv) {
  QElapsedTimer sinceStart;
  sinceStart.start();
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  InstallQtMainThreadWaker();
  RegisterSerialLine("SIM", "Simulierter Bus", [] { return MakeSimSerialLine(DefaultSimBus()); });
  QTemporaryDir dir;
  double shownMs = 0;
  int interfaces = 0;
  {
    // A first start: the default model does not exist yet and is created.
    TfrmVelmoraConfig window(dir.path().toStdString() + "/Modell1");
    window.show();
    while (window.ModulsList().IFCCount() == 0 && sinceStart.elapsed() < 30000)
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    QCoreApplication::processEvents();
    shownMs = static_cast<double>(sinceStart.nsecsElapsed()) / 1e6;
    interfaces = window.ModulsList().IFCCount();
  }
  RemoveQtMainThreadWaker();
  std::printf("startup: main window shown with the default model (offscreen, first start)\n");
  std::printf("  time from main() entry: %.1f ms (%d interface)\n", shownMs, interfaces);
  std::printf("  peak resident memory: %.1f MiB\n", PeakResidentMiB());
  return interfaces == 1 ? 0 : 1;
}
