#include "support/diagnostics.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::vector<std::string> GLines;
void Collect(const std::string& line) {
  GLines.push_back(line);
}

std::vector<std::string> Emitted(const std::string& text) {
  GLines.clear();
  const TDebugSink previous = SetDebugSink(&Collect);
  DebugOutText(text);
  SetDebugSink(previous);
  return GLines;
}

TEST(DebugOutTextTest, SplitsLinesAndLongRuns) {
  EXPECT_EQ(Emitted("ab\r\ncd"), (std::vector<std::string>{"ab", "cd"}));
  EXPECT_EQ(Emitted("whole line"), (std::vector<std::string>{"whole line"}));
  EXPECT_TRUE(Emitted("").empty());
  EXPECT_EQ(Emitted(std::string("ab\0cd", 5)), (std::vector<std::string>{"ab"}));

  const std::vector<std::string> pieces = Emitted(std::string(600, 'x'));
  ASSERT_EQ(pieces.size(), 3u);
  EXPECT_EQ(pieces[0].size(), 251u);
  EXPECT_EQ(pieces[1].size(), 251u);
  EXPECT_EQ(pieces[2].size(), 98u);
}

#ifndef _WIN32
TEST(DeveloperModeTest, FollowsTheEnvironmentOnEveryCall) {
  unsetenv("KAVORCONFIG_DEVELOPER");
  EXPECT_FALSE(IsDeveloperMode());
  setenv("KAVORCONFIG_DEVELOPER", "1", 1);
  EXPECT_TRUE(IsDeveloperMode());
  setenv("KAVORCONFIG_DEVELOPER", "0", 1);
  EXPECT_FALSE(IsDeveloperMode());
  unsetenv("KAVORCONFIG_DEVELOPER");
}
#endif

TEST(DebugChannelsTest, AbsentLibraryChangesNothing) {
  DebugChannelsStart();
  GLines.clear();
  const TDebugSink previous = SetDebugSink(&Collect);
  DebugOut("still here");
  SetDebugSink(previous);
  DebugChannelsStop();
  EXPECT_EQ(GLines, (std::vector<std::string>{"still here"}));
}

}  // namespace
