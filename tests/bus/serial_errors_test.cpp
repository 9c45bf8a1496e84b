// What the user is told when a port cannot be used as it is: the kind of an open failure, the
// advice that goes with it, and the latency-timer advice.
#include <gtest/gtest.h>

#include <cerrno>

#include "bus/qt_serial_line.h"
#include "bus/serial_errors.h"

#ifndef _WIN32
#include "fakes/pty_card.h"
#endif

namespace {

TEST(SerialErrorsTest, OpenFailuresAreToldApartByQtsKindAndAnOpenByHand) {
  struct TCase {
    QSerialPort::SerialPortError Error;
    int ProbeErrno;
    TOpenFailure Expected;
  };
  const TCase cases[] = {
      {QSerialPort::DeviceNotFoundError, -1, TOpenFailure::NotFound},
      {QSerialPort::DeviceNotFoundError, EACCES, TOpenFailure::NotFound},
      {QSerialPort::PermissionError, EACCES, TOpenFailure::PermissionDenied},
      {QSerialPort::OpenError, EPERM, TOpenFailure::PermissionDenied},
      {QSerialPort::PermissionError, EBUSY, TOpenFailure::Busy},
      // Qt's lock file or exclusive use stopped it, although the device itself opens.
      {QSerialPort::PermissionError, 0, TOpenFailure::Busy},
      // No probe on the platform: access refused means the port is in use.
      {QSerialPort::PermissionError, -1, TOpenFailure::Busy},
      {QSerialPort::ResourceError, ENOENT, TOpenFailure::NotFound},
      {QSerialPort::OpenError, ENXIO, TOpenFailure::NotFound},
      {QSerialPort::OpenError, EIO, TOpenFailure::Other},
      {QSerialPort::UnknownError, 0, TOpenFailure::Other},
  };
  for (const TCase& c : cases)
    EXPECT_EQ(ClassifyOpenFailure(c.Error, c.ProbeErrno), c.Expected)
        << "Qt error " << c.Error << ", errno " << c.ProbeErrno;
}

TEST(SerialErrorsTest, AdviceNamesTheFix) {
  struct TCase {
    TOpenFailure Failure;
    const char* Group;
    std::vector<std::string> Contains;  // empty: no advice at all
  };
  const std::vector<TCase> cases = {
      {TOpenFailure::PermissionDenied,
       "dialout",
       {"Keine Berechtigung für /dev/ttyUSB0", "\"dialout\"", "Debian und Ubuntu",
        "sudo usermod -aG dialout $USER", "ab- und wieder anmelden"}},
      {TOpenFailure::PermissionDenied, "", {"sudo usermod -aG dialout $USER", "Debian und Ubuntu"}},
      // Never advise joining root's group.
      {TOpenFailure::PermissionDenied, "root", {"sudo usermod -aG dialout $USER"}},
      {TOpenFailure::PermissionDenied,
       "uucp",
       {"Gruppe \"uucp\"", "sudo usermod -aG uucp $USER", "ab- und wieder anmelden"}},
      {TOpenFailure::Busy, "dialout", {"ComPort /dev/ttyUSB0 ist belegt", "anderes Programm"}},
      {TOpenFailure::NotFound, "dialout", {}},
      {TOpenFailure::Other, "dialout", {}},
  };
  for (const TCase& c : cases) {
    const std::string advice = OpenFailureAdvice(c.Failure, "/dev/ttyUSB0", c.Group);
    if (c.Contains.empty()) {
      EXPECT_EQ(advice, "");
    }
    for (const std::string& part : c.Contains)
      EXPECT_NE(advice.find(part), std::string::npos) << part << " missing in: " << advice;
    EXPECT_EQ(advice.find('\r'), std::string::npos) << "one line";
  }
  EXPECT_EQ(
      OpenFailureAdvice(TOpenFailure::PermissionDenied, "/dev/ttyUSB0", "root").find("-aG root"),
      std::string::npos);
}

TEST(SerialErrorsTest, LatencyAdviceAboveOneMillisecond) {
  const std::string path = "/sys/bus/usb-serial/devices/ttyUSB0/latency_timer";
  for (const int latency : {-1, 0, 1})
    EXPECT_FALSE(LatencyAdvice("/dev/ttyUSB0", path, latency)) << latency;
  for (const int latency : {2, 16}) {
    const std::optional<std::string> advice = LatencyAdvice("/dev/ttyUSB0", path, latency);
    ASSERT_TRUE(advice) << latency;
    for (const std::string& part :
         {std::string("ComPort /dev/ttyUSB0"), std::to_string(latency) + " ms", std::string("udev"),
          std::string("ATTR{latency_timer}=\"1\""), "echo 1 | sudo tee " + path})
      EXPECT_NE(advice->find(part), std::string::npos) << part << " missing in: " << *advice;
  }
}

TEST(SerialErrorsTest, OncePerPort) {
  TOncePerKey once;
  EXPECT_TRUE(once.First("/dev/ttyUSB0"));
  EXPECT_FALSE(once.First("/dev/ttyUSB0"));
  EXPECT_TRUE(once.First("/dev/ttyUSB1"));
  EXPECT_FALSE(once.First("/dev/ttyUSB1"));
}

#ifndef _WIN32
// A second program on a port in use: the user learns that it is busy, not only that it failed.
TEST(SerialErrorsTest, APortInUseIsReportedAsBusy) {
  TPtyCard card([](const std::string&) { return std::optional<std::string>(); });
  ASSERT_TRUE(card.Ok());
  TQtSerialLine first;
  first.Open(card.SlavePath(), 9600);
  TQtSerialLine second;
  try {
    second.Open(card.SlavePath(), 9600);
    FAIL() << "the second open worked";
  } catch (const EComError& e) {
    const std::string text = e.what();
    EXPECT_EQ(text.rfind("TCOMPORT : cannot open " + card.SlavePath() + "\r", 0), 0u) << text;
    EXPECT_NE(text.find("ComPort " + card.SlavePath() + " ist belegt"), std::string::npos) << text;
  }
  first.Close();
  second.Open(card.SlavePath(), 9600);
  EXPECT_TRUE(second.IsOpen());
}

// A model without a baud rate: the line says what to choose instead of Qt's bare complaint, and
// the port stays free for a second try.
TEST(SerialErrorsTest, NoBaudRateSaysWhatToChoose) {
  TPtyCard card([](const std::string&) { return std::optional<std::string>(); });
  ASSERT_TRUE(card.Ok());
  TQtSerialLine line;
  try {
    line.Open(card.SlavePath(), 0);
    FAIL() << "opened at 0 baud";
  } catch (const EComError& e) {
    const std::string text = e.what();
    EXPECT_EQ(text.rfind("TCOMPORT : cannot open " + card.SlavePath() + "\r", 0), 0u) << text;
    EXPECT_NE(text.find("keine Baudrate eingestellt (0): 9600 oder 19200"), std::string::npos)
        << text;
  }
  EXPECT_FALSE(line.IsOpen());
  line.Open(card.SlavePath(), 19200);
  EXPECT_TRUE(line.IsOpen());
}
#endif

}  // namespace
