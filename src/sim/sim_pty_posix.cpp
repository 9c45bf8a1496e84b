#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <thread>

#include "sim/sim_bus.h"
#include "sim/sim_pty.h"
#include "sim/sim_wire.h"

namespace {

// Answers nobody reads (a client that went away) must not pile up without end.
constexpr std::size_t kMaxOutbound = 64 * 1024;
// Only if the other side vanished although the server holds the slave open itself.
constexpr int kHangUpRetryMs = 100;

speed_t SpeedOf(uint32_t baud) {
  switch (baud) {
    case 1200:
      return B1200;
    case 2400:
      return B2400;
    case 4800:
      return B4800;
    case 19200:
      return B19200;
    case 38400:
      return B38400;
    case 57600:
      return B57600;
    case 115200:
      return B115200;
    default:
      return B9600;
  }
}

void CloseFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

bool AddFlags(int fd, int statusFlags) {
  const int fdFlags = ::fcntl(fd, F_GETFD);
  const int flags = ::fcntl(fd, F_GETFL);
  return fdFlags >= 0 && flags >= 0 && ::fcntl(fd, F_SETFD, fdFlags | FD_CLOEXEC) == 0 &&
         ::fcntl(fd, F_SETFL, flags | statusFlags) == 0;
}

}  // namespace

struct TSimPtyServer::TImpl {
  TImpl(TSimBus& bus, uint32_t baud) : Clock(bus.Clock()), Wire(bus, baud) {}
  ~TImpl() { CloseAll(); }

  void Open(uint32_t baud);
  void Serve();
  void ReadCommands();
  void FlushOutbound();
  void CloseAll();
  [[noreturn]] void Fail(const std::string& step);

  TClock& Clock;
  TSimWire Wire;
  int Master = -1;
  // Held open by the server itself: a pty master whose slave nobody has open reports a hang-up
  // on every poll, and the raw settings would be lost between two clients.
  int Slave = -1;
  int WakeRead = -1;
  int WakeWrite = -1;
  std::string Path;
  std::string Outbound;
  std::thread Thread;
};

void TSimPtyServer::TImpl::Fail(const std::string& step) {
  const std::string reason = std::strerror(errno);
  CloseAll();
  throw std::runtime_error("TSimPtyServer: " + step + ": " + reason);
}

void TSimPtyServer::TImpl::Open(uint32_t baud) {
  Master = ::posix_openpt(O_RDWR | O_NOCTTY);
  if (Master < 0) Fail("posix_openpt");
  if (::grantpt(Master) != 0) Fail("grantpt");
  if (::unlockpt(Master) != 0) Fail("unlockpt");
  {
    // ptsname uses a static buffer.
    static std::mutex nameMutex;
    std::lock_guard<std::mutex> lock(nameMutex);
    const char* name = ::ptsname(Master);
    if (!name) Fail("ptsname");
    Path = name;
  }
  if (!AddFlags(Master, O_NONBLOCK)) Fail("fcntl");
  Slave = ::open(Path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (Slave < 0) Fail("open " + Path);
  if (!AddFlags(Slave, 0)) Fail("fcntl");

  termios settings{};
  if (::tcgetattr(Slave, &settings) != 0) Fail("tcgetattr");
  ::cfmakeraw(&settings);
  settings.c_cflag |= CLOCAL | CREAD;
  ::cfsetispeed(&settings, SpeedOf(baud));
  ::cfsetospeed(&settings, SpeedOf(baud));
  if (::tcsetattr(Slave, TCSANOW, &settings) != 0) Fail("tcsetattr");

  int wake[2];
  if (::pipe(wake) != 0) Fail("pipe");
  WakeRead = wake[0];
  WakeWrite = wake[1];
  if (!AddFlags(WakeRead, O_NONBLOCK) || !AddFlags(WakeWrite, O_NONBLOCK)) Fail("fcntl");
}

void TSimPtyServer::TImpl::CloseAll() {
  CloseFd(WakeRead);
  CloseFd(WakeWrite);
  CloseFd(Slave);
  CloseFd(Master);
}

void TSimPtyServer::TImpl::ReadCommands() {
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(Master, buffer, sizeof buffer);
    if (n > 0) {
      Wire.Send(std::string(buffer, static_cast<std::size_t>(n)), Clock.NowUs());
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    return;  // drained (EAGAIN), or nothing to read from a vanished client
  }
}

void TSimPtyServer::TImpl::FlushOutbound() {
  if (Outbound.size() > kMaxOutbound) Outbound.erase(0, Outbound.size() - kMaxOutbound);
  while (!Outbound.empty()) {
    const ssize_t n = ::write(Master, Outbound.data(), Outbound.size());
    if (n > 0) {
      Outbound.erase(0, static_cast<std::size_t>(n));
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      return;  // full: poll tells when there is room again
    }
  }
}

void TSimPtyServer::TImpl::Serve() {
  for (;;) {
    const int64_t nowUs = Clock.NowUs();
    Outbound += Wire.TakeArrived(nowUs);
    FlushOutbound();

    // To the microsecond: a wait rounded to whole milliseconds would hand on the characters of
    // an answer up to a millisecond late, in clumps, unlike a UART.
    timespec timeout{};
    timespec* wait = nullptr;
    if (const std::optional<int64_t> nextUs = Wire.NextArrivalUs()) {
      const int64_t waitUs = std::max<int64_t>(*nextUs - nowUs, 0);
      timeout.tv_sec = static_cast<time_t>(waitUs / 1'000'000);
      timeout.tv_nsec = static_cast<long>(waitUs % 1'000'000 * 1000);
      wait = &timeout;
    }
    pollfd fds[2] = {{WakeRead, POLLIN, 0}, {Master, POLLIN, 0}};
    if (!Outbound.empty()) fds[1].events |= POLLOUT;
    const int ready = ::ppoll(fds, 2, wait, nullptr);
    if (ready < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (fds[0].revents != 0) return;
    if (fds[1].revents & POLLIN) {
      ReadCommands();
    } else if (fds[1].revents & (POLLHUP | POLLERR)) {
      pollfd wake = {WakeRead, POLLIN, 0};
      if (::poll(&wake, 1, kHangUpRetryMs) > 0) return;
    }
  }
}

TSimPtyServer::TSimPtyServer(TSimBus& bus) : FBus(bus) {}

TSimPtyServer::~TSimPtyServer() {
  Stop();
}

std::string TSimPtyServer::Start(uint32_t baud) {
  if (FImpl) throw std::runtime_error("TSimPtyServer: already running on " + FImpl->Path);
  auto impl = std::make_unique<TImpl>(FBus, baud);
  impl->Open(baud);
  TImpl* raw = impl.get();
  impl->Thread = std::thread([raw] { raw->Serve(); });
  FImpl = std::move(impl);
  return FImpl->Path;
}

void TSimPtyServer::Stop() {
  if (!FImpl) return;
  // One byte into an empty pipe of our own cannot fail.
  const char wake = 1;
  const ssize_t written = ::write(FImpl->WakeWrite, &wake, 1);
  (void)written;
  FImpl->Thread.join();
  FImpl.reset();
}

bool TSimPtyServer::IsRunning() const {
  return FImpl != nullptr;
}

std::string TSimPtyServer::SlavePath() const {
  return FImpl ? FImpl->Path : std::string();
}
