#include "bus/qt_serial_line.h"

// Other platforms' drivers deliver received characters promptly by themselves.
void TunePortLatency(QSerialPort&, const std::string&) {}

// Qt reports a vanished port there as a resource error by itself.
bool PortHungUp(QSerialPort&) {
  return false;
}
