// kavorconfig: the desktop program. One main window; the simulated bus is offered as "SIM"
// after the real ports, so the program does its whole job without hardware.

#include <QApplication>
#include <memory>

#include "bus/serial_factory.h"
#include "sim/sim_bus.h"
#include "sim/sim_serial_line.h"
#include "support/diagnostics.h"
#include "support/main_thread.h"
#include "ui/main_window.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("KavorConfig");
  // Bus threads hand answers and reports to this thread through the Qt event loop.
  InstallQtMainThreadWaker();
  RegisterSerialLine("SIM", "Simulierter Bus (5 Karten)",
                     [] { return MakeSimSerialLine(DefaultSimBus()); });
  DebugChannelsStart();
  int code = 0;
  {
    auto window = std::make_unique<TfrmVelmoraConfig>();
    window->show();
    code = QApplication::exec();
  }
  RemoveQtMainThreadWaker();
  DebugChannelsStop();
  return code;
}
