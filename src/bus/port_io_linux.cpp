#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "bus/port_io.h"
#include "support/texts.h"

namespace {

// More than the driver holds of a bus's worth of answers.
constexpr std::size_t kReadChunk = 4096;
// A driver that takes no more of a command for this long is stuck.
constexpr int kWriteStallMs = 500;

class TDescriptorIo : public TPortIo {
 public:
  TDescriptorIo(int portFd, int wakeFd) : FPortFd(portFd), FWakeFd(wakeFd) {}
  ~TDescriptorIo() override { ::close(FWakeFd); }
  TDescriptorIo(const TDescriptorIo&) = delete;
  TDescriptorIo& operator=(const TDescriptorIo&) = delete;

  TReadResult Read(int64_t maxWaitUs) override;
  bool Write(const std::string& bytes, std::string& error) override;
  void Interrupt() override {
    const uint64_t one = 1;
    // A full counter still wakes the reader: nothing to do when the write fails.
    [[maybe_unused]] const ssize_t n = ::write(FWakeFd, &one, sizeof one);
  }

 private:
  static TReadResult Lost(const std::string& error) {
    TReadResult result;
    result.Status = TReadStatus::Lost;
    result.Error = error;
    return result;
  }

  int FPortFd;
  int FWakeFd;
};

bool TDescriptorIo::Write(const std::string& bytes, std::string& error) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(FPortFd, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) {
      // The driver's queue is full: wait until it takes more.
      pollfd fd = {FPortFd, POLLOUT, 0};
      const int ready = ::poll(&fd, 1, kWriteStallMs);
      if (ready > 0 && !(fd.revents & (POLLHUP | POLLERR | POLLNVAL))) continue;
      if (ready < 0 && errno == EINTR) continue;
      error = ready == 0 ? std::strerror(EAGAIN)
                         : TrText("TQtSerialLine", "Verbindung zum Gerät abgebrochen").Shown();
      return false;
    }
    error = n < 0 ? std::strerror(errno)
                  : TrText("TQtSerialLine", "Verbindung zum Gerät abgebrochen").Shown();
    return false;
  }
  return true;
}

TReadResult TDescriptorIo::Read(int64_t maxWaitUs) {
  using std::chrono::steady_clock;
  const steady_clock::time_point deadline =
      steady_clock::now() + std::chrono::microseconds(std::max<int64_t>(maxWaitUs, 0));
  TReadResult result;
  for (;;) {
    const int64_t leftNs = std::max<int64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - steady_clock::now())
            .count(),
        0);
    const timespec timeout{static_cast<time_t>(leftNs / 1'000'000'000),
                           static_cast<long>(leftNs % 1'000'000'000)};
    pollfd fds[2] = {{FWakeFd, POLLIN, 0}, {FPortFd, POLLIN, 0}};
    const int ready = ::ppoll(fds, 2, &timeout, nullptr);
    if (ready < 0) {
      if (errno == EINTR) continue;
      return Lost(std::strerror(errno));
    }
    if (fds[0].revents & POLLIN) {
      uint64_t count = 0;
      [[maybe_unused]] const ssize_t n = ::read(FWakeFd, &count, sizeof count);
      result.Status = TReadStatus::Interrupted;
      return result;
    }
    if (fds[1].revents & POLLIN) {
      // What came before a hang-up is still delivered; the hang-up shows at the next look.
      char buffer[kReadChunk];
      const ssize_t n = ::read(FPortFd, buffer, sizeof buffer);
      if (n > 0) {
        result.Status = TReadStatus::Data;
        result.Bytes.assign(buffer, static_cast<std::size_t>(n));
        return result;
      }
      if (n == 0) return Lost(TrText("TQtSerialLine", "Verbindung zum Gerät abgebrochen"));
      if (errno != EAGAIN && errno != EINTR) return Lost(std::strerror(errno));
      if (steady_clock::now() < deadline) continue;
      result.Status = TReadStatus::Timeout;
      return result;
    }
    if (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL))
      return Lost(TrText("TQtSerialLine", "Verbindung zum Gerät abgebrochen"));
    if (ready == 0) {
      result.Status = TReadStatus::Timeout;
      return result;
    }
  }
}

}  // namespace

std::unique_ptr<TPortIo> MakePortIo(QSerialPort& port) {
  const int portFd = static_cast<int>(port.handle());
  if (portFd < 0) return nullptr;
  const int wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (wakeFd < 0) return nullptr;  // Qt's own wait still works
  return std::make_unique<TDescriptorIo>(portFd, wakeFd);
}
