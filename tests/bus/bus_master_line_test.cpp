// How the bus master adapts to the kind of line: with or without DTR, with bytes that keep to
// their line time or not. The card sees the same timing on every kind; the thread only skips
// looking where nothing can be there yet.

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>

#include "bus/bus_interface.h"
#include "bus/bus_master.h"
#include "fakes/fake_serial_line.h"
#include "fakes/manual_clock.h"
#include "fakes/recording_sink.h"
#include "support/main_thread.h"

namespace {

bool WaitFor(const std::function<bool()>& condition, int ms = 5000) {
  return MainThread().WaitUntil(condition, std::chrono::milliseconds(ms));
}

class BusMasterLineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Ifc = std::make_unique<TRS485IFC>(&Clock);
    Ifc->BusMaster().ComPort().SetLineCreator([this] { return Bus.MakeLine(); });
  }
  void TearDown() override { Ifc.reset(); }

  std::vector<int64_t> WriteTimes() const {
    std::vector<int64_t> times;
    for (const TFakeEvent& e : Bus.Events())
      if (e.Kind == TFakeEvent::Write) times.push_back(e.TimeUs);
    return times;
  }

  // The bus thread's records of every exchange from now on, in the order they were made: they
  // tell when an answer was taken, whenever the main thread comes round to its handler.
  std::vector<TExchangeRecord>& RecordExchanges() {
    Records.clear();
    Ifc->BusMaster().SetOnExchanges([this](const TExchangeBatch& batch) {
      Records.insert(Records.end(), batch.begin(), batch.end());
    });
    return Records;
  }

  // A card's answer handed on a character at a time at 9600 baud, as an adapter with a 1 ms
  // latency timer does, the first one complete at `startUs` plus its line time. Returns when
  // the last one is there.
  int64_t AnswerCharByChar(const std::string& line, int64_t startUs) {
    int64_t atUs = startUs;
    for (std::size_t i = 0; i < line.size(); ++i) {
      atUs = startUs + static_cast<int64_t>((i + 1) * 10'000'000 / 9600);
      Bus.Inject(line.substr(i, 1), atUs);
    }
    return atUs;
  }

  // Connects at 9600 baud with a 50 ms time-out, recording every exchange from the start.
  std::vector<TExchangeRecord>& ConnectAt9600() {
    Ifc->SetBaud(9600);
    Ifc->SetTimeout(50);
    std::vector<TExchangeRecord>& records = RecordExchanges();
    Ifc->BusMaster().SetActive(true);
    return records;
  }

  std::vector<TExchangeRecord> Records;
  TManualClock Clock;
  TFakeBus Bus{Clock};
  TRecordingSink Sink;
  std::unique_ptr<TRS485IFC> Ifc;
};

TEST_F(BusMasterLineTest, EveryKindOfLineKeepsTheSameTimingOnTheWire) {
  // The card answers 1 ms after the write, far sooner than a real line could carry it; the
  // second command gets no answer. At 9600 baud: transmit wait 11459 µs, a 9-character
  // exchange (command, CR, 11-character answer) 21875 µs.
  struct {
    const char* Name;
    bool DrivesDtr;
    bool PacesBytes;
    int64_t AnsweredAfterUs;  // the handler runs this long after the write
  } kinds[] = {
      {"DTR, unpaced", true, false, 11459},
      {"no DTR, unpaced", false, false, 11459},
      {"DTR, paced", true, true, 21875},
      {"no DTR, paced", false, true, 21875},
  };
  ASSERT_EQ(TSer485BusMaster::TransmitWaitUs(9, 9600), 11459u);
  ASSERT_EQ(TSer485BusMaster::ShortestExchangeUs(9, 9600), 21875u);
  for (const auto& kind : kinds) {
    SCOPED_TRACE(kind.Name);
    Bus.DrivesDtr = kind.DrivesDtr;
    Bus.PacesBytes = kind.PacesBytes;
    Bus.ClearEvents();
    Bus.Responder = [](const std::string& written) -> std::optional<TFakeReply> {
      if (written == "?1E200000") return TFakeReply{"#1E200A0F\r\n", 1000};
      return std::nullopt;
    };
    Ifc->SetBaud(9600);
    Ifc->SetTimeout(50);
    Ifc->BusMaster().SetActive(true);
    ASSERT_TRUE(Ifc->Active());
    // The handler runs in the main thread whenever it comes round; the bus thread's own time
    // stamps in the records tell when the answer was taken.
    std::vector<TExchangeRecord>& records = RecordExchanges();
    std::vector<std::string> handled;
    std::vector<std::size_t> writesBeforeHandler;
    auto handler = [&](const std::string&, const std::string& answer) {
      handled.push_back(answer);
      writesBeforeHandler.push_back(WriteTimes().size());
    };
    ASSERT_TRUE(Ifc->AddCommand("?1E200000", handler));
    ASSERT_TRUE(Ifc->AddCommand("?1E210000", handler));
    ASSERT_TRUE(Ifc->AddCommand("?1E200000", handler));
    ASSERT_TRUE(WaitFor([&] { return handled.size() == 3 && records.size() == 3; }));
    Ifc->BusMaster().SetActive(false);
    Ifc->BusMaster().SetOnExchanges({});
    const std::vector<int64_t> writes = WriteTimes();
    ASSERT_EQ(writes.size(), 3u);
    EXPECT_EQ(handled, (std::vector<std::string>{"#1E200A0F\r\n", "", "#1E200A0F\r\n"}));
    EXPECT_EQ(records[0].AnswerUs, kind.AnsweredAfterUs) << "answer taken";
    EXPECT_EQ(records[1].AnswerUs, 11459 + 50000) << "time-out after the switch";
    // Each handler has returned before the next command is written.
    EXPECT_EQ(writesBeforeHandler, (std::vector<std::size_t>{1, 2, 3}));
    // The 2 ms pause after the exchange and the 1 ms pre-send wait, with or without DTR.
    EXPECT_EQ(writes[1] - writes[0], kind.AnsweredAfterUs + 3000);
    EXPECT_EQ(writes[2] - writes[1], 11459 + 50000 + 3000);
    EXPECT_EQ(Sink.Lines(),
              (std::vector<std::string>{"TimeOut, Modul antwortet nicht! \"?1E210000\" "}));
    Sink.Clear();
  }
}

