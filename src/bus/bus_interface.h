#pragma once
// TRS485IFC: one bus interface. It ties a serial port and its bus master to the ordered list of
// modules on that bus, which it owns, and forwards settings and commands to the bus master.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "bus/bus_master.h"

class TRS485IFC {
 public:
  explicit TRS485IFC(TClock* clock = nullptr);
  ~TRS485IFC();
  TRS485IFC(const TRS485IFC&) = delete;
  TRS485IFC& operator=(const TRS485IFC&) = delete;

  std::string ChipIdent;
  int32_t Adresse = 0;
  std::string Bezeichnung;
  std::string Hinweis;

  TSer485BusMaster& BusMaster() { return *FBusMaster; }

  // The modules, in the order they were added. The bus master appends and removes them.
  std::vector<std::unique_ptr<TBusModule>>& Modules() { return FModules; }
  const std::vector<std::unique_ptr<TBusModule>>& Modules() const { return FModules; }
  int Count() const { return static_cast<int>(FModules.size()); }
  TBusModule* Item(int index) const;

  int32_t IfcNumber() const { return FBusMaster->IfcNumber(); }
  void SetIfcNumber(int32_t number) { FBusMaster->SetIfcNumber(number); }
  bool Active() const { return FBusMaster->Active(); }
  void SetActive(bool on) { FBusMaster->SetActive(on); }
  bool Enabled() const { return FBusMaster->Enabled(); }
  void SetEnabled(bool on) { FBusMaster->SetEnabled(on); }
  uint32_t Baud() const { return FBusMaster->ComPort().Baud(); }
  void SetBaud(uint32_t baud) { FBusMaster->ComPort().SetBaud(baud); }
  std::string Port() const { return FBusMaster->ComPort().Port(); }
  void SetPort(const std::string& port) { FBusMaster->ComPort().SetPort(port); }
  TUsbIdentity UsbIdentity() const { return FBusMaster->ComPort().Identity(); }
  void SetUsbIdentity(const TUsbIdentity& identity) { FBusMaster->ComPort().SetIdentity(identity); }
  std::string UsbSocket() const { return FBusMaster->ComPort().UsbSocket(); }
  void SetUsbSocket(const std::string& socket) { FBusMaster->ComPort().SetUsbSocket(socket); }
  uint32_t Timeout() const { return FBusMaster->Timeout(); }
  void SetTimeout(uint32_t ms) { FBusMaster->SetTimeout(ms); }
  uint32_t PollPriority() const { return FBusMaster->PollPriority(); }
  void SetPollPriority(uint32_t n) { FBusMaster->SetPollPriority(n); }

  bool AddCommand(const std::string& text, TAnswerHandler handler = {},
                  TCommandOptions options = {}) {
    return FBusMaster->AddCommand(text, std::move(handler), std::move(options));
  }
  int FindModule(uint8_t address) const { return FBusMaster->FindModule(address); }
  int AddModule(std::unique_ptr<TBusModule>& module) { return FBusMaster->AddModule(module); }
  void RemoveModule(TBusModule* module) { FBusMaster->RemoveModule(module); }

  static constexpr const char* ClassName = "TSer485BusIFC";

 private:
  std::vector<std::unique_ptr<TBusModule>> FModules;
  std::unique_ptr<TSer485BusMaster> FBusMaster;
};
