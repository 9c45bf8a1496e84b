// Finding a USB adapter again by its identity, on a fake port list: the port a connect opens,
// the name kept afterwards, the identity learnt, and what the log says.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <ostream>

#include "bus/com_port.h"
#include "bus/port_list_cache.h"
#include "bus/serial_devices.h"
#include "bus/serial_factory.h"
#include "fakes/fake_serial_line.h"
#include "fakes/manual_clock.h"
#include "fakes/recording_sink.h"

namespace {

const TUsbIdentity kAdapterA{0x0403, 0x6001, "A10K3J2F"};
const TUsbIdentity kAdapterB{0x0403, 0x6001, "B77Q1X"};
// Adapters without a serial number: every one of the make looks the same.
const TUsbIdentity kTwin{0x1A86, 0x7523, ""};
// A two-port adapter: both ports carry its serial number and sit in its socket.
const TUsbIdentity kDual{0x0403, 0x6010, "FT4D1"};

}  // namespace

// Readable in a failure message.
void PrintTo(const TUsbIdentity& identity, std::ostream* out) {
  *out << '"' << identity.Text() << '"';
}

namespace {

// Two FTDI adapters, two twins, a two-port adapter and a built-in port; "ttyUSB1" is adapter A
// after a replug. The twins sit in the USB sockets 1-1.3 and 1-1.4, the two-port adapter in 1-2.
std::vector<TPortInfo> FakePorts(bool) {
  std::vector<TPortInfo> ports(7);
  ports[0].Name = "ttyS0";
  ports[0].Location = "/dev/ttyS0";
  ports[1].Name = "ttyUSB1";
  ports[1].Location = "/dev/ttyUSB1";
  ports[1].Identity = kAdapterA;
  ports[2].Name = "ttyUSB2";
  ports[2].Location = "/dev/ttyUSB2";
  ports[2].Identity = kAdapterB;
  for (std::size_t i : {3u, 4u}) {
    ports[i].Name = "ttyUSB" + std::to_string(i);
    ports[i].Location = "/dev/" + ports[i].Name;
    ports[i].Identity = kTwin;
    ports[i].Socket = "1-1." + std::to_string(i);
  }
  for (std::size_t i : {5u, 6u}) {
    ports[i].Name = "ttyUSB" + std::to_string(i + 1);
    ports[i].Location = "/dev/" + ports[i].Name;
    ports[i].Identity = kDual;
    ports[i].Socket = "1-2";
  }
  return ports;
}

class PortIdentityTest : public ::testing::Test {
 protected:
  void SetUp() override { FBefore = SetPortLister(FakePorts); }
  void TearDown() override { SetPortLister(FBefore); }

