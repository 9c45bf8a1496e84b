// kavorctl: the command-line side of KavorConfig. It talks to interfaces and cards without a
// window, for scripts, tests and quick checks at the layout.

#include <QCoreApplication>
#include <cstdio>
#include <map>
#include <string>

#include "cli/cli_common.h"
#include "cli/verbs.h"
#include "support/language.h"
#include "support/main_thread.h"
#include "support/version.h"

namespace {

const char* const kUsage =
    "Usage: kavorctl <verb> [options]\n"
    "\n"
    "Verbs:\n"
    "  ports     list the serial ports (and SIM, the simulated bus)\n"
    "  send      send raw command lines to an interface and print the answers\n"
    "  sim       serve the simulated bus on a pseudo-terminal\n"
    "  exec      run text commands (!Schalten(0,$1E,3,1), ?Port(...)) against cards\n"
    "  model     show the tree of a model file, or save it under another name\n"
    "  scan      search an interface for its cards\n"
    "  address   change the bus address of a card\n"
    "  config    back up, compare or restore the settings the cards keep\n"
    "  monitor   watch the traffic and the link statistics of the cards\n"
    "\n"
    "Every verb also takes --lang de|en: the language of the messages from the bus and the\n"
    "model (without it KAVORCONFIG_LANG decides, then the window's choice, then the system's\n"
    "language). Standard output reads the same in every language.\n"
    "\n"
    "'kavorctl <verb> --help' describes a verb; 'kavorctl --version' prints the version.\n";

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName("kavorctl");
  // The workflows wait with the Qt event loop; bus threads wake it through the executor.
  InstallQtMainThreadWaker();
  InstallConsoleReporting();
  RegisterSimulatedPort();

  // --lang may stand anywhere; the verbs never see it. kavorctl's own texts are English, Qt's
  // stay as they are, so only the messages of the bus and the model follow the choice.
  QStringList arguments = QCoreApplication::arguments();
  bool languageUnusable = false;
  SetupLanguage(arguments, false, &languageUnusable);
  if (languageUnusable) {
    std::fprintf(stderr, "kavorctl: --lang expects de or en\n\n%s", kUsage);
    return ecUsage;
  }
  if (arguments.size() < 2) {
    std::fputs(kUsage, stderr);
    return ecUsage;
  }
  const QString verb = arguments.at(1);
  // The verb's parser sees "kavorctl <verb>" as the program and the verb's own options.
  arguments.removeAt(1);
  arguments[0] = "kavorctl " + verb;
  using TVerb = int (*)(const QStringList&);
  const std::map<QString, TVerb> verbs = {
      {"ports", RunPorts},     {"send", RunSend},     {"sim", RunSim},
      {"exec", RunExec},       {"model", RunModel},   {"scan", RunScan},
      {"address", RunAddress}, {"config", RunConfig}, {"monitor", RunMonitor}};
  if (verb == "--help" || verb == "-h" || verb == "help") {
    std::fputs(kUsage, stdout);
    return ecOk;
  }
  if (verb == "--version") {
    PrintLine(VersionLine("kavorctl"));
    return ecOk;
  }
  const auto it = verbs.find(verb);
  if (it == verbs.end()) {
    std::fprintf(stderr, "kavorctl: unknown verb '%s'\n\n%s", verb.toStdString().c_str(), kUsage);
    return ecUsage;
  }
  const int code = it->second(arguments);
  MainThread().PumpPending();  // reports still on their way
  RemoveQtMainThreadWaker();
  return code;
}
