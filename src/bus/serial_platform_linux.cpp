#include <linux/serial.h>
#include <poll.h>
#include <sys/ioctl.h>

#include <QFileInfo>
#include <fstream>
#include <mutex>
#include <set>

#include "bus/qt_serial_line.h"
#include "support/message_sink.h"
#include "support/texts.h"

namespace {

// The sysfs latency timer of an FTDI adapter, or -1 when the port has none.
int FtdiLatencyTimer(const std::string& portName, std::string& sysfsPath) {
  const QString device = QFileInfo(QString::fromStdString(portName)).fileName();
  sysfsPath = "/sys/bus/usb-serial/devices/" + device.toStdString() + "/latency_timer";
  std::ifstream file(sysfsPath);
  int value = -1;
  if (!(file >> value)) return -1;
  return value;
}

}  // namespace

void TunePortLatency(QSerialPort& port, const std::string& portName) {
  const int fd = static_cast<int>(port.handle());
  if (fd >= 0) {
    serial_struct settings{};
    if (ioctl(fd, TIOCGSERIAL, &settings) == 0) {
      settings.flags |= ASYNC_LOW_LATENCY;
      ioctl(fd, TIOCSSERIAL, &settings);  // best effort: not every driver takes it
    }
  }
  std::string sysfsPath;
  const int latency = FtdiLatencyTimer(portName, sysfsPath);
  if (latency > 2) {
    static std::mutex mutex;
    static std::set<std::string> named;
    std::lock_guard<std::mutex> lock(mutex);
    if (named.insert(portName).second)
      ReportMessage(TrText("TQtSerialLine",
                           "ComPort %1: der USB-Adapter sammelt Zeichen %2 ms lang, jede Antwort "
                           "kommt entsprechend später. Abhilfe: echo 1 | sudo tee %3")
                        .Arg(portName)
                        .Arg(latency)
                        .Arg(sysfsPath));
  }
}

bool PortHungUp(QSerialPort& port) {
  const int fd = static_cast<int>(port.handle());
  if (fd < 0) return true;
  pollfd pfd{fd, POLLIN, 0};
  if (poll(&pfd, 1, 0) < 0) return false;
  return (pfd.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}
