#include "bus/qt_serial_line.h"

// Other platforms' drivers deliver received characters promptly by themselves.
void TunePortLatency(QSerialPort&, const std::string&) {}
