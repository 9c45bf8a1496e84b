#pragma once
// What a user at the layout is told when a serial port cannot be used as it is: why it did not
// open and what fixes it, and an adapter whose latency timer slows every answer down. The texts
// are built here, apart from the platform calls that find the facts, so they can be checked on
// any machine.

#include <QSerialPort>
#include <mutex>
#include <optional>
#include <set>
#include <string>

enum class TOpenFailure {
  NotFound,          // no such device (adapter unplugged, name mistyped)
  PermissionDenied,  // the user may not open the device
  Busy,              // another program holds the port
  Other,
};

// What the platform could find out about a failed open, beyond Qt's error kind.
struct TOpenProbe {
  // The system's error number of an open of the device by hand: 0 when that open worked (so it
  // was a lock or exclusive use that stopped Qt), -1 when the platform has no such probe.
  int Errno = -1;
  // The group that owns the device node (Unix), empty when unknown.
  std::string Group;
};

TOpenFailure ClassifyOpenFailure(QSerialPort::SerialPortError error, int probeErrno);

// The explanation that follows the system's own text in the open failure, or empty for
// failures that have nothing to add.
std::string OpenFailureAdvice(TOpenFailure failure, const std::string& port,
                              const std::string& group);

// The platform part (serial_platform_*.cpp): looks at a device that Qt could not open.
TOpenProbe ProbeOpenFailure(const std::string& port);

// The highest latency timer an adapter may have: the bus master waits for answers in
// milliseconds, so a timer above 1 ms holds every answer back.
constexpr int kMaxLatencyTimerMs = 1;

// The log line for an FTDI adapter whose latency timer stays at `latencyMs` after the
// low-latency request, with the udev rule that lowers it for good and the sysfs line that
// lowers it until the next replug. Nothing when the timer is low enough or unknown (< 0).
std::optional<std::string> LatencyAdvice(const std::string& port, const std::string& sysfsPath,
                                         int latencyMs);

// Remembers which keys were seen, so that a report is made once per port and program run.
class TOncePerKey {
 public:
  // True the first time a key is given.
  bool First(const std::string& key);

 private:
  std::mutex FMutex;
  std::set<std::string> FSeen;
};
