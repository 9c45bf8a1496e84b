#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFileInfo>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <vector>

#include "bus/port_list_cache.h"
#include "bus/qt_serial_line.h"
#include "bus/serial_errors.h"
#include "support/message_sink.h"
#include "support/texts.h"

namespace {

// The timer in ms, or -1 when the port has none.
int ReadLatencyTimer(const std::string& sysfsPath) {
  std::ifstream file(sysfsPath);
  int value = -1;
  if (!(file >> value)) return -1;
  return value;
}

std::string DevicePath(const std::string& port) {
  return port.find('/') == std::string::npos ? "/dev/" + port : port;
}

std::string GroupName(gid_t gid) {
  std::vector<char> buffer(16384);
  group entry{};
  group* found = nullptr;
  if (getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found) != 0 || !found) return {};
  return found->gr_name;
}

}  // namespace

std::string LatencyTimerPath(const std::string& portName) {
  const QFileInfo typed(QString::fromStdString(portName));
  const QString resolved =
      portName.find('/') == std::string::npos ? QString() : typed.canonicalFilePath();
  const QString device = resolved.isEmpty() ? typed.fileName() : QFileInfo(resolved).fileName();
  return "/sys/bus/usb-serial/devices/" + device.toStdString() + "/latency_timer";
}

void TunePortLatency(QSerialPort& port, const std::string& portName) {
  const int fd = static_cast<int>(port.handle());
  if (fd >= 0) {
    serial_struct settings{};
    if (ioctl(fd, TIOCGSERIAL, &settings) == 0) {
      settings.flags |= ASYNC_LOW_LATENCY;
      ioctl(fd, TIOCSSERIAL, &settings);  // best effort: not every driver takes it
    }
  }
  // Newer FTDI drivers lower their timer to 1 ms on that request; older ones keep 16 ms.
  const std::string sysfsPath = LatencyTimerPath(portName);
  const std::optional<std::string> advice =
      LatencyAdvice(portName, sysfsPath, ReadLatencyTimer(sysfsPath));
  static TOncePerKey named;
  if (advice && named.First(portName)) ReportMessage(*advice);
}

bool PortHungUp(QSerialPort& port) {
  const int fd = static_cast<int>(port.handle());
  if (fd < 0) return true;
  pollfd pfd{fd, POLLIN, 0};
  if (poll(&pfd, 1, 0) < 0) return false;
  return (pfd.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

TOpenProbe ProbeOpenFailure(const std::string& port) {
  TOpenProbe probe;
  const std::string path = DevicePath(port);
  struct stat info {};
  if (stat(path.c_str(), &info) == 0) probe.Group = GroupName(info.st_gid);
  const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    probe.Errno = errno;
    return probe;
  }
  close(fd);
  probe.Errno = 0;
  return probe;
}

std::optional<TDevicesFingerprint> SerialDevicesFingerprint() {
  // Every serial device has an entry here; one made anew (a replug under the same name) has a
  // new inode number.
  DIR* dir = opendir("/sys/class/tty");
  if (!dir) return std::nullopt;
  TDevicesFingerprint fingerprint;
  while (const dirent* entry = readdir(dir))
    fingerprint.insert(std::string(entry->d_name) + ':' + std::to_string(entry->d_ino));
  closedir(dir);
  return fingerprint;
}

std::string UsbSocketOf(const std::string& portName, const std::string& sysfsRoot) {
  namespace fs = std::filesystem;
  const std::string device = QFileInfo(QString::fromStdString(portName)).fileName().toStdString();
  if (device.empty()) return {};
  std::error_code error;
  const fs::path root = fs::canonical(sysfsRoot, error);
  if (error) return {};
  // The port's device lies below its USB interface ("1-1.2:1.0"), which lies below the USB
  // device, the first one up that has a bus number.
  fs::path at = fs::canonical(fs::path(sysfsRoot) / "class" / "tty" / device / "device", error);
  if (error) return {};
  for (int depth = 0; depth < 32 && at.has_relative_path() && at != root; ++depth) {
    if (fs::exists(at / "busnum", error) && fs::exists(at / "devpath", error))
      return at.filename().string();
    at = at.parent_path();
  }
  return {};
}
