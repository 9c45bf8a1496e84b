#include "support/message_sink.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "support/main_thread.h"

namespace {

struct TNoticeCapture {
  std::vector<std::string> Notices;
  TNoticeHandler Previous;
  TNoticeCapture() {
    Previous = SetNoticeHandler([this](const std::string& text) { Notices.push_back(text); });
  }
  ~TNoticeCapture() { SetNoticeHandler(Previous); }
};

TEST(MessageSinkTest, WithoutHandlerAReportBecomesANotice) {
  TNoticeCapture notices;
  const TMessageHandler saved = SetMessageHandler({});
  ReportMessage("Kein Handler", 1);
  SetMessageHandler(saved);
  EXPECT_EQ(notices.Notices, (std::vector<std::string>{"Kein Handler"}));
}

TEST(MessageSinkTest, HandlerGetsTextAndKindUnchanged) {
  std::vector<std::pair<std::string, uint8_t>> got;
  TMessageHandlerScope scope(
      [&](const std::string& text, uint8_t kind) { got.emplace_back(text, kind); });
  ReportMessage("TimeOut, Modul antwortet nicht! \"?1E200000\" ", 1);
  ReportMessage("plain", 0);
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].first, "TimeOut, Modul antwortet nicht! \"?1E200000\" ");
  EXPECT_EQ(got[0].second, 1);
  EXPECT_EQ(got[1].second, 0);
}

TEST(MessageSinkTest, NestedInstallersRestoreTheSlot) {
  std::vector<std::string> first, second;
  TMessageHandlerScope outer([&](const std::string& t, uint8_t) { first.push_back(t); });
  {
    TMessageHandlerScope inner([&](const std::string& t, uint8_t) { second.push_back(t); });
    ReportMessage("a", 1);
  }
  ReportMessage("b", 1);
  EXPECT_EQ(first, (std::vector<std::string>{"b"}));
  EXPECT_EQ(second, (std::vector<std::string>{"a"}));
}

TEST(MessageSinkTest, ReportsFromOtherThreadsArriveInTheMainThreadInCallOrder) {
  std::vector<std::string> got;
  std::thread::id handlerThread;
  TMessageHandlerScope scope([&](const std::string& text, uint8_t) {
    got.push_back(text);
    handlerThread = std::this_thread::get_id();
  });
  std::thread bus([] {
    for (int i = 0; i < 100; ++i)
      ReportMessage(std::to_string(i), 1);
  });
  bus.join();
  EXPECT_TRUE(got.empty()) << "delivered outside the main thread";
  MainThread().WaitUntil([&] { return got.size() == 100; }, std::chrono::seconds(5));
  ASSERT_EQ(got.size(), 100u);
  for (int i = 0; i < 100; ++i)
    EXPECT_EQ(got[static_cast<std::size_t>(i)], std::to_string(i));
  EXPECT_EQ(handlerThread, std::this_thread::get_id());
}

TEST(MessageSinkTest, AThrowingHandlerDoesNotReachTheCaller) {
  TMessageHandlerScope scope([](const std::string&, uint8_t) { throw std::runtime_error("x"); });
  EXPECT_NO_THROW(ReportMessage("boom", 1));
}

TEST(MainThreadExecutorTest, InvokeAndWaitRunsInTheMainThreadAndCarriesExceptions) {
  std::thread::id ranIn;
  std::optional<std::string> failure;
  std::optional<std::string> success;
  std::atomic<bool> done{false};
  std::thread worker([&] {
    success = MainThread().InvokeAndWait([&] { ranIn = std::this_thread::get_id(); });
    failure = MainThread().InvokeAndWait([] { throw std::runtime_error("Handler kaputt"); });
    done = true;
    MainThread().Notify();
  });
  MainThread().WaitUntil([&] { return done.load(); }, std::chrono::seconds(5));
  worker.join();
  EXPECT_EQ(ranIn, std::this_thread::get_id());
  EXPECT_FALSE(success.has_value());
  ASSERT_TRUE(failure.has_value());
  EXPECT_EQ(*failure, "Handler kaputt");
}

// Once SetWaker returns, the waker it replaced is neither running nor about to run: the Qt
// waker's target object is deleted right after it is taken away, while bus threads may still post.
TEST(MainThreadExecutorTest, AReplacedWakerIsNeverCalledAfterwards) {
  std::atomic<bool> stop{false};
  std::atomic<int> lateCalls{0};
  std::vector<std::thread> posters;
  for (int i = 0; i < 2; ++i)
    posters.emplace_back([&] {
      while (!stop.load())
        MainThread().Notify();
    });
  for (int round = 0; round < 300; ++round) {
    auto alive = std::make_shared<std::atomic<bool>>(true);
    auto calls = std::make_shared<std::atomic<int>>(0);
    MainThread().SetWaker([alive, calls, &lateCalls] {
      if (!alive->load()) ++lateCalls;
      ++*calls;
    });
    while (calls->load() < 2)
      std::this_thread::yield();  // taken away while the posters call it
    MainThread().SetWaker({});
    alive->store(false);
  }
  stop.store(true);
  for (std::thread& poster : posters)
    poster.join();
  EXPECT_EQ(lateCalls.load(), 0);
}

TEST(MainThreadExecutorTest, WaitUntilGivesUpAfterTheTimeOut) {
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(MainThread().WaitUntil([] { return false; }, std::chrono::milliseconds(30)));
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));
}

}  // namespace
