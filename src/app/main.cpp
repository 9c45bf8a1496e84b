// kavorconfig: the desktop program. One main window; the simulated bus is offered as "SIM"
// after the real ports, so the program does its whole job without hardware.

#include <QApplication>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>

#include "bus/serial_factory.h"
#include "sim/sim_bus.h"
#include "sim/sim_serial_line.h"
#include "support/diagnostics.h"
#include "support/main_thread.h"
#include "support/version.h"
#include "ui/main_icons.h"
#include "ui/main_window.h"

namespace {

const char* const kHelp =
    "Usage: kavorconfig [options]\n"
    "Configures and tests the RS485 module bus of a model railway (see kavorconfig(1)).\n"
    "\n"
    "Options:\n"
    "  -h, --help   show this help\n"
    "  --version    show the version and the Qt version of the build\n"
    "Qt's own options (-platform NAME, ...) are accepted as well.\n"
    "\n"
    "Environment:\n"
    "  KAVORCONFIG_DEVELOPER=1   developer mode\n";

// --help and --version are answered before the window system is touched, so that they work
// without a display.
std::optional<int> AnswerInfoOption(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(kHelp, stdout);
      return 0;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("%s\n", VersionLine("kavorconfig").c_str());
      return 0;
    }
  }
  return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
  if (const std::optional<int> answered = AnswerInfoOption(argc, argv)) return *answered;
  QApplication app(argc, argv);
  QApplication::setApplicationName("KavorConfig");
  QApplication::setApplicationVersion(ProgramVersion());
  QApplication::setWindowIcon(AppIcon());
  // Lets the desktop match the window to its menu entry (and its icon).
  QGuiApplication::setDesktopFileName("kavorconfig");
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
