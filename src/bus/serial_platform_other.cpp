#include "bus/port_list_cache.h"
#include "bus/qt_serial_line.h"
#include "bus/serial_errors.h"

// Other platforms' drivers deliver received characters promptly by themselves.
void TunePortLatency(QSerialPort&, const std::string&) {}

// Qt reports a vanished port there as a resource error by itself.
bool PortHungUp(QSerialPort&) {
  return false;
}

// Qt's error kind is all there is: access is refused there only to a port in use.
TOpenProbe ProbeOpenFailure(const std::string&) {
  return TOpenProbe{};
}

// Windows gives an adapter without a serial number a port name per USB socket; elsewhere the
// socket is not looked up.
std::string UsbSocketOf(const std::string&, const std::string&) {
  return {};
}

#ifndef _WIN32
// No cheap way to tell there that the devices changed: a list serves only the checks of one
// moment (many interfaces waiting for their adapters look at about the same time).
std::optional<TDevicesFingerprint> SerialDevicesFingerprint() {
  return std::nullopt;
}
#endif
