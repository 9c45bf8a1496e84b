#include "bus/bus_master.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>

#include "bus/bus_interface.h"
#include "fakes/fake_serial_line.h"
#include "fakes/manual_clock.h"
#include "fakes/recording_sink.h"
#include "fakes/test_module.h"
#include "support/main_thread.h"

namespace {

const std::string kPrefix = std::string("\xA7", 1) + "\r";

// Waits in the main thread, serving the bus thread's handlers and reports meanwhile.
bool WaitFor(const std::function<bool()>& condition, int ms = 5000) {
  return MainThread().WaitUntil(condition, std::chrono::milliseconds(ms));
}

class BusMasterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Ifc = std::make_unique<TRS485IFC>(&Clock);
    Master().ComPort().SetLineCreator([this] { return Bus.MakeLine(); });
    Bus.Responder = [](const std::string& written) -> std::optional<TFakeReply> {
      return TFakeReply{"#" + written.substr(1) + "\r\n", 1000};
    };
  }
  void TearDown() override { Ifc.reset(); }

  TSer485BusMaster& Master() { return Ifc->BusMaster(); }
  TTestModule* AddModule(uint8_t address, const std::vector<std::string>& polls,
                         bool enabled = true) {
    std::unique_ptr<TBusModule> module = std::make_unique<TTestModule>(address, polls, enabled);
    auto* raw = static_cast<TTestModule*>(module.get());
    EXPECT_GE(Ifc->AddModule(module), 0);
    return raw;
  }
  void Connect() {
    Master().SetActive(true);
    ASSERT_TRUE(Master().Active());
  }
  // Records the bus master's cycle number at every write.
  void RecordCycles() {
    auto inner = Bus.Responder;
    Bus.Responder = [this, inner](const std::string& written) {
      {
        std::lock_guard<std::mutex> lock(CycleMutex);
        Cycles.push_back(Master().CycleCount());
      }
      return inner(written);
    };
  }
  std::vector<uint64_t> CyclesSeen() {
    std::lock_guard<std::mutex> lock(CycleMutex);
    return Cycles;
  }

  TManualClock Clock;
  TFakeBus Bus{Clock};
  TRecordingSink Sink;
  std::unique_ptr<TRS485IFC> Ifc;
  std::mutex CycleMutex;
  std::vector<uint64_t> Cycles;
};

TEST(TransmitTimeTest, TenBitsPerCharacterPlusTheTerminator) {
  struct {
    std::size_t Length;
    uint32_t Baud;
    uint32_t Ms;
  } cases[] = {{9, 9600, 10}, {11, 9600, 12}, {9, 19200, 5}, {11, 19200, 6},
               {9, 38400, 2}, {9, 0, 10},     {0, 9600, 1},  {17, 9600, 18}};
  for (const auto& c : cases)
    EXPECT_EQ(TSer485BusMaster::TransmitTimeMs(c.Length, c.Baud), c.Ms)
        << c.Length << " characters at " << c.Baud;
}

TEST_F(BusMasterTest, NewInterfaceDefaults) {
  EXPECT_EQ(Ifc->Bezeichnung, "Virtuelles Interface, Class Busmaster= TSer485BusMaster");
  EXPECT_FALSE(Ifc->Active());
  EXPECT_FALSE(Ifc->Enabled());
  EXPECT_EQ(Ifc->Baud(), 9600u);
  EXPECT_EQ(Ifc->Port(), "COM1");
  EXPECT_EQ(Ifc->Timeout(), 200u);
  EXPECT_EQ(Ifc->PollPriority(), 10u);
  Ifc->SetPollPriority(0);
  EXPECT_EQ(Ifc->PollPriority(), 1u);
}

TEST_F(BusMasterTest, EveryPthCycleIsAPollCycleAndTheListRotates) {
  AddModule(0x1E, {"?1E200000"});
  AddModule(0x20, {"?20120000"});
  AddModule(0x7F, {"?7F200000"});
  RecordCycles();
  Connect();
  ASSERT_TRUE(Bus.WaitForWrites(4));
  Master().SetActive(false);
  const auto writes = Bus.Writes();
  EXPECT_EQ(std::vector<std::string>(writes.begin(), writes.begin() + 4),
            (std::vector<std::string>{"?1E200000", "?20120000", "?7F200000", "?1E200000"}));
  const auto cycles = CyclesSeen();
  EXPECT_EQ(std::vector<uint64_t>(cycles.begin(), cycles.begin() + 4),
            (std::vector<uint64_t>{1, 11, 21, 31}));
}

