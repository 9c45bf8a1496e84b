#pragma once
// The system's list of serial ports, kept while the serial devices stay the same. Listing them
// reads every device's properties (on Linux about 16 ms of CPU and thousands of file-system
// calls), and an interface waiting for its adapter looks for it once a second; with a layout of
// many interfaces unplugged at once that would keep the main thread busy. Whether a device came
// or went is told by a fingerprint that costs next to nothing.

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "bus/serial_devices.h"
#include "bus/serial_factory.h"
#include "support/clock.h"

class TPortListCache {
 public:
  using TFingerprint = std::function<std::optional<TDevicesFingerprint>()>;
  using TLister = std::function<std::vector<TPortInfo>()>;

  // A device's properties (the USB identity among them) are filled in by the system shortly
  // after the device appears: for `SettleMs` after one came, a list is kept for only `FreshMs`
  // (enough for the checks of many interfaces in the same moment). Any list is made afresh
  // when older than `MaxAgeMs`.
  static constexpr int64_t SettleMs = 5000;
  static constexpr int64_t FreshMs = 500;
  static constexpr int64_t MaxAgeMs = 30000;

  TPortListCache(TFingerprint fingerprint, TLister lister, TClock& clock = SystemClock());

  std::vector<TPortInfo> Ports();

 private:
  TFingerprint FFingerprint;
  TLister FLister;
  TClock& FClock;
  // Held while listing: callers that come meanwhile take the list being made.
  std::mutex FMutex;
  // What the list kept stands for: nothing yet, the devices of a moment without a fingerprint,
  // or the devices of FSeen.
  enum class TKept { Nothing, Unknown, Known };
  TKept FKept = TKept::Nothing;
  TDevicesFingerprint FSeen;  // of the list kept
  int64_t FSettledAtMs = 0;   // when the last device to come is taken as settled
  int64_t FListedAtMs = 0;
  std::vector<TPortInfo> FPorts;
};
