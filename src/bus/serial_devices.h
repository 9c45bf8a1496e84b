#pragma once
// This platform's fingerprint of the serial devices present, one entry per device: an entry
// comes and goes with its device, and a device replaced under the same name has a new one.
// None where the platform has no cheap way to tell; a list then serves only the checks of one
// moment.

#include <optional>
#include <set>
#include <string>

using TDevicesFingerprint = std::set<std::string>;
std::optional<TDevicesFingerprint> SerialDevicesFingerprint();
