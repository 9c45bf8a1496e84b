#include "bus/port_list_cache.h"

#include <algorithm>
#include <utility>

TPortListCache::TPortListCache(TFingerprint fingerprint, TLister lister, TClock& clock)
    : FFingerprint(std::move(fingerprint)), FLister(std::move(lister)), FClock(clock) {}

std::vector<TPortInfo> TPortListCache::Ports() {
  std::lock_guard<std::mutex> lock(FMutex);
  std::optional<TDevicesFingerprint> fingerprint = FFingerprint();
  const int64_t now = FClock.NowMs();
  const int64_t age = now - FListedAtMs;
  if (!fingerprint) {
    // Nothing tells whether the devices changed: a list serves only the checks of one moment.
    if (FKept != TKept::Nothing && age < FreshMs) return FPorts;
    FKept = TKept::Unknown;
  } else if (FKept != TKept::Known || *fingerprint != FSeen) {
    // A device gone leaves the others' properties as they were; a device come, or one not
    // known at the start, may still be getting them.
    const bool goneOnly =
        FKept == TKept::Known &&
        std::includes(FSeen.begin(), FSeen.end(), fingerprint->begin(), fingerprint->end());
    if (!goneOnly) FSettledAtMs = now + SettleMs;
    FSeen = std::move(*fingerprint);
    FKept = TKept::Known;
  } else {
    const bool settling = FListedAtMs < FSettledAtMs;
    if (age < MaxAgeMs && (!settling || age < FreshMs)) return FPorts;
  }
  FPorts = FLister();
  FListedAtMs = now;
  return FPorts;
}