 private:
  TPortLister FBefore;
};

TEST_F(PortIdentityTest, IdentityTextRoundTripsAndRejectsOtherText) {
  EXPECT_EQ(kAdapterA.Text(), "0403:6001:A10K3J2F");
  EXPECT_EQ(TUsbIdentity::FromText(kAdapterA.Text()), kAdapterA);
  const TUsbIdentity noSerial{0x1A86, 0x7523, ""};
  EXPECT_EQ(noSerial.Text(), "1A86:7523:");
  EXPECT_EQ(TUsbIdentity::FromText("1a86:7523:"), noSerial);
  EXPECT_EQ(TUsbIdentity().Text(), "");
  for (const char* bad : {"", "0403", "0403:6001", "403:6001:X", "04G3:6001:X", "0403-6001-X"})
    EXPECT_TRUE(TUsbIdentity::FromText(bad).Empty()) << bad;
}

TEST_F(PortIdentityTest, PortListText) {
  EXPECT_EQ(DescribePort("FTDI", "USB-RS485", kAdapterA), "FTDI USB-RS485 · A10K3J2F");
  EXPECT_EQ(DescribePort("FTDI", "FTDI", kAdapterA), "FTDI · A10K3J2F");
  EXPECT_EQ(DescribePort("wch.cn", "USB Serial", {0x1A86, 0x7523, ""}),
            "wch.cn USB Serial · USB 1A86:7523");
  EXPECT_EQ(DescribePort("", "", TUsbIdentity()), "");
  // Twins are told apart by their socket; a serial number is enough by itself.
  EXPECT_EQ(DescribePort("wch.cn", "USB Serial", {0x1A86, 0x7523, ""}, "1-1.2"),
            "wch.cn USB Serial · USB 1A86:7523 · USB-Anschluss 1-1.2");
  EXPECT_EQ(DescribePort("FTDI", "USB-RS485", kAdapterA, "1-1.2"), "FTDI USB-RS485 · A10K3J2F");
}

TEST_F(PortIdentityTest, LookupOnThePortList) {
  auto names = [](const TUsbIdentity& identity) {
    std::vector<std::string> found;
    for (const TPortInfo& port : PortsCarryingIdentity(identity))
      found.push_back(port.Name);
    return found;
  };
  EXPECT_EQ(names(kAdapterA), std::vector<std::string>{"ttyUSB1"});
  EXPECT_EQ(names(kTwin), (std::vector<std::string>{"ttyUSB3", "ttyUSB4"}));
  EXPECT_TRUE(names({0x0403, 0x6001, "OTHER"}).empty());
  EXPECT_TRUE(names(TUsbIdentity()).empty()) << "the built-in port has no identity";
  EXPECT_TRUE(PortPresent("ttyUSB1"));
  EXPECT_TRUE(PortPresent("/dev/ttyUSB2"));
  EXPECT_FALSE(PortPresent("ttyUSB0"));
  EXPECT_EQ(FindRealPort("/dev/ttyUSB1")->Identity, kAdapterA);
}

// What an open goes to, with the port name and identity the model had, whether the user
// connects or the program reconnects after a replug, and which port another interface is set to.
TEST_F(PortIdentityTest, OpenGoesToThePortThatCarriesTheStoredIdentity) {
  const std::string twinsLine =
      "TCOMPORT : cannot open ttyUSB0\rComPort ttyUSB0 nicht gefunden, und Adapter mit der "
      "Kennung 1A86:7523: gibt es mehrere (ttyUSB3, ttyUSB4): welcher gemeint ist, lässt sich "
      "nicht erkennen. Bitte den Port wählen. ";
  const std::string dualLine =
      "TCOMPORT : cannot open ttyUSB0\rComPort ttyUSB0 nicht gefunden, und Adapter mit der "
      "Kennung 0403:6010:FT4D1 gibt es mehrere (ttyUSB6, ttyUSB7): welcher gemeint ist, lässt "
      "sich nicht erkennen. Bitte den Port wählen. ";
  const TUsbIdentity gone{0x0403, 0x6001, "GONE"};
  struct {
    const char* Port;  // as the model had it, with the identity stored
    TUsbIdentity Stored;
    bool Reconnecting;
    const char* OtherInterface;  // the port another interface is set to
    const char* Opened;          // empty: nothing opened
    TUsbIdentity Learnt;
    const char* Logged;            // the line that logs the new name (which is kept)
    const char* Error;             // what the open throws
    TUsbIdentity OtherWants = {};  // the adapter the other interface looks for
    const char* Socket = "";       // the USB socket stored with the identity
    const char* OtherSocket = "";  // the one the other interface's adapter sat in
  } cases[] = {
      // Renamed on replug: found under its new name.
      {"ttyUSB0", kAdapterA, false, "", "ttyUSB1", kAdapterA,
       "ComPort ttyUSB0 nicht gefunden, der Adapter 0403:6001:A10K3J2F ist jetzt ttyUSB1", ""},
      {"ttyUSB0", kAdapterA, true, "", "ttyUSB1", kAdapterA,
       "ComPort ttyUSB0 nicht gefunden, der Adapter 0403:6001:A10K3J2F ist jetzt ttyUSB1", ""},
      // A name that went to another adapter: the two swapped names.
      {"ttyUSB2", kAdapterA, false, "", "ttyUSB1", kAdapterA,
       "An ComPort ttyUSB2 steckt jetzt ein anderer Adapter (0403:6001:B77Q1X), der Adapter "
       "0403:6001:A10K3J2F ist jetzt ttyUSB1",
       ""},
      {"ttyUSB2", kAdapterA, true, "", "ttyUSB1", kAdapterA,
       "An ComPort ttyUSB2 steckt jetzt ein anderer Adapter (0403:6001:B77Q1X), der Adapter "
       "0403:6001:A10K3J2F ist jetzt ttyUSB1",
       ""},
      {"ttyS0", kAdapterA, true, "", "ttyUSB1", kAdapterA,
       "An ComPort ttyS0 steckt jetzt ein anderer Adapter (ohne USB-Kennung), der Adapter "
       "0403:6001:A10K3J2F ist jetzt ttyUSB1",
       ""},
      // ... and this adapter is nowhere: the user's connect takes the name, a reconnect does not.
      {"ttyUSB2", gone, false, "", "ttyUSB2", kAdapterB,
       "An ComPort ttyUSB2 steckt jetzt ein anderer Adapter (0403:6001:B77Q1X) als beim letzten "
       "Verbinden (0403:6001:GONE), verbunden wird mit ihm",
       ""},
      {"ttyUSB2", gone, true, "", "", gone, "", ""},
      // One of the twins under its own name.
      {"ttyUSB3", kTwin, true, "", "ttyUSB3", kTwin, "", ""},
      // Nothing stored yet: the identity is learnt at the first connect.
      {"/dev/ttyUSB1", TUsbIdentity(), false, "", "/dev/ttyUSB1", kAdapterA, "", ""},
      {"/dev/ttyUSB1", TUsbIdentity(), true, "", "/dev/ttyUSB1", kAdapterA, "", ""},
      // A port without an identity leaves none behind.
      {"ttyS0", gone, false, "", "ttyS0", TUsbIdentity(),
       "An ComPort ttyS0 steckt jetzt ein anderer Adapter (ohne USB-Kennung) als beim letzten "
       "Verbinden (0403:6001:GONE), verbunden wird mit ihm",
       ""},
      // Neither the name nor the adapter is there: the user's connect tries the name.
      {"ttyUSB0", gone, false, "", "", gone, "", "TCOMPORT : cannot open ttyUSB0\rnot listed"},
      {"ttyUSB0", gone, true, "", "", gone, "", ""},
      // Twins: which one is this interface's cannot be told.
      {"ttyUSB0", kTwin, false, "", "", kTwin, "", twinsLine.c_str()},
      {"ttyUSB0", kTwin, true, "", "", kTwin, "", twinsLine.c_str()},
      // ... unless the other one is another interface's.
      {"ttyUSB0", kTwin, true, "ttyUSB3", "ttyUSB4", kTwin,
       "ComPort ttyUSB0 nicht gefunden, der Adapter 1A86:7523: ist jetzt ttyUSB4", ""},
      {"ttyUSB0", kTwin, false, "/dev/ttyUSB4", "ttyUSB3", kTwin,
       "ComPort ttyUSB0 nicht gefunden, der Adapter 1A86:7523: ist jetzt ttyUSB3", ""},
      // An adapter another interface is set to is not taken from it.
      {"ttyUSB0", kAdapterA, true, "/dev/ttyUSB1", "", kAdapterA, "", ""},
      {"ttyUSB0", kAdapterA, false, "ttyUSB1", "", kAdapterA, "",
       "TCOMPORT : cannot open ttyUSB0\rnot listed", kAdapterA},
      // ... but one whose name went to another adapter lays no claim to it (the two swapped).
      {"ttyUSB2", kAdapterA, false, "ttyUSB1", "ttyUSB1", kAdapterA,
       "An ComPort ttyUSB2 steckt jetzt ein anderer Adapter (0403:6001:B77Q1X), der Adapter "
       "0403:6001:A10K3J2F ist jetzt ttyUSB1",
       "", kAdapterB},
      {"ttyUSB2", kAdapterA, true, "ttyUSB1", "ttyUSB1", kAdapterA,
       "An ComPort ttyUSB2 steckt jetzt ein anderer Adapter (0403:6001:B77Q1X), der Adapter "
       "0403:6001:A10K3J2F ist jetzt ttyUSB1",
       "", kAdapterB},
      // Twins are told apart by the socket each sat in, whatever their names now.
      {"ttyUSB0",
       kTwin,
       true,
       "",
       "ttyUSB4",
       kTwin,
       "ComPort ttyUSB0 nicht gefunden, der Adapter 1A86:7523: ist jetzt ttyUSB4",
       "",
       {},
       "1-1.4"},
      {"ttyUSB3", kTwin, true, "", "ttyUSB3", kTwin, "", "", {}, "1-1.3"},
      // ... so twins plugged in the other order find their own bus again.
      {"ttyUSB3", kTwin, false, "ttyUSB4", "ttyUSB4", kTwin,
       "An ComPort ttyUSB3 steckt jetzt ein Adapter derselben Art am USB-Anschluss 1-1.3, der "
       "Adapter 1A86:7523: vom USB-Anschluss 1-1.4 ist jetzt ttyUSB4",
       "", kTwin, "1-1.4", "1-1.3"},
      {"ttyUSB3", kTwin, true, "ttyUSB4", "ttyUSB4", kTwin,
       "An ComPort ttyUSB3 steckt jetzt ein Adapter derselben Art am USB-Anschluss 1-1.3, der "
       "Adapter 1A86:7523: vom USB-Anschluss 1-1.4 ist jetzt ttyUSB4",
       "", kTwin, "1-1.4", "1-1.3"},
      // The twin under the name sits in another interface's socket: that one's, not taken.
      {"ttyUSB3", kTwin, true, "ttyUSB4", "ttyUSB4", kTwin,
       "An ComPort ttyUSB3 steckt jetzt ein Adapter derselben Art am USB-Anschluss 1-1.3, der "
       "Adapter 1A86:7523: vom USB-Anschluss 1-1.1 ist jetzt ttyUSB4",
       "", kTwin, "1-1.1", "1-1.3"},
      // Only this interface's adapter is back, under the name of another's that is still away:
      // its socket tells, the other's name does not.
      {"ttyUSB9", kTwin, true, "ttyUSB3", "ttyUSB3", kTwin,
       "ComPort ttyUSB9 nicht gefunden, der Adapter 1A86:7523: ist jetzt ttyUSB3", "", kTwin,
       "1-1.3", "2-1"},
      // The twin in the socket belongs to another interface: the name is kept.
      {"ttyUSB3", kTwin, true, "ttyUSB4", "ttyUSB3", kTwin, "", "", kTwin, "1-1.4", "1-1.4"},
      {"ttyUSB0", kTwin, false, "ttyUSB3", "ttyUSB3", kTwin,
       "ComPort ttyUSB0 nicht gefunden, der Adapter 1A86:7523: ist jetzt ttyUSB3", "", kTwin,
       "1-1.4", "1-1.4"},
      // An adapter moved to another socket: its name still tells, or nothing does.
      {"ttyUSB3", kTwin, true, "", "ttyUSB3", kTwin, "", "", {}, "2-1"},
      {"ttyUSB0", kTwin, true, "", "", kTwin, "", twinsLine.c_str(), {}, "2-1"},
      // The ports of a two-port adapter share its socket, which cannot tell them apart: their
      // names do, and where both names are gone the user is asked.
      {"ttyUSB6", kDual, true, "ttyUSB7", "ttyUSB6", kDual, "", "", kDual, "1-2", "1-2"},
      {"ttyUSB0", kDual, true, "ttyUSB1", "", kDual, "", dualLine.c_str(), kDual, "1-2", "1-2"},
      {"ttyUSB0", kDual, false, "ttyUSB7", "ttyUSB6", kDual,
       "ComPort ttyUSB0 nicht gefunden, der Adapter 0403:6010:FT4D1 ist jetzt ttyUSB6", "", kDual,
       "1-2", "1-2"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.Port) + (c.Reconnecting ? " reconnecting" : "") + " other " +
                 c.OtherInterface);
    TManualClock clock;
    TFakeBus bus(clock);
    bus.OpenError = "not listed";
    TRecordingSink sink;
    TComPort other;
    other.SetPort(*c.OtherInterface ? c.OtherInterface : "COM1");
    other.SetIdentity(c.OtherWants);
    other.SetUsbSocket(c.OtherSocket);
    TComPort port;
    port.SetLineCreator([&] {
      // Only the ports of the list can be opened.
      bus.FailOpen = !PortPresent(port.Port());
      return bus.MakeLine();
    });
    port.SetPort(c.Port);
    port.SetIdentity(c.Stored);
    port.SetUsbSocket(c.Socket);
    std::string error;
    try {
      port.Open(c.Reconnecting);
    } catch (const EComError& e) {
      error = e.what();
    }
    EXPECT_EQ(error, c.Error);
    EXPECT_EQ(port.Connected(), *c.Opened != 0);
    if (*c.Opened) {
      EXPECT_EQ(port.OpenPort(), c.Opened);
      EXPECT_EQ(port.Port(), c.Opened);
    } else {
      EXPECT_EQ(port.Port(), c.Port);
    }
    EXPECT_EQ(port.Identity(), c.Learnt);
    // The socket is learnt with the identity.
    const std::optional<TPortInfo> opened = FindRealPort(c.Opened);
    EXPECT_EQ(port.UsbSocket(), !*c.Opened ? c.Socket : opened ? opened->Socket : "");
    if (*c.Logged) {
      ASSERT_EQ(sink.Lines().size(), 1u);
      EXPECT_EQ(sink.Lines().front().rfind(c.Logged, 0), 0u) << sink.Lines().front();
    } else {
      EXPECT_TRUE(sink.Lines().empty()) << sink.Lines().front();
    }
    port.Close();
  }
}

