#include <QCommandLineParser>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <thread>

#include "cli/cli_common.h"
#include "cli/verbs.h"
#include "sim/sim_bus.h"
#include "sim/sim_pty.h"
#include "support/conversions.h"

namespace {

std::atomic<bool> GStop{false};

void OnSignal(int) {
  GStop = true;
}

}  // namespace

int RunSim(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "Serves the simulated bus (type-1 card at $1E, type-2 card at $32, throttle card at $20,\n"
      "port expansion at $7F, a card of unknown type at $40) on a pseudo-terminal. Prints the\n"
      "device path, then serves until interrupted (Ctrl+C).");
  parser.addOption({"baud", "Baud rate for the emulated line time (default 9600).", "B", "9600"});
  parser.addOption({"line-time", "Let every character take its time on the line (10 bits)."});
  parser.addOption({"delay", "Answer delay of the cards in ms (default 1).", "MS", "1"});
  if (auto stop = ParseVerb(parser, arguments)) return *stop;
  const int32_t baud = TextToInt(ToStd(parser.value("baud")), -1);
  if (baud <= 0) return UsageError(parser, "--baud must be a positive number");
  const int32_t delay = TextToInt(ToStd(parser.value("delay")), -1);
  if (delay < 0) return UsageError(parser, "--delay must be 0 or more milliseconds");

  TSimBus& bus = DefaultSimBus();
  bus.SetEmulateLineTime(parser.isSet("line-time"));
  bus.SetAnswerDelayUs(static_cast<int64_t>(delay) * 1000);
  TSimPtyServer server(bus);
  std::string path;
  try {
    path = server.Start(static_cast<uint32_t>(baud));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "kavorctl sim: %s\n", e.what());
    return ecFailed;
  }
  if (path.empty()) return ecFailed;
  PrintLine(path);
  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);
  while (!GStop) {
    // The server runs in its own thread; this one only waits for the signal.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  server.Stop();
  return ecOk;
}
