// wake_cost: what one sleep of a thread costs in CPU time on this machine, with nothing done
// between two. A thread waits on a condition variable until a deadline (as the bus thread does
// through its pauses), or until another thread wakes it (as the bus thread wakes the main thread
// for an answer handler). The bus thread's figures in bus_rate cannot go below its sleeps per
// exchange times these. Also the cost of one system call that does nothing: a virtual machine
// may charge many times what the same call costs on the bare processor, and the bus thread
// makes about ten per exchange. A deadline is also slept through with a bare clock_nanosleep and
// with a ppoll on an idle descriptor, as a wait on the port ends: if either cost clearly less than
// the condition variable, the bus thread's waits would be worth changing.

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <thread>

namespace {

int64_t ClockNs(clockid_t clock) {
  timespec t{};
  clock_gettime(clock, &t);
  return static_cast<int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

double ThreadCpuUs() {
  return static_cast<double>(ClockNs(CLOCK_THREAD_CPUTIME_ID)) / 1e3;
}

double TimedWaitUs(int sleepUs, int count) {
  std::mutex mutex;
  std::condition_variable wake;
  std::unique_lock<std::mutex> lock(mutex);
  const double start = ThreadCpuUs();
  for (int i = 0; i < count; ++i)
    wake.wait_until(lock, std::chrono::steady_clock::now() + std::chrono::microseconds(sleepUs));
  return (ThreadCpuUs() - start) / count;
}

double NanosleepUs(int sleepUs, int count) {
  const timespec pause{0, sleepUs * 1000L};
  const double start = ThreadCpuUs();
  for (int i = 0; i < count; ++i)
    clock_nanosleep(CLOCK_MONOTONIC, 0, &pause, nullptr);
  return (ThreadCpuUs() - start) / count;
}

double PpollUs(int sleepUs, int count) {
  const int idle = eventfd(0, EFD_NONBLOCK);
  if (idle < 0) return 0;
  const timespec pause{0, sleepUs * 1000L};
  const double start = ThreadCpuUs();
  for (int i = 0; i < count; ++i) {
    pollfd wait{idle, POLLIN, 0};
    ppoll(&wait, 1, &pause, nullptr);
  }
  const double us = (ThreadCpuUs() - start) / count;
  close(idle);
  return us;
}

double WokenUs(int sleepUs, int count) {
  std::mutex mutex;
  std::condition_variable wake;
  int rounds = 0;
  double cpuUs = 0;
  std::thread sleeper([&] {
    std::unique_lock<std::mutex> lock(mutex);
    const double start = ThreadCpuUs();
    for (int seen = 0; seen < count; ++seen)
      wake.wait(lock, [&] { return rounds > seen; });
    cpuUs = ThreadCpuUs() - start;
  });
  for (int i = 0; i < count; ++i) {
    std::this_thread::sleep_for(std::chrono::microseconds(sleepUs));
    {
      std::lock_guard<std::mutex> lock(mutex);
      ++rounds;
    }
    wake.notify_one();
  }
  sleeper.join();
  return cpuUs / count;
}

double SystemCallUs(int count) {
  const double start = ThreadCpuUs();
  for (int i = 0; i < count; ++i)
    ::syscall(SYS_getppid);  // the raw call: no library may answer it on its own
  return (ThreadCpuUs() - start) / count;
}

// A thread that never sleeps, reading the clock in a tight loop: every gap between two readings
// longer than 10 µs is time the processor spent elsewhere (an interrupt, the host of a virtual
// machine) while the thread counted as running. Prints how often that happened and how long it
// took, and whether the thread was charged for it.
void Interruptions(double seconds) {
  const auto now = [] { return static_cast<double>(ClockNs(CLOCK_MONOTONIC)) / 1e3; };
  const double cpuStart = ThreadCpuUs();
  const double start = now();
  double last = start, gapUs = 0;
  long gaps = 0;
  for (double at = start; at - start < seconds * 1e6; at = now()) {
    if (at - last > 10) {
      gapUs += at - last;
      ++gaps;
    }
    last = at;
  }
  const double wallUs = last - start;
  std::printf(
      "a running thread: %.0f interruptions over 10 µs per second, %.1f µs each; it was "
      "charged %.1f %% of the time as its CPU\n",
      gaps / (wallUs / 1e6), gaps > 0 ? gapUs / gaps : 0,
      100.0 * (ThreadCpuUs() - cpuStart) / wallUs);
}

}  // namespace

int main() {
  std::printf("wake_cost: CPU time of the sleeping thread per sleep, nothing done in between\n");
  std::printf("%10s %22s %22s %12s %12s\n", "sleep", "until a deadline (µs)",
              "woken by a thread (µs)", "nanosleep", "ppoll");
  for (const int sleepUs : {1000, 3000, 10000}) {
    const int count = 2'000'000 / sleepUs;
    std::printf("%7d µs %22.1f %22.1f %12.1f %12.1f\n", sleepUs, TimedWaitUs(sleepUs, count),
                WokenUs(sleepUs, count), NanosleepUs(sleepUs, count), PpollUs(sleepUs, count));
  }
  std::printf("one system call that does nothing: %.2f µs\n", SystemCallUs(200'000));
  Interruptions(2.0);
  return 0;
}