TEST_F(BusMasterTest, DisabledPollEntryCostsItsTurnButLetsTheQueueGo) {
  Ifc->SetPollPriority(2);
  AddModule(0x1E, {"?1E200000"});
  AddModule(0x32, {"?32200000"}, false);
  // Hold the first exchange until the one-shots are queued, so the schedule is known.
  std::promise<void> queued;
  std::shared_future<void> gate = queued.get_future().share();
  auto inner = Bus.Responder;
  Bus.Responder = [gate, inner](const std::string& w) {
    gate.wait();
    return inner(w);
  };
  RecordCycles();
  Connect();
  ASSERT_TRUE(Ifc->AddCommand("!1E100001"));
  ASSERT_TRUE(Ifc->AddCommand("!1E110001"));
  queued.set_value();
  ASSERT_TRUE(Bus.WaitForWrites(5));
  Master().SetActive(false);
  const auto writes = Bus.Writes();
  EXPECT_EQ(
      std::vector<std::string>(writes.begin(), writes.begin() + 5),
      (std::vector<std::string>{"?1E200000", "!1E100001", "!1E110001", "?1E200000", "?1E200000"}));
  const auto cycles = CyclesSeen();
  // Cycle 3 polls the disabled entry and sends the queue head instead; cycle 4 finds the queue
  // empty; cycle 7 is again the disabled entry's turn and sends nothing.
  EXPECT_EQ(std::vector<uint64_t>(cycles.begin(), cycles.begin() + 5),
            (std::vector<uint64_t>{1, 2, 3, 5, 9}));
}

TEST_F(BusMasterTest, PriorityOneStarvesTheQueueAndConnectDropsIt) {
  Ifc->SetPollPriority(1);
  AddModule(0x1E, {"?1E200000"});
  Connect();
  ASSERT_TRUE(Ifc->AddCommand("!1E100001"));
  ASSERT_TRUE(Bus.WaitForWrites(50));
  Master().SetActive(false);
  for (const std::string& w : Bus.Writes())
    EXPECT_EQ(w.substr(w.size() - 9), "?1E200000");
  EXPECT_EQ(Master().QueueCount(), 1u) << "disconnecting keeps the queue";
  Connect();
  EXPECT_EQ(Master().QueueCount(), 0u) << "connecting drops the old one-shots";
}

TEST_F(BusMasterTest, PriorityTwoSendsTheQueuedCommandInTheSecondCycle) {
  Ifc->SetPollPriority(2);
  AddModule(0x1E, {"?1E200000"});
  std::promise<void> queued;
  std::shared_future<void> gate = queued.get_future().share();
  auto inner = Bus.Responder;
  Bus.Responder = [gate, inner](const std::string& w) {
    gate.wait();
    return inner(w);
  };
  RecordCycles();
  Connect();
  ASSERT_TRUE(Ifc->AddCommand("!1E100001"));
  queued.set_value();
  ASSERT_TRUE(Bus.WaitForWrites(2));
  Master().SetActive(false);
  EXPECT_EQ(Bus.Writes()[1], "!1E100001");
  EXPECT_EQ(CyclesSeen()[1], 2u);
}

TEST_F(BusMasterTest, EveryThirtiethCommandCarriesTheResyncPrefix) {
  Ifc->SetPollPriority(1);
  AddModule(0x1E, {"?1E200000"});
  Connect();
  ASSERT_TRUE(Bus.WaitForWrites(61));
  Master().SetActive(false);
  const auto writes = Bus.Writes();
  for (std::size_t i = 0; i < 61; ++i) {
    const bool prefixed = (i + 1) % 30 == 0;
    EXPECT_EQ(writes[i], prefixed ? kPrefix + "?1E200000" : "?1E200000") << "command " << i + 1;
  }
}

