#pragma once
// A card on the far side of a real pseudo-terminal: it reads command lines from the master end
// and answers each with a responder's text. For the few tests that must go through a real serial
// device.

#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

class TPtyCard {
 public:
  // Returns the answer bytes for a command (without CR), or nothing for silence.
  using TResponder = std::function<std::optional<std::string>(const std::string& command)>;

  explicit TPtyCard(TResponder responder);
  ~TPtyCard();

  bool Ok() const { return FMaster >= 0; }
  const std::string& SlavePath() const { return FSlavePath; }
  // Closes the master end: the device vanishes for whoever has the slave open.
  void Vanish();
  std::vector<std::string> Commands() const;

 private:
  void Serve();

  TResponder FResponder;
  int FMaster = -1;
  int FWakeRead = -1;
  int FWakeWrite = -1;
  std::string FSlavePath;
  std::atomic<bool> FStop{false};
  mutable std::mutex FMutex;
  std::vector<std::string> FCommands;
  std::thread FThread;
};
