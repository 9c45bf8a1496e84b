// The simulated serial line: framing of what is written, timing of what comes back, exclusive
// use of the bus and the waits of Read.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "fakes/manual_clock.h"
#include "sim/sim_bus.h"
#include "sim/sim_serial_line.h"
#include "sim/sim_switch_cards.h"

namespace {

constexpr int64_t kSecondUs = 1'000'000;

// A byte as the PC saw it arrive.
struct TArrival {
  char Byte;
  int64_t AtUs;
};

class SimSerialLineTest : public ::testing::Test {
 protected:
  SimSerialLineTest() : Bus(Clock), Line(Bus) {
    Bus.AddDefaultCards();
    Line.Open("SIM", 9600);
  }

  // Reads byte by byte until `count` bytes came or a read times out.
  std::vector<TArrival> ReadArrivals(std::size_t count) {
    std::vector<TArrival> arrivals;
    while (arrivals.size() < count) {
      const TReadResult result = Line.Read(kSecondUs);
      if (result.Status != TReadStatus::Data) break;
      for (char c : result.Bytes)
        arrivals.push_back({c, Clock.NowUs()});
    }
    return arrivals;
  }
  // Everything that arrives within a second.
  std::string ReadAll() {
    std::string text;
    for (;;) {
      const TReadResult result = Line.Read(kSecondUs);
      if (result.Status != TReadStatus::Data) return text;
      text += result.Bytes;
    }
  }