TEST_F(BusMasterLineTest, AShortLineOnAPacedLineIsStillTakenWithinTheTimeOut) {
  // Shorter than any card's answer: taken late, never lost, and never past the time-out.
  Bus.PacesBytes = true;
  Bus.DrivesDtr = false;
  Bus.Responder = [](const std::string&) { return TFakeReply{"#1E\r\n", 1000}; };
  Ifc->SetBaud(9600);
  Ifc->SetTimeout(5);
  Ifc->BusMaster().SetActive(true);
  ASSERT_TRUE(Ifc->Active());
  std::vector<TExchangeRecord>& records = RecordExchanges();
  std::optional<std::string> answer;
  ASSERT_TRUE(
      Ifc->AddCommand("?1E200000", [&](const std::string&, const std::string& a) { answer = a; }));
  ASSERT_TRUE(WaitFor([&] { return answer.has_value() && records.size() == 1; }));
  Ifc->BusMaster().SetActive(false);
  Ifc->BusMaster().SetOnExchanges({});
  EXPECT_EQ(*answer, "#1E\r\n");
  // The time-out (11459 + 5000 µs after the write) comes before the shortest exchange could.
  EXPECT_EQ(records[0].AnswerUs, 11459 + 5000);
  EXPECT_TRUE(Sink.Lines().empty()) << Sink.Lines()[0];
}

TEST_F(BusMasterLineTest, AnAnswerHandedOnACharacterAtATimeWakesTheThreadOnlyNearItsEnd) {
  // An adapter that hands on every character alone, as one with a 1 ms latency timer does at
  // 9600 baud. The card starts its answer 8 ms late, so the first look finds only its start.
  Bus.PacesBytes = true;
  Bus.DrivesDtr = false;
  const std::string line = "#1E200A0F\r\n";
  std::atomic<int64_t> lastByteUs{0};
  Bus.Responder = [&](const std::string&) -> std::optional<TFakeReply> {
    // The command and its CR take 10417 µs on the wire.
    lastByteUs = AnswerCharByChar(line, Clock.NowUs() + 10417 + 8000);
    return std::nullopt;
  };
  TSer485BusMaster& master = Ifc->BusMaster();
  std::vector<TExchangeRecord>& records = ConnectAt9600();
  ASSERT_TRUE(master.Active());
  const int sleepsBefore = Clock.Sleeps();
  std::optional<std::string> answer;
  ASSERT_TRUE(
      Ifc->AddCommand("?1E200000", [&](const std::string&, const std::string& a) { answer = a; }));
  ASSERT_TRUE(WaitFor([&] { return answer.has_value() && records.size() == 1; }));
  const int sleeps = Clock.Sleeps() - sleepsBefore;
  master.SetActive(false);
  master.SetOnExchanges({});
  EXPECT_EQ(*answer, line);
  // Taken the moment its last byte was there.
  EXPECT_EQ(records[0].AnswerUs, lastByteUs - WriteTimes()[0]);
  // The pre-send wait, asleep until the shortest exchange could be over, once through the
  // middle of the line, a wait for each of the last two characters, the pause: not one wait for
  // every character (that would be eleven).
  EXPECT_LE(sleeps, 6);
}

