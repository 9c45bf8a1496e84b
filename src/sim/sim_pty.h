#pragma once
// Serves a simulated bus on a pseudo-terminal, so that programs outside this process (or a real
// serial port driver inside it) can talk to the simulated cards. Available on POSIX systems; on
// others Start() fails with a message that says so.

#include <cstdint>
#include <memory>
#include <string>

class TSimBus;

class TSimPtyServer {
 public:
  explicit TSimPtyServer(TSimBus& bus);
  ~TSimPtyServer();  // stops serving
  TSimPtyServer(const TSimPtyServer&) = delete;
  TSimPtyServer& operator=(const TSimPtyServer&) = delete;

  // Opens a pseudo-terminal in raw mode and serves the bus on it in a background thread until
  // Stop(). The baud rate sets the line time when the bus emulates it. Returns the path of the
  // device that clients open. Throws std::runtime_error on failure or when already running.
  std::string Start(uint32_t baud = 9600);
  void Stop();
  bool IsRunning() const;
  std::string SlavePath() const;

 private:
  struct TImpl;
  TSimBus& FBus;
  std::unique_ptr<TImpl> FImpl;
};
