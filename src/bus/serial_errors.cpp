#include "bus/serial_errors.h"

#include <cerrno>

#include "support/texts.h"

TOpenFailure ClassifyOpenFailure(QSerialPort::SerialPortError error, int probeErrno) {
  if (error == QSerialPort::DeviceNotFoundError) return TOpenFailure::NotFound;
  switch (probeErrno) {
    case EACCES:
    case EPERM:
      return TOpenFailure::PermissionDenied;
    case EBUSY:
      return TOpenFailure::Busy;
    case ENOENT:
    case ENODEV:
    case ENXIO:
      return TOpenFailure::NotFound;
    default:
      break;
  }
  // Qt says "permission" also when another program holds the port: its lock file, or exclusive
  // use, which the device grants only to the first opener. An open by hand that works, or a
  // platform where access is refused only to a port in use, means exactly that.
  if (error == QSerialPort::PermissionError && probeErrno <= 0) return TOpenFailure::Busy;
  return TOpenFailure::Other;
}

std::string OpenFailureAdvice(TOpenFailure failure, const std::string& port,
                              const std::string& group) {
  switch (failure) {
    case TOpenFailure::PermissionDenied: {
      // Adding a user to the root group would be bad advice; the serial-port group it is.
      const bool ownGroup = !group.empty() && group != "root" && group != "dialout";
      const std::string name = ownGroup ? group : "dialout";
      if (ownGroup)
        return TrText("TQtSerialLine",
                      "Keine Berechtigung für %1. Abhilfe: das Benutzerkonto in die Gruppe \"%2\" "
                      "aufnehmen, der das Gerät gehört: sudo usermod -aG %2 $USER, danach ab- und "
                      "wieder anmelden.")
            .Arg(port)
            .Arg(name);
      return TrText("TQtSerialLine",
                    "Keine Berechtigung für %1. Abhilfe: das Benutzerkonto in die Gruppe der "
                    "seriellen Schnittstellen aufnehmen (unter Debian und Ubuntu \"dialout\"): "
                    "sudo usermod -aG %2 $USER, danach ab- und wieder anmelden.")
          .Arg(port)
          .Arg(name);
    }
    case TOpenFailure::Busy:
      return TrText("TQtSerialLine",
                    "ComPort %1 ist belegt: ein anderes Programm hat ihn geöffnet (etwa ein "
                    "Terminalprogramm oder ein zweites KavorConfig). Erst dort schließen, dann "
                    "erneut verbinden.")
          .Arg(port);
    case TOpenFailure::NotFound:
    case TOpenFailure::Other:
      break;
  }
  return std::string();
}

std::optional<std::string> LatencyAdvice(const std::string& port, const std::string& sysfsPath,
                                         int latencyMs) {
  if (latencyMs <= kMaxLatencyTimerMs) return std::nullopt;
  return TrText("TQtSerialLine",
                "ComPort %1: der USB-Adapter sammelt Zeichen %2 ms lang, jede Antwort kommt "
                "entsprechend später. Dauerhaft abhelfen mit einer udev-Regel, etwa "
                "/etc/udev/rules.d/99-ftdi-latency.rules mit der Zeile ACTION==\"add\", "
                "SUBSYSTEM==\"usb-serial\", DRIVER==\"ftdi_sio\", ATTR{latency_timer}=\"1\" "
                "(wirkt ab dem nächsten Einstecken); bis dahin: echo 1 | sudo tee %3")
      .Arg(port)
      .Arg(latencyMs)
      .Arg(sysfsPath)
      .Shown();
}

bool TOncePerKey::First(const std::string& key) {
  std::lock_guard<std::mutex> lock(FMutex);
  return FSeen.insert(key).second;
}
