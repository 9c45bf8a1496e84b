#include "bus/port_reader.h"

// Qt's blocking wait serves there.
std::unique_ptr<TPortReader> MakePortReader(QSerialPort&) {
  return nullptr;
}
