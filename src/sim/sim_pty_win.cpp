#include <stdexcept>

#include "sim/sim_pty.h"

// Windows has no pseudo-terminals that a serial port driver would open; a virtual COM port pair
// is the way there, and it is installed outside this program.
struct TSimPtyServer::TImpl {};

TSimPtyServer::TSimPtyServer(TSimBus& bus) : FBus(bus) {}

TSimPtyServer::~TSimPtyServer() = default;

std::string TSimPtyServer::Start(uint32_t) {
  (void)FBus;
  throw std::runtime_error("pseudo-terminals are not available on this platform");
}

void TSimPtyServer::Stop() {}

bool TSimPtyServer::IsRunning() const {
  return false;
}

std::string TSimPtyServer::SlavePath() const {
  return std::string();
}