TEST_F(BusMasterTest, DirectionSwitchAndWaitsInOrder) {
  struct {
    uint32_t Baud;
    int64_t TransmitUs;
  } rates[] = {{9600, 10000}, {19200, 5000}};
  for (const auto& rate : rates) {
    Ifc->SetBaud(rate.Baud);
    Bus.ClearEvents();
    Connect();
    ASSERT_TRUE(Ifc->AddCommand("!1E100001"));
    ASSERT_TRUE(Master().WaitQueueEmpty(std::chrono::seconds(5)));
    Master().SetActive(false);
    const auto events = Bus.Events();
    // Open, DTR cleared by the port, then the exchange: DTR cleared, write, DTR set.
    std::vector<TFakeEvent> exchange;
    for (const TFakeEvent& e : events)
      if (e.Kind != TFakeEvent::Open && e.Kind != TFakeEvent::Close) exchange.push_back(e);
    ASSERT_GE(exchange.size(), 4u);
    const TFakeEvent& clear = exchange[1];
    const TFakeEvent& write = exchange[2];
    const TFakeEvent& set = exchange[3];
    ASSERT_EQ(clear.Kind, TFakeEvent::Dtr);
    EXPECT_FALSE(clear.On);
    ASSERT_EQ(write.Kind, TFakeEvent::Write);
    EXPECT_EQ(write.Text, "!1E100001\r");
    ASSERT_EQ(set.Kind, TFakeEvent::Dtr);
    EXPECT_TRUE(set.On);
    EXPECT_EQ(write.TimeUs - clear.TimeUs, 1000) << "pre-send wait";
    EXPECT_EQ(set.TimeUs - write.TimeUs, rate.TransmitUs) << "transmit wait at " << rate.Baud;
  }
}

TEST_F(BusMasterTest, SilentCardTimesOutWithOneReportAndAnEmptyAnswer) {
  Bus.Responder = [](const std::string&) { return std::optional<TFakeReply>(); };
  Connect();
  std::vector<std::pair<std::string, std::string>> handled;
  ASSERT_TRUE(Ifc->AddCommand("?1E200000", [&](const std::string& c, const std::string& a) {
    handled.emplace_back(c, a);
  }));
  ASSERT_TRUE(WaitFor([&] { return handled.size() == 1; }));
  Master().SetActive(false);
  EXPECT_EQ(handled[0].first, "?1E200000");
  EXPECT_EQ(handled[0].second, "");
  EXPECT_EQ(Sink.Lines(),
            (std::vector<std::string>{"TimeOut, Modul antwortet nicht! \"?1E200000\" "}));
  // The answer wait lasted the whole time-out after the direction switch.
  const auto events = Bus.Events();
  int64_t setAt = 0;
  for (const TFakeEvent& e : events)
    if (e.Kind == TFakeEvent::Dtr && e.On) setAt = e.TimeUs;
  EXPECT_GE(Clock.NowUs() - setAt, 200000);
}

TEST_F(BusMasterTest, AnswerWithoutLineEndNeverCompletesButStaysBuffered) {
  int calls = 0;
  Bus.Responder = [&calls](const std::string&) -> std::optional<TFakeReply> {
    return ++calls == 1 ? TFakeReply{"#1E20", 1000} : TFakeReply{"0A0F\r\n", 1000};
  };
  Connect();
  std::vector<std::string> answers;
  auto record = [&](const std::string&, const std::string& a) { answers.push_back(a); };
  ASSERT_TRUE(Ifc->AddCommand("?1E200000", record));
  ASSERT_TRUE(Ifc->AddCommand("?1E200000", record));
  ASSERT_TRUE(WaitFor([&] { return answers.size() == 2; }));
  Master().SetActive(false);
  EXPECT_EQ(answers, (std::vector<std::string>{"", "#1E200A0F\r\n"}));
  EXPECT_EQ(Sink.Count("TimeOut, Modul antwortet nicht! "), 1u);
}