TEST_F(BusMasterLineTest, TheFirstLookLearnsTheCardsDelayWithoutTakingAnswersLate) {
  // A card whose answers start 1 to 1.6 ms after the command, every fourth one 4 ms, handed on a
  // character at a time. Once its delay is learned, the thread looks about when the answer is
  // whole instead of following every character from the start, and an answer already whole at
  // that look has not lain there long.
  Bus.PacesBytes = true;
  Bus.DrivesDtr = false;
  const std::string line = "#1E200A0F\r\n";
  constexpr int kExchanges = 80;
  constexpr int64_t kDelaysUs[] = {1000, 1300, 1600, 4000};
  std::mutex mutex;
  std::vector<int64_t> lastBytesUs;
  Bus.Responder = [&](const std::string&) -> std::optional<TFakeReply> {
    std::lock_guard<std::mutex> lock(mutex);
    const int64_t startUs = Clock.NowUs() +
                            static_cast<int64_t>(Bus.WrittenChars * 10'000'000 / 9600) +
                            kDelaysUs[lastBytesUs.size() % 4];
    lastBytesUs.push_back(AnswerCharByChar(line, startUs));
    return std::nullopt;
  };
  TSer485BusMaster& master = Ifc->BusMaster();
  std::vector<TExchangeRecord>& records = ConnectAt9600();
  ASSERT_TRUE(master.Active());
  int answered = 0;
  int sleepsAtHalf = 0;
  auto handler = [&](const std::string&, const std::string& answer) {
    EXPECT_EQ(answer, line);
    if (++answered == kExchanges / 2) sleepsAtHalf = Clock.Sleeps();
  };
  for (int i = 0; i < kExchanges; ++i)
    ASSERT_TRUE(Ifc->AddCommand("?1E200000", handler));
  ASSERT_TRUE(WaitFor([&] { return answered == kExchanges && records.size() == kExchanges; }));
  const int sleepsLearned = Clock.Sleeps() - sleepsAtHalf;
  master.SetActive(false);
  master.SetOnExchanges({});
  const std::vector<int64_t> writes = WriteTimes();
  ASSERT_EQ(writes.size(), static_cast<std::size_t>(kExchanges));
  std::lock_guard<std::mutex> lock(mutex);
  int64_t latestUs = 0;
  for (int i = 0; i < kExchanges; ++i) {
    const int64_t lateUs = writes[i] + records[i].AnswerUs - lastBytesUs[i];
    EXPECT_GE(lateUs, 0) << "exchange " << i;
    latestUs = std::max(latestUs, lateUs);
  }
  // Late by a few steps of the learned delay at most, never by the spread of the card's delays.
  EXPECT_LE(latestUs, 150);
  // Following every answer from the end of the shortest exchange on, as without the learned
  // delay, costs four sleeps an exchange with this card.
  EXPECT_LE(sleepsLearned / (kExchanges / 2.0), 3.5);
}

TEST_F(BusMasterLineTest, ObserversSeeEveryPieceBeforeTheHandlerInTheOrderOfTheLine) {
  // Pieces travel to the main thread with the handler, or on their own where there is none.
  Bus.Responder = [](const std::string& written) -> std::optional<TFakeReply> {
    if (written == "?1E200000") return TFakeReply{"#1E200001\r\n#20200000\r\n", 1000};
    return TFakeReply{"#" + written.substr(1) + "\r\n", 1000};
  };
  std::vector<std::string> seen;
  TSer485BusMaster& master = Ifc->BusMaster();
  master.SetOnReceived([&](const std::string& piece) { seen.push_back("piece " + piece); });
  master.SetOnDropped([&](const TDroppedInput& d) { seen.push_back("dropped " + d.Text); });
  master.SetActive(true);
  ASSERT_TRUE(master.Active());
  auto handler = [&](const std::string&, const std::string& a) { seen.push_back("handler " + a); };
  ASSERT_TRUE(Ifc->AddCommand("?1E200000", handler));
  ASSERT_TRUE(Ifc->AddCommand("!1E100001"));
  ASSERT_TRUE(Ifc->AddCommand("?1E210000", handler));
  ASSERT_TRUE(master.WaitQueueEmpty(std::chrono::seconds(5)));
  ASSERT_TRUE(WaitFor([&] { return seen.size() == 7; }));
  master.SetActive(false);
  master.SetOnReceived({});
  master.SetOnDropped({});
  EXPECT_EQ(seen, (std::vector<std::string>{"piece #1E200001\r\n", "piece #20200000\r\n",
                                            "dropped #20200000\r\n", "handler #1E200001\r\n",
                                            "piece #1E100001\r\n", "piece #1E210000\r\n",
                                            "handler #1E210000\r\n"}));
}

}  // namespace
