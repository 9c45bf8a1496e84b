#pragma once
// A card on the far side of a real pseudo-terminal: it reads command lines from the master end
// and answers each as a script says, with as many writes as it likes, each after its own delay,
// or hangs up. For the few tests that must go through a real serial device.

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

// One thing the card does after a command: write bytes, or hang up (the device vanishes for
// whoever has the slave open), `DelayMs` after the command arrived.
struct TPtyWrite {
  int DelayMs = 0;
  std::string Bytes;
  bool HangUp = false;
};

class TPtyCard {
 public:
  // Returns the answer bytes for a command (without CR), or nothing for silence.
  using TResponder = std::function<std::optional<std::string>(const std::string& command)>;
  // Returns what the card does after a command (without CR), in any order.
  using TScript = std::function<std::vector<TPtyWrite>(const std::string& command)>;

  explicit TPtyCard(TResponder responder);
  explicit TPtyCard(TScript script);
  ~TPtyCard();

  bool Ok() const { return FMaster >= 0; }
  const std::string& SlavePath() const { return FSlavePath; }
  // Closes the master end: the device vanishes for whoever has the slave open.
  void Vanish();
  std::vector<std::string> Commands() const;

 private:
  struct TDue {
    std::chrono::steady_clock::time_point At;
    TPtyWrite Write;
  };

  void Start();
  void Serve();
  // Carries out what is due; false once the card has hung up.
  bool RunDue(std::vector<TDue>& due);

  TScript FScript;
  int FMaster = -1;
  int FWakeRead = -1;
  int FWakeWrite = -1;
  std::string FSlavePath;
  std::atomic<bool> FStop{false};
  std::atomic<bool> FHungUp{false};
  mutable std::mutex FMutex;
  std::vector<std::string> FCommands;
  std::thread FThread;
};
