#pragma once
// Small helpers shared by the benchmark programs: process CPU time, percentiles, running the event
// loop for a while.

#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/resource.h>
#include <unistd.h>
#endif
#ifdef __GLIBC__
#include <malloc.h>
#endif

// CPU seconds (user + system) the process has used so far.
inline double ProcessCpuSeconds() {
#ifdef _WIN32
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  auto seconds = [](const FILETIME& t) {
    return static_cast<double>((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime) /
           1e7;
  };
  return seconds(kernel) + seconds(user);
#else
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
#endif
}

// One thread's account so far: how often it went to sleep (voluntary context switches) and how
// long it ran (ns, from the scheduler's own account).
struct TThreadAccount {
  uint64_t Sleeps = 0;
  uint64_t RunNs = 0;
};
// Every thread of the process now, by thread id; empty where unknown.
using TThreadAccounts = std::map<std::string, TThreadAccount>;
inline TThreadAccounts ThreadAccounts() {
  TThreadAccounts accounts;
#ifdef __linux__
  std::error_code error;
  for (const auto& task : std::filesystem::directory_iterator("/proc/self/task", error)) {
    TThreadAccount& account = accounts[task.path().filename().string()];
    std::ifstream status(task.path() / "status");
    std::string line;
    while (std::getline(status, line)) {
      if (line.rfind("voluntary_ctxt_switches:", 0) != 0) continue;
      account.Sleeps = std::strtoull(line.c_str() + line.find(':') + 1, nullptr, 10);
    }
    std::ifstream schedstat(task.path() / "schedstat");
    schedstat >> account.RunNs;
  }
#endif
  return accounts;
}

// What the threads did between two snapshots: the main thread's sleeps and run time and the sum
// of all others'. A thread that ended in between is left out, its account went with it (a
// connection's thread still winding down when a run starts); one that started counts from zero.
struct TThreadSleeps {
  uint64_t Main = 0;
  uint64_t Others = 0;
  uint64_t MainRunNs = 0;
  uint64_t OthersRunNs = 0;
};
inline TThreadSleeps ThreadSleepsBetween([[maybe_unused]] const TThreadAccounts& start,
                                         [[maybe_unused]] const TThreadAccounts& end) {
  TThreadSleeps sleeps;
#ifdef __linux__
  const std::string main = std::to_string(getpid());
  // A thread id used again by a new thread reads less than the old one did: counted from zero.
  const auto since = [](uint64_t now, uint64_t from) { return now >= from ? now - from : now; };
  for (const auto& [tid, now] : end) {
    const auto before = start.find(tid);
    const TThreadAccount from = before != start.end() ? before->second : TThreadAccount{};
    const uint64_t slept = since(now.Sleeps, from.Sleeps);
    const uint64_t ran = since(now.RunNs, from.RunNs);
    (tid == main ? sleeps.Main : sleeps.Others) += slept;
    (tid == main ? sleeps.MainRunNs : sleeps.OthersRunNs) += ran;
  }
#endif
  return sleeps;
}

// Peak resident memory of the process in MiB (0 where unknown).
inline double PeakResidentMiB() {
#ifdef _WIN32
  return 0;
#else
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
#endif
}

// Resident memory of the process now, in MiB (0 where unknown).
inline double CurrentResidentMiB() {
#ifdef __linux__
  long pages = 0, resident = 0;
  if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(statm);
  }
  return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1048576.0;
#else
  return 0;
#endif
}

// Starts a new measurement of the peak resident memory where the system allows it (Linux), so
// that PeakResidentMiB tells the peak of one phase. False where it does not.
inline bool ResetPeakResident() {
#ifdef __linux__
  FILE* refs = std::fopen("/proc/self/clear_refs", "w");
  if (!refs) return false;
  const bool done = std::fputs("5", refs) >= 0;
  return std::fclose(refs) == 0 && done;
#else
  return false;
#endif
}

// Hands memory the program has freed back to the system where the allocator allows it, so that
// a later phase's growth of the resident memory is its own.
inline void ReleaseFreedMemory() {
#ifdef __GLIBC__
  malloc_trim(0);
#endif
}

inline double WallSeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// The p-th percentile (0..100) of the values.
inline double Percentile(std::vector<double> values, double p) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const std::size_t index =
      static_cast<std::size_t>(p / 100.0 * static_cast<double>(values.size() - 1) + 0.5);
  return values[std::min(index, values.size() - 1)];
}

// Runs the main thread's event loop (timers, posted work) for the given time.
inline void RunEventLoop(double seconds) {
  QEventLoop loop;
  QTimer::singleShot(static_cast<int>(seconds * 1000), &loop, &QEventLoop::quit);
  loop.exec();
}
