#include "modules/switch_commands.h"

#include <gtest/gtest.h>

#include "modules/text_command.h"

namespace {

TEST(SwitchCommandsTest, ReadPortCommand) {
  struct TCase {
    const char* Text;
    int32_t LastPort;
    const char* Word;  // empty: the port overflows
    int32_t Port, Value;
  } cases[] = {
      {"!Schalten(1,$1E,3,1)", 15, "!SCHALTEN", 3, 1},
      {"!schalten(1,$1E,$0F,0)", 15, "!SCHALTEN", 15, 0},
      {"!Schalten(1,$1E,3)", 15, "!SCHALTEN", 3, 0},
      {"!Schalten(1,$1E,3,ein)", 15, "!SCHALTEN", 3, -1},
      {"!Schalten(1,$1E,abc,1)", 15, "!SCHALTEN", 0, 1},
      {"?Port(1,$1E)", 7, "?PORT", 0, 0},
      {"!Schalten(1,$1E,16,1)", 15, "", 0, 0},
      {"!Schalten(1,$7F,8,1)", 7, "", 0, 0},
      {"!Schalten(1,$7F,-1,1)", 7, "", 0, 0},
      {"!Unbekannt(1,$7F,99)", 7, "", 0, 0},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Text);
    const std::vector<std::string> entries = SplitTextCommand(c.Text);
    if (!*c.Word) {
      std::string error;
      try {
        ReadPortCommand(entries, c.LastPort, "PortNr. overflow.");
      } catch (const TTextCommandError& e) {
        error = e.what();
      }
      EXPECT_EQ(error, "PortNr. overflow.");
      continue;
    }
    const TPortCommand command = ReadPortCommand(entries, c.LastPort, "");
    EXPECT_EQ(command.Word, c.Word);
    EXPECT_EQ(command.Port, c.Port);
    EXPECT_EQ(command.Value, c.Value);
    EXPECT_EQ(command.On(), c.Value != 0);
  }
  EXPECT_EQ(TextCommandEntry({"a"}, 3), "");
}

}  // namespace
