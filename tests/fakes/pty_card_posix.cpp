#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "fakes/pty_card.h"

TPtyCard::TPtyCard(TResponder responder)
    : FScript([responder = std::move(responder)](const std::string& command) {
        std::vector<TPtyWrite> writes;
        if (std::optional<std::string> answer = responder(command))
          writes.push_back({0, *answer, false});
        return writes;
      }) {
  Start();
}

TPtyCard::TPtyCard(TScript script) : FScript(std::move(script)) {
  Start();
}

void TPtyCard::Start() {
  FMaster = posix_openpt(O_RDWR | O_NOCTTY);
  if (FMaster < 0 || grantpt(FMaster) != 0 || unlockpt(FMaster) != 0) {
    if (FMaster >= 0) close(FMaster);
    FMaster = -1;
    return;
  }
  // A program the test starts must not inherit the master end: it would keep the device alive
  // when the card hangs up.
  fcntl(FMaster, F_SETFD, FD_CLOEXEC);
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
    fcntl(FWakeRead, F_SETFD, FD_CLOEXEC);
    fcntl(FWakeWrite, F_SETFD, FD_CLOEXEC);
  }
  FThread = std::thread([this] { Serve(); });
}

TPtyCard::~TPtyCard() {
  Vanish();
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
  // The thread is gone: the master end is this thread's alone now.
  if (FMaster >= 0 && !FHungUp) close(FMaster);
  FHungUp = true;
}

std::vector<std::string> TPtyCard::Commands() const {
  std::lock_guard<std::mutex> lock(FMutex);
  return FCommands;
}

bool TPtyCard::RunDue(std::vector<TDue>& due) {
  const auto now = std::chrono::steady_clock::now();
  // In the order they fall due; writes due at the same moment in the script's order.
  std::stable_sort(due.begin(), due.end(),
                   [](const TDue& a, const TDue& b) { return a.At < b.At; });
  while (!due.empty() && due.front().At <= now) {
    const TPtyWrite w = due.front().Write;
    due.erase(due.begin());
    if (w.HangUp) {
      close(FMaster);
      FHungUp = true;
      return false;
    }
    (void)!write(FMaster, w.Bytes.data(), w.Bytes.size());
  }
  return true;
}

void TPtyCard::Serve() {
  std::string pending;
  std::vector<TDue> due;
  while (!FStop) {
    if (!RunDue(due)) return;
    int waitMs = 1000;
    if (!due.empty()) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          due.front().At - std::chrono::steady_clock::now());
      waitMs = static_cast<int>(std::clamp<int64_t>(left.count(), 0, 1000));
    }
    pollfd fds[2] = {{FMaster, POLLIN, 0}, {FWakeRead, POLLIN, 0}};
    if (poll(fds, 2, waitMs) < 0) break;
    if (fds[1].revents != 0 || FStop) break;
    // While nobody holds the slave open the master reports a hang-up at once; look again a little
    // later instead of spinning.
    if ((fds[0].revents & POLLHUP) != 0 && (fds[0].revents & POLLIN) == 0) {
      pollfd wake{FWakeRead, POLLIN, 0};
      poll(&wake, 1, due.empty() ? 20 : std::min(waitMs, 20));
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
      const auto arrived = std::chrono::steady_clock::now();
      for (TPtyWrite& w : FScript(command))
        due.push_back({arrived + std::chrono::milliseconds(w.DelayMs), std::move(w)});
    }
  }
}
