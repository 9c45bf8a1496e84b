#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "bus/port_reader.h"
#include "support/texts.h"

namespace {

// More than the driver holds of a bus's worth of answers.
constexpr std::size_t kReadChunk = 4096;

class TDescriptorReader : public TPortReader {
 public:
  TDescriptorReader(int portFd, int wakeFd) : FPortFd(portFd), FWakeFd(wakeFd) {}
  ~TDescriptorReader() override { ::close(FWakeFd); }
  TDescriptorReader(const TDescriptorReader&) = delete;
  TDescriptorReader& operator=(const TDescriptorReader&) = delete;

  TReadResult Read(int64_t maxWaitUs) override;
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

TReadResult TDescriptorReader::Read(int64_t maxWaitUs) {
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

std::unique_ptr<TPortReader> MakePortReader(QSerialPort& port) {
  const int portFd = static_cast<int>(port.handle());
  if (portFd < 0) return nullptr;
  const int wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (wakeFd < 0) return nullptr;  // Qt's own wait still works
  return std::make_unique<TDescriptorReader>(portFd, wakeFd);
}