#ifdef __linux__
// The socket an adapter sits in, from a tree laid out as the kernel's: a USB serial converter, a
// modem-class adapter, a built-in port, and what is not there.
TEST(UsbSocketTest, FoundAboveThePortsDevice) {
  namespace fs = std::filesystem;
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const fs::path sys = dir.path().toStdString();
  const fs::path bus = sys / "devices/pci0000:00/0000:00:14.0/usb1";
  const auto usbDevice = [](const fs::path& at) {
    fs::create_directories(at);
    std::ofstream(at / "busnum") << "1\n";
    std::ofstream(at / "devpath") << "x\n";
  };
  usbDevice(bus);  // the root hub has them too
  usbDevice(bus / "1-1");
  usbDevice(bus / "1-1/1-1.2");
  usbDevice(bus / "1-3");
  const struct {
    const char* Port;
    const char* Device;  // what /sys/class/tty/<name>/device points to; empty: no such entry
    const char* Socket;
  } cases[] = {
      {"ttyUSB0", "1-1/1-1.2/1-1.2:1.0/ttyUSB0", "1-1.2"},
      {"/dev/ttyUSB0", "1-1/1-1.2/1-1.2:1.0/ttyUSB0", "1-1.2"},
      {"ttyACM0", "1-3/1-3:1.0", "1-3"},
      {"ttyS0", "", ""},
      {"ttyUSB9", nullptr, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Port);
    const fs::path name = fs::path(c.Port).filename();
    const fs::path entry = sys / "class/tty" / name;
    fs::remove_all(entry);
    if (c.Device) {
      fs::create_directories(entry);
      const fs::path target =
          *c.Device ? bus / c.Device : sys / "devices/platform/serial8250/tty" / name;
      fs::create_directories(target);
      fs::create_directory_symlink(target, entry / "device");
    }
    EXPECT_EQ(UsbSocketOf(c.Port, sys.string()), c.Socket);
  }
  EXPECT_EQ(UsbSocketOf("ttyUSB0", (sys / "none").string()), "");
}

