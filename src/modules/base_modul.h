#pragma once
// TBaseModul: what every module type shares. A module stands for one card on a bus: it builds the
// card's command lines, sends them through its interface's bus master and decodes the answers in
// its answer handler, which runs in the main thread.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "bus/bus_command.h"

class TSer485BusMaster;
class TBaseModul;
struct TRS485CmdRecord;

using TModulEvent = std::function<void(TBaseModul* modul)>;

class TBaseModul : public TBusModule {
 public:
  TBaseModul(TSer485BusMaster* busMaster, uint8_t adresse);
  ~TBaseModul() override;
  TBaseModul(const TBaseModul&) = delete;
  TBaseModul& operator=(const TBaseModul&) = delete;

  std::string Version;
  std::string AddressChangeKey;
  TBusCommandList Commands;  // the standing poll commands, owned
  uint8_t Adresse;
  bool Aktiv = false;
  bool Enabled = true;
  bool Polling = true;
  TSer485BusMaster* BusMaster;
  TModulEvent OnDataChanged;
  TAnswerHandler OnAnswer;
  std::string ChipIdent;
  std::string Firmware;
  std::string Bezeichnung;
  std::string Hinweis;
  std::string Description = "UnTyped BaseModul for Serial/RS485 Port, Quorvane";

  // The class name the text commands report.
  virtual const char* ClassName() const { return "TBaseModul"; }
  // The class name the model file writes and the main window's tree shows.
  virtual std::string ModelClassName() const { return ClassName(); }

  virtual void SetAktiv(bool on);
  virtual void SetEnabled(bool on);
  virtual void SetPolling(bool on);
  virtual void DoDataChanged();
  virtual std::string GetPropertiesText();
  virtual void ProcessAnswer(const std::string& command, const std::string& answer);
  virtual std::string TextCommand(const std::string& text);
  virtual std::string TextCommandHelp();
  virtual void SendCommand(const std::string& text);

  // Stores the address and re-addresses the standing commands.
  void SetAdresse(uint8_t address);
  // "$" + the address as two hexadecimal digits.
  std::string AdresseText() const;
  std::string BasePropertiesText() const;
  // This module's ProcessAnswer as an answer handler.
  TAnswerHandler AnswerHandler();
  // Queues a line with this module's ProcessAnswer as answer handler, without looking at Aktiv.
  // False when the interface refused it.
  bool QueueCommand(const std::string& text);

  // Where a workflow sends the lines of the module operations it calls, with the handler that
  // decodes their answers; false when the line was refused.
  using TCommandRoute = std::function<bool(const std::string& text, TAnswerHandler handler)>;
  // Runs `operations` (calls of this module's operations) with every line they queue handed to
  // `route` instead of the bus master, whether the module is live or not: a workflow that must
  // know which of its lines the card answered queues them itself. Lines queued outside the call
  // (a window's clicks meanwhile) go their usual way.
  void RouteCommands(const TCommandRoute& route, const std::function<void()>& operations);

  uint8_t BusAddress() const override { return Adresse; }
  TBusCommandList& BusCommands() override { return Commands; }

 protected:
  // Appends a standing poll command with this module's ProcessAnswer as handler.
  TBusCommand* AddPollCommand(const std::string& text, bool enabled);
  // Runs a change of the standing commands under the bus master's lock.
  void ChangeCommands(const std::function<void()>& change);
  // "ClassName=" + class name, CR LF, the base lines.
  std::string PropertiesHead();
  // Splits an answer and tells whether it is a complete answer line of this module's card: the
  // only answers the types decode.
  bool ParseOwnAnswer(const std::string& answer, TRS485CmdRecord& record) const;
  // Reports a failed text command as "ERROR <class>.TextCommand: " + message.
  void ReportTextCommandError(const std::string& message);

 private:
  // Answer handlers of one-shot commands may still be queued when the module goes; they look at
  // this first.
  std::shared_ptr<int> FAlive = std::make_shared<int>(0);
  const TCommandRoute* FRoute = nullptr;
};
