#include "support/clock.h"

#include <chrono>
#include <thread>

namespace {

class TSystemClock : public TClock {
 public:
  int64_t NowUs() const override {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }
  void SleepUs(int64_t us) override {
    if (us > 0) std::this_thread::sleep_for(std::chrono::microseconds(us));
  }
  bool WaitUntil(std::condition_variable& cv, std::unique_lock<std::mutex>& lock,
                 int64_t deadlineUs, const std::function<bool()>& condition) override {
    const auto deadline =
        std::chrono::steady_clock::time_point(std::chrono::microseconds(deadlineUs));
    return cv.wait_until(lock, deadline, condition);
  }
};

}  // namespace

TClock& SystemClock() {
  static TSystemClock clock;
  return clock;
}