// The latency timer is looked up under the device's own name, also when the user typed a link to
// it, so that the advice on a slow timer reaches those who use the stable names too.
TEST(UsbSocketTest, LatencyTimerOfTheDeviceBehindALink) {
  namespace fs = std::filesystem;
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const fs::path dev = dir.path().toStdString();
  std::ofstream(dev / "ttyUSB3") << "";
  fs::create_directories(dev / "serial/by-id");
  const fs::path link = dev / "serial/by-id/usb-FTDI_USB-RS485_A10K3J2F-if00-port0";
  fs::create_symlink("../../ttyUSB3", link);
  const fs::path dangling = dev / "serial/by-id/usb-gone-port0";
  fs::create_symlink("../../ttyUSB9", dangling);
  const auto timer = [](const char* device) {
    return "/sys/bus/usb-serial/devices/" + std::string(device) + "/latency_timer";
  };
  EXPECT_EQ(LatencyTimerPath("ttyUSB0"), timer("ttyUSB0"));
  EXPECT_EQ(LatencyTimerPath((dev / "ttyUSB3").string()), timer("ttyUSB3"));
  EXPECT_EQ(LatencyTimerPath(link.string()), timer("ttyUSB3"));
  EXPECT_EQ(LatencyTimerPath(dangling.string()), timer("usb-gone-port0"));
}
#endif

