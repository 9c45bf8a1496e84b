// bus_rate: how close the bus master comes to what the line allows. A card answers 1 ms after
// each command, over a real pseudo-terminal, with the line time of every character emulated.
// Prints exchanges per second, the line limit (10-character command + 11-character answer +
// 2 ms gap), their ratio, the CPU time per 1000 exchanges, and per exchange how often the bus
// thread and the main thread went to sleep (each wake-up costs far more than the work between
// two) and how long each of them ran, at 9600 and 19200 baud. The card runs in a child process, so that the figures are the
// program's own.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <cstdio>

#include "bench/bench_common.h"
#include "bus/bus_interface.h"
#include "sim/sim_bus.h"
#include "sim/sim_pty.h"
#include "support/main_thread.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  MainThread().BindToCurrentThread();
  const int exchanges = argc > 1 ? std::max(10, std::atoi(argv[1])) : 1000;
  std::printf(
      "bus_rate: %d exchanges per rate, card answers 1 ms after the command, line time "
      "emulated, over a pseudo-terminal\n",
      exchanges);
  std::printf("%7s %12s %12s %7s %18s %22s %22s\n", "baud", "exchanges/s", "line limit/s", "ratio",
              "CPU s/1000 exch.", "sleeps/exch. bus,main", "CPU us/exch. bus,main");
  for (const uint32_t baud : {9600u, 19200u}) {
    int pathPipe[2];
    if (pipe(pathPipe) != 0) return 1;
    const pid_t card = fork();
    if (card == 0) {
      // The card's side: serve until the parent is done with it.
      TSimBus bus;
      bus.AddDefaultCards();
      bus.SetEmulateLineTime(true);
      bus.SetAnswerDelayUs(1000);
      TSimPtyServer server(bus);
      const std::string served = server.Start(baud) + "\n";
      if (write(pathPipe[1], served.data(), served.size()) < 0) _exit(1);
      pause();
      _exit(0);
    }
    char buffer[256] = {};
    const ssize_t got = read(pathPipe[0], buffer, sizeof buffer - 1);
    close(pathPipe[0]);
    close(pathPipe[1]);
    if (got <= 0) return 1;
    const std::string path(buffer, static_cast<std::size_t>(got - 1));

    TRS485IFC ifc;
    ifc.SetPort(path);
    ifc.SetBaud(baud);
    ifc.SetActive(true);
    if (!ifc.Active()) {
      std::fprintf(stderr, "cannot open %s\n", path.c_str());
      return 1;
    }
    int answered = 0, timedOut = 0;
    const TThreadSleeps sleepsStart = ThreadSleeps();
    const double cpuStart = ProcessCpuSeconds();
    const double start = WallSeconds();
    for (int i = 0; i < exchanges; ++i)
      ifc.AddCommand("?1E200000", [&](const std::string&, const std::string& answer) {
        (answer.empty() ? timedOut : answered)++;
      });
    MainThread().WaitUntil([&] { return answered + timedOut == exchanges; },
                           std::chrono::minutes(5));
    const double seconds = WallSeconds() - start;
    const double cpu = ProcessCpuSeconds() - cpuStart;
    const TThreadSleeps sleepsEnd = ThreadSleeps();
    ifc.SetActive(false);
    kill(card, SIGTERM);
    waitpid(card, nullptr, 0);

    const double rate = answered / seconds;
    const double lineLimit = 1.0 / ((10.0 + 11.0) * 10.0 / baud + 0.002);
    std::printf("%7u %12.1f %12.1f %7.2f %18.3f %14.2f,%6.2f", baud, rate, lineLimit,
                rate / lineLimit, cpu * 1000.0 / exchanges,
                static_cast<double>(sleepsEnd.Others - sleepsStart.Others) / exchanges,
                static_cast<double>(sleepsEnd.Main - sleepsStart.Main) / exchanges);
    std::printf(
        " %14.1f,%6.1f",
        static_cast<double>(sleepsEnd.OthersRunNs - sleepsStart.OthersRunNs) / 1000.0 / exchanges,
        static_cast<double>(sleepsEnd.MainRunNs - sleepsStart.MainRunNs) / 1000.0 / exchanges);
    if (timedOut > 0) std::printf("   (%d timed out)", timedOut);
    std::printf("\n");
  }
  return 0;
}
