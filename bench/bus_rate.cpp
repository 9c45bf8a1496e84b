// bus_rate: how close the bus master comes to what the line allows. A card answers 1 ms after
// each command, over a real pseudo-terminal, with the line time of every character emulated.
// Prints exchanges per second, the line limit (10-character command + 11-character answer +
// 2 ms gap), their ratio, the CPU time per 1000 exchanges, and per exchange how often the bus
// thread and the main thread went to sleep (each wake-up costs far more than the work between
// two) and how long each of them ran, at 9600 and 19200 baud. The card runs in a child process, so
// that the figures are the program's own. `bus_rate [exchanges] [rounds]`: with more than one
// round the rows come in turns, followed by their medians.
//
// A second row per rate ("bare") does the same exchanges, against a card of its own, with nothing
// but the system calls they cannot do without: one write, one sleep until the answer is surely
// in, one read, a hand-over to a second thread that wakes for it, one sleep through the 2 ms
// pause. Its CPU time is what two sleeps and a hand-over per exchange cost on the machine at
// hand, whatever the code around them; the gap between the two rows is what the program adds.
//
// `bus_rate [exchanges] [rounds] floor` adds a third row ("floor"): one sleep per exchange, from
// the write to the end of the pause after the answer by the line time, then the read, the
// hand-over and at once the next write, without waiting for the handler. No bus master may work
// so (the next command must wait for the last answer's handler, and the answer would lie unread
// through the pause), but it is the least any exchange can cost here.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

#include "bench/bench_common.h"
#include "bus/bus_interface.h"
#include "sim/sim_bus.h"
#include "sim/sim_pty.h"
#include "support/main_thread.h"

namespace {

struct TCard {
  pid_t Pid = -1;
  std::string Path;
};

// A simulated bus in a child process, served on a pseudo-terminal, its card answering 1 ms after
// each command with the line time emulated.
TCard StartCard(uint32_t baud) {
  TCard card;
  int pathPipe[2];
  if (pipe(pathPipe) != 0) return card;
  card.Pid = fork();
  if (card.Pid == 0) {
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
  const ssize_t got = card.Pid > 0 ? read(pathPipe[0], buffer, sizeof buffer - 1) : -1;
  close(pathPipe[0]);
  close(pathPipe[1]);
  if (got > 0) card.Path.assign(buffer, static_cast<std::size_t>(got - 1));
  return card;
}

void StopCard(const TCard& card) {
  if (card.Pid <= 0) return;
  kill(card.Pid, SIGTERM);
  waitpid(card.Pid, nullptr, 0);
}

struct TFigures {
  int Answered = 0;
  double Seconds = 0;
  double Cpu = 0;
  TThreadSleeps Threads;
};

// The bare exchanges: see the comment at the top. The look comes 3 ms after the answer's end by
// the line time, so that it finds the answer whole nearly every time, however late the card's
// process comes round to a character on a busy machine: that is what keeps it to two sleeps. It
// costs exchange rate, which is not what this row is for.
TFigures BareExchanges(const std::string& path, uint32_t baud, int exchanges, bool leastSleeps) {
  TFigures figures;
  // No terminal settings to make: the card's side has made the pseudo-terminal raw.
  const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return figures;
  const std::string command = "?1E200000\r";
  const std::chrono::microseconds look((10 + 11) * 10'000'000LL / baud + 1000 + 3000);
  // The floor row's: the card's 1 ms, the pause and 0.3 ms for the card's process to come round.
  const std::chrono::microseconds lookAfterPause((10 + 11) * 10'000'000LL / baud + 1000 + 2300);

  std::mutex mutex;
  std::condition_variable changed;
  int handed = 0, handled = 0, whole = 0;
  bool busWaiting = false;
  bool counted = false;
  std::thread bus([&] {
    std::string line;
    for (int i = 0; i < exchanges; ++i) {
      const auto sent = std::chrono::steady_clock::now();
      if (write(fd, command.data(), command.size()) != static_cast<ssize_t>(command.size())) break;
      std::this_thread::sleep_until(sent + (leastSleeps ? lookAfterPause : look));
      line.clear();
      char buffer[256];
      while (line.find("\r\n") == std::string::npos) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n > 0) {
          line.append(buffer, static_cast<std::size_t>(n));
          continue;
        }
        pollfd wait = {fd, POLLIN, 0};
        if (poll(&wait, 1, 200) <= 0) break;
      }
      const auto seen = std::chrono::steady_clock::now();
      {
        std::lock_guard<std::mutex> lock(mutex);
        ++handed;
        if (line.find("\r\n") != std::string::npos) ++whole;
      }
      changed.notify_all();
      if (leastSleeps) continue;
      std::this_thread::sleep_until(seen + std::chrono::milliseconds(2));
      std::unique_lock<std::mutex> lock(mutex);
      busWaiting = true;
      changed.wait(lock, [&] { return handled == handed; });
      busWaiting = false;
    }
    // Alive until its sleeps are counted.
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [&] { return counted; });
  });

  const TThreadAccounts threadsAtStart = ThreadAccounts();
  const double cpuStart = ProcessCpuSeconds();
  const double start = WallSeconds();
  {
    std::unique_lock<std::mutex> lock(mutex);
    while (handled < exchanges) {
      if (!changed.wait_for(lock, std::chrono::seconds(5), [&] { return handed > handled; })) break;
      ++handled;
      if (busWaiting) changed.notify_all();
    }
  }
  figures.Seconds = WallSeconds() - start;
  figures.Cpu = ProcessCpuSeconds() - cpuStart;
  figures.Threads = ThreadSleepsBetween(threadsAtStart, ThreadAccounts());
  {
    std::lock_guard<std::mutex> lock(mutex);
    counted = true;
  }
  changed.notify_all();
  bus.join();
  figures.Answered = whole;
  close(fd);
  return figures;
}

