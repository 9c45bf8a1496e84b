#pragma once
// A clock that only moves when someone waits on it: every sleep and every wait that is not
// satisfied at once jumps to its deadline. Bus timing then runs deterministically and at full
// speed.

#include <atomic>

#include "support/clock.h"

class TManualClock : public TClock {
 public:
  explicit TManualClock(int64_t startUs = 1'000'000) : FNow(startUs) {}

  int64_t NowUs() const override { return FNow.load(); }
  void SleepUs(int64_t us) override {
    if (us > 0) ++FSleeps;
    Advance(us);
  }
  bool WaitUntil(std::condition_variable&, std::unique_lock<std::mutex>&, int64_t deadlineUs,
                 const std::function<bool()>& condition) override {
    if (condition()) return true;
    if (deadlineUs > FNow.load()) ++FSleeps;
    AdvanceTo(deadlineUs);
    return condition();
  }
  // How often a thread would have gone to sleep on this clock.
  int Sleeps() const { return FSleeps.load(); }

  void Advance(int64_t us) {
    if (us > 0) FNow.fetch_add(us);
  }
  void AdvanceTo(int64_t us) {
    int64_t now = FNow.load();
    while (us > now && !FNow.compare_exchange_weak(now, us)) {
    }
  }

 private:
  std::atomic<int64_t> FNow;
  std::atomic<int> FSleeps{0};
};
