// The bus served on a real pseudo-terminal, reached with plain POSIX calls as another program
// would.
#include <gtest/gtest.h>

#ifndef _WIN32

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <string>
#include <thread>

#include "sim/sim_bus.h"
#include "sim/sim_pty.h"

namespace {

// Reads from `fd` until a line end arrives or `timeoutMs` pass.
std::string ReadLine(int fd, int timeoutMs) {
  std::string text;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (text.find("\r\n") == std::string::npos) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd pfd = {fd, POLLIN, 0};
    if (::poll(&pfd, 1, static_cast<int>(left.count())) <= 0) break;
    char buffer[256];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n <= 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
  }
  return text;
}

bool WriteAll(int fd, const std::string& text) {
  return ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
}

class SimPtyTest : public ::testing::Test {
 protected:
  SimPtyTest() : Server(Bus) { Bus.AddDefaultCards(); }

  TSimBus Bus;
  TSimPtyServer Server;
};

TEST_F(SimPtyTest, RoundTripOverThePseudoTerminal) {
  const std::string path = Server.Start(9600);
  ASSERT_FALSE(path.empty());
  EXPECT_EQ(Server.SlavePath(), path);
  EXPECT_TRUE(Server.IsRunning());

  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(fd, 0);
  ASSERT_TRUE(WriteAll(fd, "?1E010000\r"));
  EXPECT_EQ(ReadLine(fd, 3000), "#1E01[MXB01.2.1]\r\n");
  ASSERT_TRUE(WriteAll(fd, "!1E150001\r"));
  EXPECT_EQ(ReadLine(fd, 3000), "#1E150001\r\n");
  ::close(fd);

  Server.Stop();
  EXPECT_FALSE(Server.IsRunning());
  EXPECT_TRUE(Server.SlavePath().empty());
}

TEST_F(SimPtyTest, SurvivesTheClientLeavingWithoutSpinning) {
  const std::string path = Server.Start();
  int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(fd, 0);
  ASSERT_TRUE(WriteAll(fd, "?7F200000\r"));
  EXPECT_EQ(ReadLine(fd, 3000), "#7F200000\r\n");
  ::close(fd);

  // With nobody on the other side the server must wait, not poll in a tight loop.
  const std::clock_t cpuBefore = std::clock();
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  const double cpuSeconds = static_cast<double>(std::clock() - cpuBefore) / CLOCKS_PER_SEC;
  EXPECT_LT(cpuSeconds, 0.1);

  fd = ::open(path.c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(fd, 0);
  ASSERT_TRUE(WriteAll(fd, "?40010000\r"));
  EXPECT_EQ(ReadLine(fd, 3000), "#4001[LSX04.3.0]\r\n");
  ::close(fd);
}

TEST_F(SimPtyTest, StartsAgainAfterStop) {
  Server.Start();
  EXPECT_THROW(Server.Start(), std::runtime_error);
  Server.Stop();
  Server.Stop();  // stopping a stopped server is harmless
  const std::string path = Server.Start(19200);
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(fd, 0);
  ASSERT_TRUE(WriteAll(fd, "?32200000\r"));
  EXPECT_EQ(ReadLine(fd, 3000), "#32200000\r\n");
  ::close(fd);
}

}  // namespace

#endif
