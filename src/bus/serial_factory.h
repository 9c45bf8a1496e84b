#pragma once
// Makes serial lines by port name. Real ports are Qt SerialPort lines; programs register other
// lines (the simulated bus as "SIM") so that bus/ never depends on them.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bus/serial_line.h"

using TSerialLineCreator = std::function<std::unique_ptr<TSerialLine>()>;

struct TPortInfo {
  std::string Name;
  std::string Description;  // with the USB identity where known
};

// Registers a line under a port name (matched without regard to case). Listed after the real
// ports, in the order of registration.
void RegisterSerialLine(const std::string& portName, const std::string& description,
                        TSerialLineCreator creator);
void UnregisterSerialLine(const std::string& portName);

// A new, closed line for the port: a registered one, else a Qt SerialPort line.
std::unique_ptr<TSerialLine> CreateSerialLine(const std::string& portName);

// The real ports of this machine that can be opened now.
std::vector<TPortInfo> EnumRealComPorts();
// The real ports, then the registered ones.
std::vector<TPortInfo> EnumComPortInfos();
// Appends the names of the real ports that can be opened now and returns how many it appended.
int EnumComPorts(std::vector<std::string>& list);
