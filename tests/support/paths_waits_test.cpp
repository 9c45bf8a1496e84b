#include <gtest/gtest.h>

#include <chrono>

#include "support/paths.h"
#include "support/waits.h"

namespace {

TEST(PathsTest, TrailingDelimiterAndNames) {
  const std::string d(1, PathDelimiter());
  EXPECT_EQ(IncludeTrailingBackslash("abc"), "abc" + d);
  EXPECT_EQ(IncludeTrailingBackslash("abc" + d), "abc" + d);
  EXPECT_EQ(IncludeTrailingBackslash(""), d);
  EXPECT_EQ(ExcludeTrailingBackslash("abc" + d), "abc");
  EXPECT_EQ(ExcludeTrailingBackslash("abc"), "abc");
  EXPECT_EQ(FileNameWithoutExt("dir" + d + "Modell1.INI"), "Modell1");
  EXPECT_EQ(FileNameWithoutExt("Modell1"), "Modell1");
  EXPECT_EQ(ExtractFileDir("dir" + d + "sub" + d + "x.ini"), "dir" + d + "sub");
  EXPECT_EQ(ChangeFileExt("dir" + d + "a.txt", ".INI"), "dir" + d + "a.INI");
  EXPECT_EQ(ChangeFileExt("dir.d" + d + "a", ".INI"), "dir.d" + d + "a.INI");
}

TEST(WaitsTest, WaitBusyAndWaitWithMessagesLastLongerThanAsked) {
  auto start = std::chrono::steady_clock::now();
  WaitBusy(20);
  EXPECT_GT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(20));
  start = std::chrono::steady_clock::now();
  WaitWithMessages(15);
  EXPECT_GT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(15));
}

TEST(WaitsTest, WaitWithMessagesUntilEndsEarly) {
  int calls = 0;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(WaitWithMessagesUntil([&] { return ++calls >= 1; }, 5000));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}

TEST(StopWatchTest, StartsOnFirstReading) {
  TStopWatch watch;
  EXPECT_FALSE(watch.Running());
  EXPECT_EQ(watch.ElapsedMs(), 0);
  EXPECT_TRUE(watch.Running());
}

}  // namespace
