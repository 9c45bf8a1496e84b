#include "bus/serial_factory.h"

#include <QFileInfo>
#include <QSerialPort>
#include <QSerialPortInfo>
#include <mutex>
#include <utility>

#include "bus/port_list_cache.h"
#include "bus/qt_serial_line.h"
#include "bus/serial_devices.h"
#include "support/conversions.h"
#include "support/texts.h"

namespace {

struct TRegistration {
  std::string Name;
  std::string Description;
  TSerialLineCreator Creator;
};

std::mutex GMutex;
std::vector<TRegistration> GRegistrations;

TPortLister GLister;

std::string Hex4(uint16_t value) {
  return UpperCase(QString::number(value, 16).rightJustified(4, '0').toStdString());
}

}  // namespace

std::string DescribePort(const std::string& manufacturer, const std::string& description,
                         const TUsbIdentity& identity, const std::string& socket) {
  std::string text = manufacturer;
  if (!description.empty() && description != text) {
    if (!text.empty()) text += " ";
    text += description;
  }
  if (!identity.SerialNumber.empty()) {
    text += (text.empty() ? "" : " · ") + identity.SerialNumber;
  } else if (!identity.Empty()) {
    text += (text.empty() ? "" : " · ") +
            ("USB " + Hex4(identity.VendorId) + ":" + Hex4(identity.ProductId));
    if (!socket.empty()) text += " · " + TrText("TComPort", "USB-Anschluss %1").Arg(socket).Shown();
  }
  return text;
}

namespace {

std::vector<TPortInfo> SystemPorts(bool openableOnly) {
  std::vector<TPortInfo> ports;
  for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
    if (openableOnly) {
      // Only ports that can be opened now: one in use, or a device node without hardware
      // behind it, is of no use to the user.
      QSerialPort probe(info);
      if (!probe.open(QIODevice::ReadWrite)) continue;
      probe.close();
    }
    TPortInfo port;
    port.Name = info.portName().toStdString();
    if (info.hasVendorIdentifier()) port.Identity.VendorId = info.vendorIdentifier();
    if (info.hasProductIdentifier()) port.Identity.ProductId = info.productIdentifier();
    port.Identity.SerialNumber = info.serialNumber().toStdString();
    if (info.systemLocation().toStdString() != port.Name)
      port.Location = info.systemLocation().toStdString();
    if (!port.Identity.Empty()) port.Socket = UsbSocketOf(info.systemLocation().toStdString());
    port.Description = DescribePort(info.manufacturer().toStdString(),
                                    info.description().toStdString(), port.Identity, port.Socket);
    ports.push_back(std::move(port));
  }
  return ports;
}

std::vector<TPortInfo> ListPorts(bool openableOnly) {
  TPortLister lister;
  {
    std::lock_guard<std::mutex> lock(GMutex);
    lister = GLister;
  }
  if (lister) return lister(openableOnly);
  // Whether a port can be opened changes without the devices changing: that list is made
  // afresh each time.
  if (openableOnly) return SystemPorts(true);
  static TPortListCache cache(SerialDevicesFingerprint, [] { return SystemPorts(false); });
  return cache.Ports();
}

bool SameName(const std::string& a, const std::string& b) {
#ifdef _WIN32
  return UpperCase(a) == UpperCase(b);
#else
  return a == b;
#endif
}

}  // namespace

void RegisterSerialLine(const std::string& portName, const std::string& description,
                        TSerialLineCreator creator) {
  std::lock_guard<std::mutex> lock(GMutex);
  for (TRegistration& r : GRegistrations) {
    if (UpperCase(r.Name) == UpperCase(portName)) {
      r.Description = description;
      r.Creator = std::move(creator);
      return;
    }
  }
  GRegistrations.push_back({portName, description, std::move(creator)});
}

void UnregisterSerialLine(const std::string& portName) {
  std::lock_guard<std::mutex> lock(GMutex);
  for (auto it = GRegistrations.begin(); it != GRegistrations.end(); ++it) {
    if (UpperCase(it->Name) == UpperCase(portName)) {
      GRegistrations.erase(it);
      return;
    }
  }
}

std::unique_ptr<TSerialLine> CreateSerialLine(const std::string& portName) {
  {
    std::lock_guard<std::mutex> lock(GMutex);
    for (const TRegistration& r : GRegistrations)
      if (UpperCase(r.Name) == UpperCase(portName)) return r.Creator();
  }
  return std::make_unique<TQtSerialLine>();
}

std::string TUsbIdentity::Text() const {
  if (Empty()) return std::string();
  return Hex4(VendorId) + ":" + Hex4(ProductId) + ":" + SerialNumber;
}

TUsbIdentity TUsbIdentity::FromText(const std::string& text) {
  TUsbIdentity identity;
  const std::size_t first = text.find(':');
  const std::size_t second = first == std::string::npos ? first : text.find(':', first + 1);
  if (second == std::string::npos || first != 4 || second != 9) return identity;
  bool vendorOk = false;
  bool productOk = false;
  const uint vendor = QString::fromStdString(text.substr(0, 4)).toUInt(&vendorOk, 16);
  const uint product = QString::fromStdString(text.substr(5, 4)).toUInt(&productOk, 16);
  if (!vendorOk || !productOk) return identity;
  identity.VendorId = static_cast<uint16_t>(vendor);
  identity.ProductId = static_cast<uint16_t>(product);
  identity.SerialNumber = text.substr(10);
  return identity;
}

TPortLister SetPortLister(TPortLister lister) {
  std::lock_guard<std::mutex> lock(GMutex);
  return std::exchange(GLister, std::move(lister));
}

std::vector<TPortInfo> EnumRealComPorts() {
  return ListPorts(true);
}

bool PortIsNamed(const TPortInfo& port, const std::string& portName) {
  return SameName(port.Name, portName) || (!port.Location.empty() && port.Location == portName);
}

std::optional<TPortInfo> FindRealPort(const std::string& portName) {
  for (TPortInfo& port : ListPorts(false))
    if (PortIsNamed(port, portName)) return std::move(port);
  return std::nullopt;
}

std::vector<TPortInfo> PortsCarryingIdentity(const TUsbIdentity& identity) {
  std::vector<TPortInfo> found;
  if (identity.Empty()) return found;
  for (TPortInfo& port : ListPorts(false))
    if (port.Identity == identity) found.push_back(std::move(port));
  return found;
}

bool PortPresent(const std::string& portName) {
  {
    std::lock_guard<std::mutex> lock(GMutex);
    for (const TRegistration& r : GRegistrations)
      if (UpperCase(r.Name) == UpperCase(portName)) return true;
  }
  if (FindRealPort(portName)) return true;
  // A typed path: a link to a device, a pseudo-terminal.
  return portName.find('/') != std::string::npos &&
         QFileInfo::exists(QString::fromStdString(portName));
}

std::vector<TPortInfo> RegisteredPortInfos() {
  std::vector<TPortInfo> ports;
  std::lock_guard<std::mutex> lock(GMutex);
  for (const TRegistration& r : GRegistrations) {
    TPortInfo port;
    port.Name = r.Name;
    port.Description = r.Description;
    ports.push_back(std::move(port));
  }
  return ports;
}

std::vector<TPortInfo> EnumComPortInfos() {
  std::vector<TPortInfo> ports = EnumRealComPorts();
  for (TPortInfo& port : RegisteredPortInfos())
    ports.push_back(std::move(port));
  return ports;
}

int EnumComPorts(std::vector<std::string>& list) {
  int count = 0;
  for (const TPortInfo& info : EnumRealComPorts()) {
    list.push_back(info.Name);
    ++count;
  }
  return count;
}
