#pragma once
// Waiting a number of milliseconds, with or without serving the main thread's events.

#include <cstdint>
#include <functional>

// A high-resolution stopwatch.
class TStopWatch {
 public:
  explicit TStopWatch(bool startNow = false);
  void Start();
  // Milliseconds since Start; starts the watch first if it is not running.
  int64_t ElapsedMs();
  bool Running() const { return FRunning; }

 private:
  int64_t FFrequency;  // counts per second
  bool FRunning = false;
  bool FHighResolution = true;
  int64_t FStartCount = 0;
};

// Waits more than `ms` milliseconds while the main thread keeps serving its events (the Qt event
// loop where there is one, and the work handed over by other threads), so windows stay
// responsive. Main thread only.
void WaitWithMessages(uint32_t ms);

// Like WaitWithMessages, but ends as soon as `condition` holds. Returns the condition's value.
bool WaitWithMessagesUntil(const std::function<bool()>& condition, uint32_t ms);

// Waits more than `ms` milliseconds without serving any event: nothing else runs in the calling
// thread meanwhile. It sleeps rather than spins.
void WaitBusy(uint32_t ms);
