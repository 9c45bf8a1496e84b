#pragma once
// Makes serial lines by port name. Real ports are Qt SerialPort lines; programs register other
// lines (the simulated bus as "SIM") so that bus/ never depends on them.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "bus/serial_line.h"

using TSerialLineCreator = std::function<std::unique_ptr<TSerialLine>()>;

// What tells one USB adapter from another across replugs, as the operating system reports it.
struct TUsbIdentity {
  uint16_t VendorId = 0;
  uint16_t ProductId = 0;
  std::string SerialNumber;

  bool Empty() const { return VendorId == 0 && ProductId == 0 && SerialNumber.empty(); }
  bool operator==(const TUsbIdentity& other) const = default;
  // "0403:6001:A10K3J2F" (the serial number may be empty), as the model file keeps it.
  std::string Text() const;
  // Reads Text(); an empty identity for anything else.
  static TUsbIdentity FromText(const std::string& text);
};

struct TPortInfo {
  std::string Name;
  std::string Description;  // with the USB identity where known
  TUsbIdentity Identity;
  std::string Location;  // the device path ("/dev/ttyUSB0"), where it differs from the name
  std::string Socket;    // the USB socket the adapter sits in, where known (UsbSocketOf)
};

// "FTDI USB-RS485 · A10K3J2F": who made the adapter, what it is, and what tells it from its
// twin (the serial number, else the USB vendor and product id).
// Of twins (no serial number) the socket tells which is which.
std::string DescribePort(const std::string& manufacturer, const std::string& description,
                         const TUsbIdentity& identity, const std::string& socket = {});

// The ports the operating system knows; with `openableOnly` only those that can be opened now
// (that check opens each port). Tests put in a fake list.
using TPortLister = std::function<std::vector<TPortInfo>(bool openableOnly)>;
// Replaces the port list (an empty one restores the system's) and returns the one before.
TPortLister SetPortLister(TPortLister lister);

// Registers a line under a port name (matched without regard to case). Listed after the real
// ports, in the order of registration.
void RegisterSerialLine(const std::string& portName, const std::string& description,
                        TSerialLineCreator creator);
void UnregisterSerialLine(const std::string& portName);

// A new, closed line for the port: a registered one, else a Qt SerialPort line.
std::unique_ptr<TSerialLine> CreateSerialLine(const std::string& portName);

// The real ports of this machine that can be opened now.
std::vector<TPortInfo> EnumRealComPorts();
// The registered lines, named as the port list shows them.
std::vector<TPortInfo> RegisteredPortInfos();
// The real ports, then the registered ones.
std::vector<TPortInfo> EnumComPortInfos();
// The real port of this name (or device path), if the operating system lists it.
std::optional<TPortInfo> FindRealPort(const std::string& portName);
// The real ports carrying this USB identity; none for an empty one. Adapters without a serial
// number carry the same identity as every other of their kind, and so do clones sharing one.
std::vector<TPortInfo> PortsCarryingIdentity(const TUsbIdentity& identity);
// Whether the port is the one of this name or device path.
bool PortIsNamed(const TPortInfo& port, const std::string& portName);
// Whether a line can be made for the port name now: a registered line, a listed port, or an
// existing device path.
bool PortPresent(const std::string& portName);

// Appends the names of the real ports that can be opened now and returns how many it appended.
int EnumComPorts(std::vector<std::string>& list);