TEST_F(BusMasterTest, LateAnswerCountsForTheNextCommandButNotBetweenExchanges) {
  // Answer wait ends 10 ms (transmit) + 200 ms after the write; the next write follows 2 ms
  // (pause) + 1 ms (pre-send) later.
  struct {
    int64_t DelayUs;
    std::string SecondAnswer;
  } cases[] = {{250000, "#1E200001\r\n"}, {211500, ""}};
  for (const auto& c : cases) {
    int calls = 0;
    const int64_t delay = c.DelayUs;
    Bus.Responder = [&calls, delay](const std::string&) -> std::optional<TFakeReply> {
      if (++calls == 1) return TFakeReply{"#1E200001\r\n", delay};
      return std::nullopt;
    };
    Connect();
    std::vector<std::string> answers;
    auto record = [&](const std::string&, const std::string& a) { answers.push_back(a); };
    ASSERT_TRUE(Ifc->AddCommand("?1E200000", record));
    ASSERT_TRUE(Ifc->AddCommand("?1E500000", record));
    ASSERT_TRUE(WaitFor([&] { return answers.size() == 2; }));
    Master().SetActive(false);
    EXPECT_EQ(answers[0], "");
    EXPECT_EQ(answers[1], c.SecondAnswer) << "delay " << c.DelayUs;
  }
}

TEST_F(BusMasterTest, HandlerRunsInTheMainThreadAndAThrowingOneIsReportedOnce) {
  Connect();
  std::thread::id ranIn;
  int throwing = 0;
  bool second = false;
  ASSERT_TRUE(Ifc->AddCommand("!1E100001", [&](const std::string&, const std::string&) {
    ranIn = std::this_thread::get_id();
    ++throwing;
    throw std::runtime_error("Handler kaputt");
  }));
  ASSERT_TRUE(Ifc->AddCommand("!1E110001", [&](const std::string&, const std::string& a) {
    second = a == "#1E110001\r\n";
  }));
  ASSERT_TRUE(WaitFor([&] { return second; }));
  Master().SetActive(false);
  EXPECT_EQ(ranIn, std::this_thread::get_id());
  EXPECT_EQ(throwing, 1) << "a failing handler must not make its command go round again";
  EXPECT_EQ(Sink.Lines(), (std::vector<std::string>{"Handler kaputt"}));
  EXPECT_EQ(Bus.Writes(), (std::vector<std::string>{"!1E100001", "!1E110001"}));
}

TEST_F(BusMasterTest, AddCommandRefusals) {
  EXPECT_FALSE(Ifc->AddCommand("?1E200000")) << "disconnected";
  Connect();
  EXPECT_FALSE(Ifc->AddCommand("")) << "empty";
  EXPECT_TRUE(Ifc->AddCommand("?1E200000"));
  Master().SetActive(false);
  EXPECT_TRUE(Sink.Lines().empty());
}

TEST_F(BusMasterTest, ModulesAreUniqueByAddress) {
  AddModule(5, {"?05200000"});
  std::unique_ptr<TBusModule> second =
      std::make_unique<TTestModule>(5, std::vector<std::string>{"?05300000"});
  EXPECT_EQ(Ifc->AddModule(second), -1);
  EXPECT_NE(second, nullptr) << "a refused module stays with the caller";
  EXPECT_EQ(Master().PollCount(), 1u);
  EXPECT_EQ(Ifc->FindModule(5), 0);
  EXPECT_EQ(Ifc->FindModule(6), -1);
  TSer485BusMaster detached(nullptr, &Clock);
  EXPECT_EQ(detached.FindModule(5), -1);
  EXPECT_EQ(detached.AddModule(second), -1);
}

TEST_F(BusMasterTest, RemoveModuleReconnectsAndLeavesOnlyTheOthersPolled) {
  TTestModule* first = AddModule(0x1E, {"?1E200000", "?1E500000"});
  AddModule(0x20, {"?20120000"});
  Connect();
  ASSERT_TRUE(Bus.WaitForWrites(2));
  Ifc->RemoveModule(first);
  EXPECT_TRUE(Ifc->Active());
  EXPECT_EQ(Master().QueueCount(), 0u);
  EXPECT_EQ(Master().PollCount(), 1u);
  EXPECT_EQ(Ifc->Count(), 1);
  EXPECT_EQ(Ifc->FindModule(0x20), 0);
  Bus.ClearEvents();
  ASSERT_TRUE(Bus.WaitForWrites(3));
  Master().SetActive(false);
  for (const std::string& w : Bus.Writes())
    if (w.find("?1E") != std::string::npos) ADD_FAILURE() << "removed module still polled: " << w;
}

