#include "bus/serial_factory.h"

#include <QSerialPort>
#include <QSerialPortInfo>
#include <mutex>

#include "bus/qt_serial_line.h"
#include "support/conversions.h"

namespace {

struct TRegistration {
  std::string Name;
  std::string Description;
  TSerialLineCreator Creator;
};

std::mutex GMutex;
std::vector<TRegistration> GRegistrations;

std::string Describe(const QSerialPortInfo& info) {
  std::string text = info.description().toStdString();
  if (!info.manufacturer().isEmpty()) {
    if (!text.empty()) text += ", ";
    text += info.manufacturer().toStdString();
  }
  if (info.hasVendorIdentifier() && info.hasProductIdentifier()) {
    if (!text.empty()) text += " ";
    text += "(USB " +
            UpperCase(
                QString::number(info.vendorIdentifier(), 16).rightJustified(4, '0').toStdString()) +
            ":" +
            UpperCase(
                QString::number(info.productIdentifier(), 16).rightJustified(4, '0').toStdString());
    if (!info.serialNumber().isEmpty()) text += " " + info.serialNumber().toStdString();
    text += ")";
  }
  return text;
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

std::vector<TPortInfo> EnumRealComPorts() {
  std::vector<TPortInfo> ports;
  for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
    // Only ports that can be opened now: one in use, or a device node without hardware behind
    // it, is of no use to the user.
    QSerialPort probe(info);
    if (!probe.open(QIODevice::ReadWrite)) continue;
    probe.close();
    ports.push_back({info.portName().toStdString(), Describe(info)});
  }
  return ports;
}

std::vector<TPortInfo> EnumComPortInfos() {
  std::vector<TPortInfo> ports = EnumRealComPorts();
  std::lock_guard<std::mutex> lock(GMutex);
  for (const TRegistration& r : GRegistrations)
    ports.push_back({r.Name, r.Description});
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