// Exchanges per second the line allows: command, answer and the 2 ms gap, nothing else.
double LineLimit(uint32_t baud) {
  return 1.0 / ((10.0 + 11.0) * 10.0 / baud + 0.002);
}

double Ratio(uint32_t baud, const TFigures& f) {
  return f.Seconds > 0 ? f.Answered / f.Seconds / LineLimit(baud) : 0;
}

// The middle value; of an even count the mean of the two in the middle.
double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const std::size_t half = values.size() / 2;
  return values.size() % 2 ? values[half] : (values[half - 1] + values[half]) / 2;
}

double CpuPer1000(const TFigures& f, int exchanges) {
  return f.Cpu * 1000.0 / exchanges;
}

// What the bus thread ran per time it went to sleep, its own work included: compared between the
// two rows, it tells whether the program's extra CPU is in its work or in how often it sleeps.
double RunUsPerSleep(const TFigures& f) {
  const uint64_t sleeps = f.Threads.Others;
  return sleeps > 0 ? static_cast<double>(f.Threads.OthersRunNs) / 1000.0 / sleeps : 0;
}

void PrintRow(const char* what, uint32_t baud, const TFigures& f, int exchanges, int timedOut) {
  if (f.Seconds <= 0) {
    std::printf("%-8s%7u could not run\n", what, baud);
    return;
  }
  std::printf("%-8s%7u %12.1f %12.1f %7.2f %18.3f %14.2f,%6.2f", what, baud, f.Answered / f.Seconds,
              LineLimit(baud), Ratio(baud, f), CpuPer1000(f, exchanges),
              static_cast<double>(f.Threads.Others) / exchanges,
              static_cast<double>(f.Threads.Main) / exchanges);
  std::printf(" %14.1f,%6.1f", static_cast<double>(f.Threads.OthersRunNs) / 1000.0 / exchanges,
              static_cast<double>(f.Threads.MainRunNs) / 1000.0 / exchanges);
  if (timedOut > 0) std::printf("   (%d timed out)", timedOut);
  std::printf("\n");
}

