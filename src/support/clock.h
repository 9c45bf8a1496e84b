#pragma once
// A monotonic clock that the bus timing and the simulated cards run on. Tests put a manual clock
// in its place so that timing is deterministic.

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

class TClock {
 public:
  virtual ~TClock() = default;
  // Microseconds since an arbitrary start; never goes back.
  virtual int64_t NowUs() const = 0;
  virtual void SleepUs(int64_t us) = 0;
  // Waits on `cv` (with `lock` held) until `condition` holds or the clock reaches `deadlineUs`.
  // Returns the condition's value.
  virtual bool WaitUntil(std::condition_variable& cv, std::unique_lock<std::mutex>& lock,
                         int64_t deadlineUs, const std::function<bool()>& condition) = 0;

  int64_t NowMs() const { return NowUs() / 1000; }
};

// The steady system clock.
TClock& SystemClock();