  TManualClock Clock;
  TSimBus Bus;
  TSimSerialLine Line;
};

TEST(SimLineTimeTest, TenBitsPerCharacter) {
  EXPECT_EQ(SimLineTimeUs(10, 9600), 10416);
  EXPECT_EQ(SimLineTimeUs(10, 19200), 5208);
  EXPECT_EQ(SimLineTimeUs(11, 9600), 11458);
  EXPECT_EQ(SimLineTimeUs(1, 9600), 1041);
  EXPECT_EQ(SimLineTimeUs(0, 9600), 0);
  EXPECT_EQ(SimLineTimeUs(10, 0), 0);
}

TEST_F(SimSerialLineTest, AnswerTimingFollowsTheLineTime) {
  const std::string answer = "#1E200000\r\n";
  for (const uint32_t baud : {9600u, 19200u}) {
    SCOPED_TRACE(baud);
    Line.Close();
    Line.Open("SIM", baud);
    Bus.SetEmulateLineTime(true);
    const int64_t start = Clock.NowUs();
    ASSERT_TRUE(Line.Write("?1E200000\r"));
    const std::vector<TArrival> arrivals = ReadArrivals(answer.size());
    ASSERT_EQ(arrivals.size(), answer.size());
    // The command reaches the card after its 10 characters, the card waits its answer delay,
    // then each character of the answer takes its line time.
    const int64_t answerStart = start + SimLineTimeUs(10, baud) + TSimBus::kDefaultAnswerDelayUs;
    for (std::size_t i = 0; i < answer.size(); ++i) {
      EXPECT_EQ(arrivals[i].Byte, answer[i]);
      EXPECT_EQ(arrivals[i].AtUs, answerStart + SimLineTimeUs(i + 1, baud)) << i;
    }
  }
}

TEST_F(SimSerialLineTest, WithoutLineTimeTheAnswerComesWholeAfterTheDelay) {
  Bus.SetAnswerDelayUs(5000);
  const int64_t start = Clock.NowUs();
  Line.Write("?1E200000\r");
  const TReadResult result = Line.Read(kSecondUs);
  EXPECT_EQ(result.Status, TReadStatus::Data);
  EXPECT_EQ(result.Bytes, "#1E200000\r\n");
  EXPECT_EQ(Clock.NowUs(), start + 5000);
}

TEST_F(SimSerialLineTest, ReadTimesOutAtItsDeadline) {
  const int64_t start = Clock.NowUs();
  Line.Write("?55010000\r");  // nobody there
  const TReadResult result = Line.Read(200'000);
  EXPECT_EQ(result.Status, TReadStatus::Timeout);
  EXPECT_TRUE(result.Bytes.empty());
  EXPECT_EQ(Clock.NowUs(), start + 200'000);
  // A read without waiting returns at once.
  EXPECT_EQ(Line.Read(0).Status, TReadStatus::Timeout);
  EXPECT_EQ(Clock.NowUs(), start + 200'000);
}

TEST_F(SimSerialLineTest, FramingOfWrittenBytes) {
  const struct {
    std::vector<std::string> Writes;
    std::string Expected;
    uint64_t Commands;  // lines that reached the bus
  } cases[] = {
      // Several commands in one write are answered in order.
      {{"?1E010000\r?32010000\r"}, "#1E01[MXB01.2.1]\r\n#3201[MXB02.1.5]\r\n", 2},
      // A command may come in pieces.
      {{"?1E01", "0000", "\r"}, "#1E01[MXB01.2.1]\r\n", 1},
      // The resynchronisation prefix is no command.
      {{"\xA7\r?7F200000\r"}, "#7F200000\r\n", 1},
      // Line ends of a terminal.
      {{"?7F200000\r\n?7F200000\r\n"}, "#7F200000\r\n#7F200000\r\n", 2},
      // Silence does not hold up the next answer.
      {{"End of Modulsuche\r?40010000\r"}, "#4001[LSX04.3.0]\r\n", 2},
      // Nothing goes to the cards before its CR.
      {{"?1E010000"}, "", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Expected);
    const uint64_t before = Bus.FaultCounts().Commands;
    for (const std::string& bytes : c.Writes)
      ASSERT_TRUE(Line.Write(bytes));
    EXPECT_EQ(ReadAll(), c.Expected);
    EXPECT_EQ(Bus.FaultCounts().Commands - before, c.Commands);
  }
}

TEST_F(SimSerialLineTest, TheBusIsHeldByOneLineAtATime) {
  TSimSerialLine second(Bus);
  try {
    second.Open("SIM", 9600);
    FAIL() << "opened twice";
  } catch (const EComError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("TCOMPORT : cannot open SIM\r", 0), 0u) << e.what();
    EXPECT_GT(std::string(e.what()).size(), std::string("TCOMPORT : cannot open SIM\r").size());
  }
  EXPECT_FALSE(second.IsOpen());
  // Opening an open line again is no error.
  EXPECT_NO_THROW(Line.Open("SIM", 9600));

  Line.Close();
  EXPECT_NO_THROW(second.Open("SIM", 9600));
  EXPECT_TRUE(second.IsOpen());
  second.Close();

  // A line that goes away lets go of the bus.
  {
    auto made = MakeSimSerialLine(Bus);
    made->Open("SIM", 9600);
  }
  EXPECT_FALSE(Bus.InUse());
}

TEST_F(SimSerialLineTest, ClosedLineNeitherWritesNorReads) {
  Line.Write("?1E200000\r");
  Line.Close();
  EXPECT_FALSE(Line.Write("?1E200000\r"));
  EXPECT_FALSE(Line.Error().empty());
  EXPECT_EQ(Line.Read(1000).Status, TReadStatus::Lost);
  // Opening discards what was on its way.
  Line.Open("SIM", 9600);
  EXPECT_EQ(Line.Read(kSecondUs).Status, TReadStatus::Timeout);
}

TEST_F(SimSerialLineTest, StateOutlivesTheConnection) {
  Line.Write("!1E150001\r");
  EXPECT_EQ(ReadAll(), "#1E150001\r\n");
  Line.Close();
  auto again = MakeSimSerialLine(Bus);
  again->Open("SIM", 19200);
  again->Write("?1E200000\r");
  EXPECT_EQ(again->Read(kSecondUs).Bytes, "#1E200020\r\n");
}

TEST_F(SimSerialLineTest, InterruptEndsTheNextRead) {
  Line.Write("?1E200000\r");
  Line.Interrupt();
  const int64_t start = Clock.NowUs();
  EXPECT_EQ(Line.Read(kSecondUs).Status, TReadStatus::Interrupted);
  EXPECT_EQ(Clock.NowUs(), start);
  // Only once; the answer is still there.
  EXPECT_EQ(Line.Read(kSecondUs).Bytes, "#1E200000\r\n");
}

// Real threads and the system clock: a read must end as soon as there is a reason.
class SimSerialLineRealTimeTest : public ::testing::Test {
 protected:
  SimSerialLineRealTimeTest() : Line(Bus) {
    Bus.AddDefaultCards();
    Line.Open("SIM", 9600);
  }
  static double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }

  TSimBus Bus;
  TSimSerialLine Line;
};

TEST_F(SimSerialLineRealTimeTest, ReadReturnsAsSoonAsDataIsThere) {
  Line.Write("?1E010000\r");
  const auto start = std::chrono::steady_clock::now();
  const TReadResult result = Line.Read(10 * kSecondUs);
  EXPECT_EQ(result.Status, TReadStatus::Data);
  EXPECT_LT(SecondsSince(start), 1.0);
}

TEST_F(SimSerialLineRealTimeTest, ReadWakesForAWriteFromAnotherThread) {
  const auto start = std::chrono::steady_clock::now();
  std::thread writer([this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    Line.Write("?1E010000\r");
  });
  const TReadResult result = Line.Read(10 * kSecondUs);
  writer.join();
  EXPECT_EQ(result.Status, TReadStatus::Data);
  EXPECT_EQ(result.Bytes, "#1E01[MXB01.2.1]\r\n");
  EXPECT_LT(SecondsSince(start), 2.0);
}

TEST_F(SimSerialLineRealTimeTest, InterruptEndsAReadInProgress) {
  const auto start = std::chrono::steady_clock::now();
  std::thread interrupter([this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    Line.Interrupt();
  });
  const TReadResult result = Line.Read(10 * kSecondUs);
  interrupter.join();
  EXPECT_EQ(result.Status, TReadStatus::Interrupted);
  EXPECT_LT(SecondsSince(start), 2.0);
}

}  // namespace
