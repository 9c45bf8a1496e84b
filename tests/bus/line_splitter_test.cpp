#include <gtest/gtest.h>

#include "bus/com_port.h"

namespace {

TEST(LineSplitterTest, DeliversWholePiecesOnly) {
  TLineSplitter splitter;
  std::string piece;
  splitter.Append("A");
  EXPECT_FALSE(splitter.NextPiece(piece));
  splitter.Append("BC\r\n");
  ASSERT_TRUE(splitter.NextPiece(piece));
  EXPECT_EQ(piece, "ABC\r\n");
  splitter.Append("#1\r\n#2\r\n#3\r");
  ASSERT_TRUE(splitter.NextPiece(piece));
  EXPECT_EQ(piece, "#1\r\n");
  ASSERT_TRUE(splitter.NextPiece(piece));
  EXPECT_EQ(piece, "#2\r\n");
  EXPECT_FALSE(splitter.NextPiece(piece)) << "a CR alone does not end a piece";
  EXPECT_EQ(splitter.Pending(), "#3\r");
}

}  // namespace
