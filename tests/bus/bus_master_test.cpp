#include "bus/bus_master.h"

#include <gtest/gtest.h>

#include <algorithm>
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

TEST(TransmitWaitTest, LineTimeOfTextAndTerminatorPlusOneCharacterRoundedUp) {
  // A 9-character command takes 10 character times on the line: 10.42 ms at 9600 baud, 5.21 ms
  // at 19200; the prefixed one 12.50 and 6.25 ms.
  struct {
    std::size_t Length;
    uint32_t Baud;
    uint32_t Us;
  } cases[] = {{9, 9600, 11459}, {11, 9600, 13542}, {9, 19200, 5730},  {11, 19200, 6771},
               {9, 0, 11459},    {0, 9600, 2084},   {17, 9600, 19792}, {8, 10000, 10000}};
  for (const auto& c : cases)
    EXPECT_EQ(TSer485BusMaster::TransmitWaitUs(c.Length, c.Baud), c.Us)
        << c.Length << " characters at " << c.Baud;
  // Never a µs before the last bit plus one character has passed, never a whole µs more.
  for (const uint32_t baud : {9600u, 19200u, 38400u, 115200u})
    for (std::size_t length = 0; length <= 300; ++length) {
      const uint64_t wait = TSer485BusMaster::TransmitWaitUs(length, baud);
      const uint64_t bitsUs = (length + 2) * 10 * 1'000'000;
      EXPECT_GE(wait * baud, bitsUs) << length << " at " << baud;
      EXPECT_LT((wait - 1) * baud, bitsUs) << length << " at " << baud;
    }
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

TEST_F(BusMasterTest, PriorityOneGivesEveryOtherCycleToWaitingOneShots) {
  Ifc->SetPollPriority(1);
  AddModule(0x1E, {"?1E200000"});
  AddModule(0x32, {"?32200000"}, false);
  std::promise<void> queued;
  std::shared_future<void> gate = queued.get_future().share();
  auto inner = Bus.Responder;
  Bus.Responder = [gate, inner](const std::string& w) {
    gate.wait();
    return inner(w);
  };
  RecordCycles();
  Connect();
  for (const char* text : {"!1E100001", "!1E110001", "!1E120001"})
    ASSERT_TRUE(Ifc->AddCommand(text));
  queued.set_value();
  ASSERT_TRUE(Bus.WaitForWrites(8));
  Master().SetActive(false);
  const auto writes = Bus.Writes();
  // Cycle 3 is the disabled entry's turn, which lets the queue head go; cycle 6 finds the queue
  // empty. Once the queue is empty every cycle polls again.
  EXPECT_EQ(std::vector<std::string>(writes.begin(), writes.begin() + 8),
            (std::vector<std::string>{"?1E200000", "!1E100001", "!1E110001", "?1E200000",
                                      "!1E120001", "?1E200000", "?1E200000", "?1E200000"}));
  const auto cycles = CyclesSeen();
  EXPECT_EQ(std::vector<uint64_t>(cycles.begin(), cycles.begin() + 8),
            (std::vector<uint64_t>{1, 2, 3, 4, 5, 7, 9, 11}));
}

TEST_F(BusMasterTest, DisconnectKeepsTheQueueAndConnectDropsIt) {
  // Hold the first exchange in its write until the disconnect has begun.
  std::promise<void> disconnecting;
  std::shared_future<void> gate = disconnecting.get_future().share();
  auto inner = Bus.Responder;
  Bus.Responder = [gate, inner](const std::string& w) {
    gate.wait();
    return inner(w);
  };
  Connect();
  for (const char* text : {"!1E100001", "!1E110001"})
    ASSERT_TRUE(Ifc->AddCommand(text));
  // The disconnect serves the main thread while it waits for the bus thread: that opens the gate.
  MainThread().Post([&disconnecting] { disconnecting.set_value(); });
  Master().SetActive(false);
  EXPECT_EQ(Master().QueueCount(), 2u) << "disconnecting keeps the queue";
  EXPECT_EQ(Master().OldestWaitingSerial(), Master().LastQueuedSerial() - 1);
  Connect();
  EXPECT_EQ(Master().QueueCount(), 0u) << "connecting drops the old one-shots";
  EXPECT_EQ(Master().OldestWaitingSerial(), 0u);
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

TEST_F(BusMasterTest, LineIsTurnedRoundOnlyAfterTheLastBitAndOneCharacterMore) {
  // Microseconds from the write to DTR set: the line time of the text and its CR plus one
  // character, without and with the resynchronisation prefix.
  struct {
    uint32_t Baud;
    int64_t PlainUs;
    int64_t PrefixedUs;
  } rates[] = {{9600, 11459, 13542}, {19200, 5730, 6771}};
  Ifc->SetPollPriority(1);
  AddModule(0x1E, {"?1E200000"});
  for (const auto& rate : rates) {
    Ifc->SetBaud(rate.Baud);
    Bus.ClearEvents();
    Connect();
    ASSERT_TRUE(Bus.WaitForWrites(31));
    Master().SetActive(false);
    std::vector<TFakeEvent> line;
    for (const TFakeEvent& e : Bus.Events())
      if (e.Kind == TFakeEvent::Dtr || e.Kind == TFakeEvent::Write) line.push_back(e);
    // The port clears DTR when it opens; then each exchange: DTR cleared, write, DTR set. The
    // first 30 exchanges are complete, and any 30 in a row hold one prefixed command.
    ASSERT_GE(line.size(), 1 + 3 * 30u);
    int prefixed = 0;
    for (std::size_t i = 1; i < 1 + 3 * 30; i += 3) {
      const TFakeEvent& clear = line[i];
      const TFakeEvent& write = line[i + 1];
      const TFakeEvent& set = line[i + 2];
      ASSERT_EQ(clear.Kind, TFakeEvent::Dtr) << i;
      EXPECT_FALSE(clear.On);
      ASSERT_EQ(write.Kind, TFakeEvent::Write) << i;
      ASSERT_EQ(set.Kind, TFakeEvent::Dtr) << i;
      EXPECT_TRUE(set.On);
      EXPECT_EQ(write.TimeUs - clear.TimeUs, 1000) << "pre-send wait";
      const bool withPrefix = write.Text.size() == 12;
      prefixed += withPrefix ? 1 : 0;
      const int64_t due = withPrefix ? rate.PrefixedUs : rate.PlainUs;
      EXPECT_GE(set.TimeUs - write.TimeUs, due) << write.Text.size() << " at " << rate.Baud;
      EXPECT_LT(set.TimeUs - write.TimeUs, due + 1000) << write.Text.size() << " at " << rate.Baud;
    }
    EXPECT_EQ(prefixed, 1);
  }
}

TEST_F(BusMasterTest, SilentCardTimesOutWithOneReadableReportAndAnEmptyAnswer) {
  Bus.Responder = [](const std::string&) { return std::optional<TFakeReply>(); };
  Connect();
  std::vector<std::pair<std::string, std::string>> handled;
  for (int i = 0; i < 30; ++i)
    ASSERT_TRUE(Ifc->AddCommand("?1E200000", [&](const std::string& c, const std::string& a) {
      handled.emplace_back(c, a);
    }));
  ASSERT_TRUE(WaitFor([&] { return handled.size() == 30; }));
  Master().SetActive(false);
  for (const auto& [command, answer] : handled) {
    EXPECT_EQ(command, "?1E200000") << "the handler sees the command without the prefix";
    EXPECT_EQ(answer, "");
  }
  // The 30th carried the prefix: the report shows it as sent, in one readable line.
  std::vector<std::string> expected(29, "TimeOut, Modul antwortet nicht! \"?1E200000\" ");
  expected.push_back("TimeOut, Modul antwortet nicht! \"<A7><0D>?1E200000\" ");
  EXPECT_EQ(Sink.Lines(), expected);
  // The answer wait lasted the whole time-out after the direction switch.
  const auto events = Bus.Events();
  int64_t setAt = 0;
  for (const TFakeEvent& e : events)
    if (e.Kind == TFakeEvent::Dtr && e.On) setAt = e.TimeUs;
  EXPECT_GE(Clock.NowUs() - setAt, 200000);
}

TEST_F(BusMasterTest, StrayTextNeverBecomesTheAnswerOfAnotherCommand) {
  // The first command's exchange goes wrong in some way; the second must get its own answer,
  // and what was dropped ends in one log line and reaches the observer.
  const std::string noise("#7F\r\n\xFF", 6);
  struct {
    const char* Name;
    std::string FirstReply;
    std::string StrayBetween;  // arrives after the first exchange, before the second
    std::string FirstAnswer;
    std::string Report;
    TDroppedInput::TWhen When;
    std::string Dropped;
  } cases[] = {
      {"answer without line end", "#1E20", "", "",
       "IFC(3): 5 Zeichen vor dem Senden verworfen: \"#1E20\"", TDroppedInput::BeforeSend, "#1E20"},
      {"two lines in one read", "#1E200001\r\n#20200000\r\n", "", "#1E200001\r\n",
       "IFC(3): 1 weitere Zeile nach der Antwort auf \"?1E200000\" verworfen: "
       "\"#20200000<0D><0A>\"",
       TDroppedInput::AfterAnswer, "#20200000\r\n"},
      {"stray line and noise between exchanges", "#1E200001\r\n", noise, "#1E200001\r\n",
       "IFC(3): 6 Zeichen vor dem Senden verworfen: \"#7F<0D><0A><FF>\"", TDroppedInput::BeforeSend,
       noise},
  };
  Ifc->SetIfcNumber(3);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    Sink.Clear();
    int calls = 0;
    Bus.Responder = [&](const std::string& written) -> std::optional<TFakeReply> {
      if (++calls == 1) {
        if (!c.StrayBetween.empty()) Bus.Inject(c.StrayBetween, Clock.NowUs() + 300000);
        return TFakeReply{c.FirstReply, 1000};
      }
      return TFakeReply{"#" + written.substr(1) + "\r\n", 1000};
    };
    std::vector<TDroppedInput> dropped;
    Master().SetOnDropped([&](const TDroppedInput& d) { dropped.push_back(d); });
    Connect();
    std::vector<std::string> answers;
    auto record = [&](const std::string&, const std::string& a) { answers.push_back(a); };
    ASSERT_TRUE(Ifc->AddCommand("?1E200000", record));
    // The second command is queued only once the stray is due, so it falls between the two.
    ASSERT_TRUE(WaitFor([&] { return answers.size() == 1; }));
    Clock.Advance(400000);
    ASSERT_TRUE(Ifc->AddCommand("?1E500000", record));
    ASSERT_TRUE(WaitFor([&] { return answers.size() == 2 && dropped.size() == 1; }));
    Master().SetActive(false);
    Master().SetOnDropped({});
    EXPECT_EQ(answers, (std::vector<std::string>{c.FirstAnswer, "#1E500000\r\n"}));
    const auto lines = Sink.Lines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), c.Report), 1)
        << ::testing::PrintToString(lines);
    EXPECT_EQ(lines.size(), c.FirstAnswer.empty() ? 2u : 1u) << "a time-out, and the drop";
    EXPECT_EQ(dropped[0].When, c.When);
    EXPECT_EQ(dropped[0].Text, c.Dropped);
    EXPECT_EQ(dropped[0].Command, c.When == TDroppedInput::BeforeSend ? "?1E500000" : "?1E200000");
  }
}

TEST_F(BusMasterTest, LateAnswerCountsForTheNextCommandButNotBetweenExchanges) {
  // Answer wait ends 11.459 ms (transmit) + 200 ms after the write; the next write follows 2 ms
  // (pause) + 1 ms (pre-send) later. A late answer in the next answer wait cannot be told from
  // the real one (the module looks at the address); one before the next write is dropped.
  struct {
    int64_t DelayUs;
    std::string SecondAnswer;
  } cases[] = {{250000, "#1E200001\r\n"}, {212000, ""}};
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
    EXPECT_EQ(Sink.Count("IFC(0): 11 Zeichen vor dem Senden verworfen: "),
              c.SecondAnswer.empty() ? 1u : 0u);
    Sink.Clear();
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
