#include "modules/message_format.h"

#include <gtest/gtest.h>

#include <ostream>

#include "modules/text_command.h"

namespace {

struct TParseCase {
  const char* Line;
  int Flags;
  const char* Adr;
  const char* Cmd;
  const char* Data1;
  const char* Data2;
  const char* Payload;
};

// Test names show the line, not its bytes.
void PrintTo(const TParseCase& c, std::ostream* os) {
  *os << '"' << c.Line << '"';
}

class ParseAnswerTest : public ::testing::TestWithParam<TParseCase> {};

TEST_P(ParseAnswerTest, SplitsFieldsAndFlagsValidOnes) {
  const TParseCase& c = GetParam();
  TRS485CmdRecord r;
  EXPECT_EQ(ParseAnswer(c.Line, r), c.Flags);
  EXPECT_EQ(r.Adr, c.Adr);
  EXPECT_EQ(r.Cmd, c.Cmd);
  EXPECT_EQ(r.Data1, c.Data1);
  EXPECT_EQ(r.Data2, c.Data2);
  EXPECT_EQ(r.Payload, c.Payload);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ParseAnswerTest,
    ::testing::Values(TParseCase{"#1E200A0F\r\n", 31, "1E", "20", "0A", "0F", ""},
                      TParseCase{"#1E01[MXB01.2.1]\r\n", 135, "1E", "01", "[M", "XB",
                                 "[MXB01.2.1]\r\n"},
                      TParseCase{"X1E200A0F", 0, "1E", "20", "0A", "0F", ""},
                      TParseCase{"#1E2G0A0F", 27, "1E", "2G", "0A", "0F", ""},
                      TParseCase{"?1E200000", 31, "1E", "20", "00", "00", ""},
                      TParseCase{"#1e200a0f", 31, "1e", "20", "0a", "0f", ""},
                      TParseCase{"#1E20", 7, "1E", "20", "", "", ""},
                      TParseCase{"", 0, "", "", "", "", ""}, TParseCase{"#", 1, "", "", "", "", ""},
                      TParseCase{"#1E20-1-1", 7, "1E", "20", "-1", "-1", ""},
                      TParseCase{"#1E20 0 0", 7, "1E", "20", " 0", " 0", ""},
                      // A character lost on the wire: the line end must not pass for a digit.
                      TParseCase{"#1E200A0\r\n", 15, "1E", "20", "0A", "0\r", ""},
                      TParseCase{"#1E200A0 ", 15, "1E", "20", "0A", "0 ", ""},
                      TParseCase{"#1E2\r\n", 3, "1E", "2\r", "\n", "", ""}));

TEST(BuildCommandTest, NineCharactersOfUpperCaseHex) {
  EXPECT_EQ(BuildCommand('!', 0x1E, 0x10 + 5, 0, 1), "!1E150001");
  EXPECT_EQ(BuildCommand('?', 0x30, 0x02, 0, 0), "?30020000");
  EXPECT_EQ(BuildCommand16('!', 0x1E, 0x50, 250), "!1E5000FA");
  EXPECT_EQ(BuildCommand16('!', 0xFF, 0x20, 0xABCD), "!FF20ABCD");
}

struct TSplitCase {
  const char* Text;
  std::vector<std::string> Entries;
};

void PrintTo(const TSplitCase& c, std::ostream* os) {
  *os << '"' << c.Text << '"';
}

class SplitTextCommandTest : public ::testing::TestWithParam<TSplitCase> {};

TEST_P(SplitTextCommandTest, EntriesByPosition) {
  EXPECT_EQ(SplitTextCommand(GetParam().Text), GetParam().Entries);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, SplitTextCommandTest,
    ::testing::Values(
        TSplitCase{"!Schalten(1,$1E,3,1)", {"!Schalten", "1", "$1E", "3", "1", ""}},
        TSplitCase{"?Port(1,30,2)", {"?Port", "1", "30", "2", "", "ERROR"}},
        TSplitCase{" !Toggeln ( 0 , 5 , [7] )", {"!Toggeln", "0", "5", "7", "", "ERROR"}},
        TSplitCase{"Schalten(1,$1E,3,1)", {"Schalten", "1", "$1E", "3", "1", "ERROR"}},
        TSplitCase{"!SchaltenMsk(1,$1E,4,15,5)", {"!SchaltenMsk", "1", "$1E", "4", "15", "5", ""}},
        TSplitCase{"", {"", "", "", "", "", "ERROR"}},
        TSplitCase{"!FreeCmd(1,?1E200000)", {"!FreeCmd", "1", "?1E200000", "", "", "ERROR"}},
        TSplitCase{"!a\tb,,c  d)(e", {"!a", "b", "c", "d", "e", ""}}));

}  // namespace