// The system's port list is made afresh only when the devices changed, while a device that came
// may still be getting its properties, or when it is old.
TEST(PortListCacheTest, ListsAgainOnlyWhenTheDevicesMayHaveChanged) {
  using TFingerprint = std::optional<TDevicesFingerprint>;
  const TFingerprint a{{"a:1"}}, ab{{"a:1", "b:2"}}, none{TDevicesFingerprint{}};
  struct {
    int64_t AtMs;
    TFingerprint Fingerprint;
    bool Lists;
  } steps[] = {
      {0, a, true},     // what is there at the start may be settling too
      {100, a, false},  // the checks of many interfaces in the same moment
      {600, a, true},
      {4999, a, true},
      {5200, a, false},
      {5600, a, true},  // the first list made after settling
      {6000, a, false},
      {35599, a, false},
      {35600, a, true},   // too old
      {36000, ab, true},  // a device came
      {36200, ab, false},
      {36800, ab, true},
      {37000, a, true},  // one went, while the other is still settling
      {37600, a, true},
      {41600, a, true},
      {42000, a, false},
      {43000, none, true},  // one went: the list made now is good and stays so
      {43100, none, false},
      {43600, none, false},
      {43700, std::nullopt, true},  // no fingerprint: kept for the checks of one moment only
      {43800, std::nullopt, false},
      {44300, std::nullopt, true},
      {44400, none, true},  // what changed meanwhile is not known
      {44500, none, false},
  };
  TManualClock clock(0);
  TFingerprint fingerprint;
  int listed = 0;
  TPortListCache cache(
      [&] { return fingerprint; },
      [&] {
        ++listed;
        return std::vector<TPortInfo>{TPortInfo{std::to_string(listed), "", {}, "", ""}};
      },
      clock);
  for (const auto& step : steps) {
    SCOPED_TRACE(step.AtMs);
    clock.AdvanceTo(step.AtMs * 1000);
    fingerprint = step.Fingerprint;
    const int before = listed;
    const std::vector<TPortInfo> ports = cache.Ports();
    EXPECT_EQ(listed - before, step.Lists ? 1 : 0);
    // Always the latest list.
    ASSERT_EQ(ports.size(), 1u);
    EXPECT_EQ(ports[0].Name, std::to_string(listed));
  }
  // The very first call lists, also without a fingerprint and at the clock's start.
  TManualClock start(0);
  TPortListCache first([] { return TFingerprint(); }, [] { return std::vector<TPortInfo>(1); },
                       start);
  EXPECT_EQ(first.Ports().size(), 1u);
}

}  // namespace