// The program's exchanges against a card of their own: a connected interface with the
// exchanges queued as one-shot commands, answered in the main thread.
TFigures ProgramExchanges(uint32_t baud, int exchanges, int& timedOut) {
  TFigures figures;
  const TCard card = StartCard(baud);
  if (card.Path.empty()) return figures;
  TRS485IFC ifc;
  ifc.SetPort(card.Path);
  ifc.SetBaud(baud);
  ifc.SetActive(true);
  if (!ifc.Active()) {
    std::fprintf(stderr, "cannot open %s\n", card.Path.c_str());
    StopCard(card);
    return figures;
  }
  int answered = 0;
  timedOut = 0;
  const TThreadAccounts threadsAtStart = ThreadAccounts();
  const double cpuStart = ProcessCpuSeconds();
  const double start = WallSeconds();
  for (int i = 0; i < exchanges; ++i)
    ifc.AddCommand("?1E200000", [&](const std::string&, const std::string& answer) {
      (answer.empty() ? timedOut : answered)++;
    });
  MainThread().WaitUntil([&] { return answered + timedOut == exchanges; }, std::chrono::minutes(5));
  figures.Seconds = WallSeconds() - start;
  figures.Cpu = ProcessCpuSeconds() - cpuStart;
  figures.Threads = ThreadSleepsBetween(threadsAtStart, ThreadAccounts());
  figures.Answered = answered;
  ifc.SetActive(false);
  StopCard(card);
  return figures;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  MainThread().BindToCurrentThread();
  const int exchanges = argc > 1 ? std::max(10, std::atoi(argv[1])) : 1000;
  // On a virtual machine the cost of a wake-up changes from one minute to the next: several
  // rounds, the program and the bare row in turns, give medians that mean something.
  const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1;
  const bool withFloor = argc > 3 && std::string(argv[3]) == "floor";
  std::printf(
      "bus_rate: %d exchanges per rate, card answers 1 ms after the command, line time "
      "emulated, over a pseudo-terminal\n",
      exchanges);
  std::printf("%-8s%7s %12s %12s %7s %18s %22s %22s\n", "", "baud", "exchanges/s", "line limit/s",
              "ratio", "CPU s/1000 exch.", "sleeps/exch. bus,main", "CPU us/exch. bus,main");
  std::vector<std::string> summary;
  for (const uint32_t baud : {9600u, 19200u}) {
    std::vector<double> ratios, cpus, bareRatios, bareCpus, times, perSleep, barePerSleep,
        floorRatios, floorCpus;
    for (int round = 0; round < rounds; ++round) {
      int timedOut = 0;
      const TFigures program = ProgramExchanges(baud, exchanges, timedOut);
      if (program.Seconds <= 0) return 1;
      PrintRow("program", baud, program, exchanges, timedOut);

      const TCard bareCard = StartCard(baud);
      if (bareCard.Path.empty()) return 1;
      const TFigures bare = BareExchanges(bareCard.Path, baud, exchanges, false);
      StopCard(bareCard);
      PrintRow("bare", baud, bare, exchanges, exchanges - bare.Answered);
      if (withFloor) {
        const TCard floorCard = StartCard(baud);
        if (floorCard.Path.empty()) return 1;
        const TFigures least = BareExchanges(floorCard.Path, baud, exchanges, true);
        StopCard(floorCard);
        PrintRow("floor", baud, least, exchanges, exchanges - least.Answered);
        floorRatios.push_back(Ratio(baud, least));
        floorCpus.push_back(CpuPer1000(least, exchanges));
      }

      ratios.push_back(Ratio(baud, program));
      cpus.push_back(CpuPer1000(program, exchanges));
      bareRatios.push_back(Ratio(baud, bare));
      bareCpus.push_back(CpuPer1000(bare, exchanges));
      if (bare.Cpu > 0) times.push_back(program.Cpu / bare.Cpu);
      perSleep.push_back(RunUsPerSleep(program));
      barePerSleep.push_back(RunUsPerSleep(bare));
    }
    if (rounds < 2) continue;
    char line[320];
    std::snprintf(line, sizeof line,
                  "%7u  program: ratio %.2f, %.3f CPU s/1000 exch. (%.3f to %.3f); bare: ratio "
                  "%.2f, %.3f (%.3f to %.3f); program/bare CPU %.2f; bus thread us per sleep: "
                  "program %.1f, bare %.1f",
                  baud, Median(ratios), Median(cpus), Percentile(cpus, 0), Percentile(cpus, 100),
                  Median(bareRatios), Median(bareCpus), Percentile(bareCpus, 0),
                  Percentile(bareCpus, 100), Median(times), Median(perSleep), Median(barePerSleep));
    summary.emplace_back(line);
    if (!withFloor) continue;
    std::snprintf(line, sizeof line, "%7u  floor: ratio %.2f, %.3f CPU s/1000 exch. (%.3f to %.3f)",
                  baud, Median(floorRatios), Median(floorCpus), Percentile(floorCpus, 0),
                  Percentile(floorCpus, 100));
    summary.emplace_back(line);
  }
  if (!summary.empty()) std::printf("medians of %d rounds, in turns:\n", rounds);
  for (const std::string& line : summary)
    std::printf("%s\n", line.c_str());
  return 0;
}
