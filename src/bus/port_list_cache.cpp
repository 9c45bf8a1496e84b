#include "bus/port_list_cache.h"

#include <algorithm>
#include <utility>

TPortListCache::TPortListCache(TFingerprint fingerprint, TLister lister, TClock& clock)
    : FFingerprint(std::move(fingerprint)), FLister(std::move(lister)), FClock(clock) {}

std::vector<TPortInfo> TPortListCache::Ports() {
  std::lock_guard<std::mutex> lock(FMutex);
  std::optional<TDevicesFingerprint> fingerprint = FFingerprint();
  if (!fingerprint) {
    FValid = false;
    return FLister();
  }
  const int64_t now = FClock.NowMs();
  if (!FValid || *fingerprint != FSeen) {
    // A device gone leaves the others' properties as they were; a device come, or one not
    // known at the start, may still be getting them.
    const bool goneOnly = FValid && std::includes(FSeen.begin(), FSeen.end(), fingerprint->begin(),
                                                  fingerprint->end());
    if (!goneOnly) FSettledAtMs = now + SettleMs;
    FSeen = std::move(*fingerprint);
  } else {
    const int64_t age = now - FListedAtMs;
    const bool settling = FListedAtMs < FSettledAtMs;
    if (age < MaxAgeMs && (!settling || age < FreshMs)) return FPorts;
  }
  FPorts = FLister();
  FListedAtMs = now;
  FValid = true;
  return FPorts;
}
