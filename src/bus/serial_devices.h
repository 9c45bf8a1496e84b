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

// The USB socket the adapter behind a port sits in, as the system names it ("1-1.2": bus 1, the
// hub on port 1, its port 2); empty where that is not known. It tells twins apart (adapters of
// one make without a serial number of their own), whose port names on Linux follow the order
// they were plugged in. Windows keeps a port name per socket for such adapters by itself.
// `sysfsRoot` stands in for "/sys" in tests.
std::string UsbSocketOf(const std::string& portName, const std::string& sysfsRoot = "/sys");

#ifdef __linux__
// The sysfs file of an FTDI adapter's latency timer, also for a port typed as a link to its
// device (/dev/serial/by-id/...), the stable name many users give.
std::string LatencyTimerPath(const std::string& portName);
#endif
