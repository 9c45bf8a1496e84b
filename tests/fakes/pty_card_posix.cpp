#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cstring>

#include "fakes/pty_card.h"

TPtyCard::TPtyCard(TResponder responder) : FResponder(std::move(responder)) {
  FMaster = posix_openpt(O_RDWR | O_NOCTTY);
  if (FMaster < 0 || grantpt(FMaster) != 0 || unlockpt(FMaster) != 0) {
    if (FMaster >= 0) close(FMaster);
    FMaster = -1;
    return;
  }
  FSlavePath = ptsname(FMaster);
  // Raw mode on the line, so that CR and the 0xA7 prefix pass unchanged.
  const int slave = open(FSlavePath.c_str(), O_RDWR | O_NOCTTY);
  if (slave >= 0) {
    termios tio{};
    tcgetattr(slave, &tio);
    cfmakeraw(&tio);
    tcsetattr(slave, TCSANOW, &tio);
    close(slave);
  }
  int pipeFds[2];
  if (pipe(pipeFds) == 0) {
    FWakeRead = pipeFds[0];
    FWakeWrite = pipeFds[1];
  }
  FThread = std::thread([this] { Serve(); });
}

TPtyCard::~TPtyCard() {
  FStop = true;
  if (FWakeWrite >= 0) {
    const char c = 'x';
    (void)!write(FWakeWrite, &c, 1);
  }
  if (FThread.joinable()) FThread.join();
  if (FMaster >= 0) close(FMaster);
  if (FWakeRead >= 0) close(FWakeRead);
  if (FWakeWrite >= 0) close(FWakeWrite);
}

void TPtyCard::Vanish() {
  FStop = true;
  if (FWakeWrite >= 0) {
    const char c = 'x';
    (void)!write(FWakeWrite, &c, 1);
  }
  if (FThread.joinable()) FThread.join();
  if (FMaster >= 0) close(FMaster);
  FMaster = -1;
}

std::vector<std::string> TPtyCard::Commands() const {
  std::lock_guard<std::mutex> lock(FMutex);
  return FCommands;
}

void TPtyCard::Serve() {
  std::string pending;
  while (!FStop) {
    pollfd fds[2] = {{FMaster, POLLIN, 0}, {FWakeRead, POLLIN, 0}};
    // While nobody holds the slave open the master reports a hang-up at once; look again a little
    // later instead of spinning.
    if (poll(fds, 2, 1000) < 0) break;
    if (fds[1].revents != 0 || FStop) break;
    if ((fds[0].revents & POLLHUP) != 0 && (fds[0].revents & POLLIN) == 0) {
      pollfd wake{FWakeRead, POLLIN, 0};
      poll(&wake, 1, 20);
      continue;
    }
    if ((fds[0].revents & POLLIN) == 0) continue;
    char buffer[256];
    const ssize_t n = read(FMaster, buffer, sizeof buffer);
    if (n <= 0) continue;
    pending.append(buffer, static_cast<std::size_t>(n));
    for (std::size_t cr = pending.find('\r'); cr != std::string::npos; cr = pending.find('\r')) {
      std::string command = pending.substr(0, cr);
      pending.erase(0, cr + 1);
      if (command == "\xA7" || command.empty()) continue;  // resynchronisation prefix
      {
        std::lock_guard<std::mutex> lock(FMutex);
        FCommands.push_back(command);
      }
      if (std::optional<std::string> answer = FResponder(command))
        (void)!write(FMaster, answer->data(), answer->size());
    }
  }
}
