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
#include "support/language.h"
#include "support/main_thread.h"
#include "support/texts.h"
#include "support/version.h"
#include "ui/main_icons.h"
#include "ui/main_window.h"

namespace {

const char* const kHelp =
    "Usage: kavorconfig [options]\n"
    "Configures and tests the RS485 module bus of a model railway (see kavorconfig(1)).\n"
    "\n"
    "Options:\n"
    "  -h, --help     show this help\n"
    "  --version      show the version and the Qt version of the build\n"
    "  --lang de|en   language of the window; without it KAVORCONFIG_LANG decides, then the\n"
    "                 choice under Info / Sprache - Language, then the system's language\n"
    "Qt's own options (-platform NAME, ...) are accepted as well.\n"
    "\n"
    "Environment:\n"
    "  KAVORCONFIG_DEVELOPER=1   developer mode\n"
    "  KAVORCONFIG_LANG=de|en    language of the window\n";

bool IsInfoOption(const char* argument) {
  return std::strcmp(argument, "--help") == 0 || std::strcmp(argument, "-h") == 0 ||
         std::strcmp(argument, "--version") == 0;
}

// --help and --version are answered before the window system is touched, so that they work
// without a display; so is an unusable --lang.
std::optional<int> AnswerWithoutWindow(int argc, char** argv) {
  bool answer = false;
  for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
    const std::string argument = argv[i];
    if (IsInfoOption(argv[i]))
      answer = true;
    else if (argument == "--lang")
      answer = answer || i + 1 >= argc || !ParseLanguage(argv[i + 1]);
    else if (argument.rfind("--lang=", 0) == 0)
      answer = answer || !ParseLanguage(argument.substr(7));
  }
  if (!answer) return std::nullopt;
  for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("%s\n", VersionLine("kavorconfig").c_str());
      return 0;
    }
    if (IsInfoOption(argv[i])) {
      std::fputs(kHelp, stdout);
      return 0;
    }
  }
  std::fputs("kavorconfig: --lang expects de or en\n", stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (const std::optional<int> answered = AnswerWithoutWindow(argc, argv)) return *answered;
  QApplication app(argc, argv);
  QStringList arguments = QApplication::arguments();
  SetupLanguage(arguments);
  QApplication::setApplicationName("KavorConfig");
  QApplication::setApplicationVersion(ProgramVersion());
  QApplication::setWindowIcon(AppIcon());
  // Lets the desktop match the window to its menu entry (and its icon).
  QGuiApplication::setDesktopFileName("kavorconfig");
  // Bus threads hand answers and reports to this thread through the Qt event loop.
  InstallQtMainThreadWaker();
  RegisterSerialLine("SIM", TrText("kavorconfig", "Simulierter Bus (5 Karten)"),
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