TEST_F(BusMasterTest, RemovingTheLastModuleLeavesOnlyQueuedCommands) {
  TTestModule* only = AddModule(0x1E, {"?1E200000"});
  Ifc->RemoveModule(only);
  EXPECT_EQ(Master().PollCount(), 0u);
  Connect();
  ASSERT_TRUE(Ifc->AddCommand("!40100001"));
  ASSERT_TRUE(Master().WaitQueueEmpty(std::chrono::seconds(5)));
  Master().SetActive(false);
  EXPECT_EQ(Bus.Writes(), (std::vector<std::string>{"!40100001"}));
}

TEST_F(BusMasterTest, PortThatCannotOpenIsReportedAndStaysDisconnected) {
  Bus.FailOpen = true;
  Ifc->SetPort("/dev/ttyUSB9");
  Master().SetActive(true);
  EXPECT_FALSE(Master().Active());
  ASSERT_EQ(Sink.Lines().size(), 1u);
  EXPECT_EQ(Sink.Lines()[0].rfind("TCOMPORT : cannot open /dev/ttyUSB9\r", 0), 0u);
  EXPECT_FALSE(Ifc->AddCommand("?1E200000"));
}

TEST_F(BusMasterTest, VanishedPortIsReportedOnceAndReconnectWorks) {
  AddModule(0x1E, {"?1E200000"});
  int lost = 0;
  Master().OnConnectionLost = [&] { ++lost; };
  Connect();
  ASSERT_TRUE(Bus.WaitForWrites(3));
  Bus.Unplug();
  ASSERT_TRUE(WaitFor([&] { return lost == 1 && !Master().Active(); }));
  const uint64_t cycles = Master().CycleCount();
  WaitFor([] { return false; }, 50);
  EXPECT_EQ(Master().CycleCount(), cycles) << "no cycles while the port is gone";
  EXPECT_EQ(Sink.Count("ComPort COM1 ist nicht mehr verfügbar"), 1u);
  EXPECT_EQ(lost, 1);
  Bus.Replug();
  Bus.ClearEvents();
  Connect();
  EXPECT_TRUE(Bus.WaitForWrites(2));
  Master().SetActive(false);
}

TEST_F(BusMasterTest, DisconnectWhileAHandlerIsPendingDoesNotDeadlock) {
  Connect();
  std::atomic<bool> ran{false};
  ASSERT_TRUE(
      Ifc->AddCommand("?1E200000", [&](const std::string&, const std::string&) { ran = true; }));
  // Do not serve the main thread until the bus thread is waiting for the handler.
  for (int i = 0; i < 5000 && MainThread().PendingCount() == 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ASSERT_GT(MainThread().PendingCount(), 0u);
  Master().SetActive(false);
  EXPECT_TRUE(ran);
  EXPECT_FALSE(Master().Active());
}

TEST_F(BusMasterTest, DestroyingWhileAHandlerIsPendingDoesNotDeadlock) {
  AddModule(0x1E, {"?1E200000"});
  Connect();
  std::atomic<bool> ran{false};
  ASSERT_TRUE(
      Ifc->AddCommand("?1E200000", [&](const std::string&, const std::string&) { ran = true; }));
  for (int i = 0; i < 5000 && MainThread().PendingCount() == 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  Ifc.reset();
  EXPECT_TRUE(ran);
}

TEST_F(BusMasterTest, IdleInterfaceWithoutPollingSleeps) {
  AddModule(0x32, {"?32200000"}, false);
  Connect();
  // Nothing to send: the thread waits for work instead of cycling.
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_TRUE(Bus.Writes().empty());
  ASSERT_TRUE(Ifc->AddCommand("!32100001"));
  ASSERT_TRUE(Master().WaitQueueEmpty(std::chrono::seconds(5)));
  Master().SetActive(false);
  EXPECT_EQ(Bus.Writes(), (std::vector<std::string>{"!32100001"}));
}

TEST_F(BusMasterTest, ReceivedPiecesReachTheObserverInTheMainThread) {
  std::vector<std::string> pieces;
  Master().SetOnReceived([&](const std::string& piece) { pieces.push_back(piece); });
  Connect();
  ASSERT_TRUE(Ifc->AddCommand("?1E200000"));
  ASSERT_TRUE(WaitFor([&] { return !pieces.empty(); }));
  Master().SetActive(false);
  EXPECT_EQ(pieces[0], "#1E200000\r\n");
}

}  // namespace
