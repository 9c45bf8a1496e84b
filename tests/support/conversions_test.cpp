#include "support/conversions.h"

#include <gtest/gtest.h>

#include <ostream>

namespace {

struct TIntCase {
  const char* Text;
  int32_t Default;
  int32_t Expected;
};

// Test names show the text, not its bytes.
void PrintTo(const TIntCase& c, std::ostream* os) {
  *os << '"' << c.Text << '"';
}

class TextToIntTest : public ::testing::TestWithParam<TIntCase> {};

TEST_P(TextToIntTest, ReadsEveryForm) {
  const TIntCase& c = GetParam();
  EXPECT_EQ(TextToInt(c.Text, c.Default), c.Expected) << "text: \"" << c.Text << "\"";
}

INSTANTIATE_TEST_SUITE_P(
    Forms, TextToIntTest,
    ::testing::Values(TIntCase{" 42 ", -1, 42}, TIntCase{"$1A", -1, 26}, TIntCase{"&H1A", -1, 26},
                      TIntCase{"&H12 34", -1, 4660}, TIntCase{"&Hff", -7, -7},
                      TIntCase{"&H0FF", -7, -7}, TIntCase{"$ff", -1, 255}, TIntCase{"0x10", -1, 16},
                      TIntCase{"0X1f", -1, 31}, TIntCase{"x10", -1, 16}, TIntCase{"&B101", 99, 5},
                      TIntCase{"&B101", -99, 5}, TIntCase{"&B1010 0000", -1, 160},
                      // A one in the 32nd place from the right does not fit.
                      TIntCase{"&B10000000000000000000000000000000", -3, -3},
                      // Digits beyond the 32nd from the right are ignored.
                      TIntCase{"&B1100000000000000000000000000000001", -3, 1},
                      TIntCase{"12abc", -5, -5}, TIntCase{"", -5, -5}, TIntCase{"   ", -5, -5},
                      TIntCase{"4294967295", -5, -5}, TIntCase{"2147483647", -5, 2147483647},
                      TIntCase{"-2147483648", -5, INT32_MIN}, TIntCase{"-12", 0, -12},
                      TIntCase{"+12", 0, 12}, TIntCase{"$FFFFFFFF", -5, -5},
                      TIntCase{"$7FFFFFFF", -5, 2147483647}, TIntCase{"$", -5, -5},
                      TIntCase{"-", -5, -5}, TIntCase{"0x", -5, -5}, TIntCase{"1 2", -5, -5},
                      TIntCase{"$1E", -1, 30}, TIntCase{"$1e", -1, 30}, TIntCase{"$G1", -9, -9}));

struct TBoolCase {
  const char* Text;
  int32_t Expected;
};

void PrintTo(const TBoolCase& c, std::ostream* os) {
  *os << '"' << c.Text << '"';
}

class TextToIntOrBoolTest : public ::testing::TestWithParam<TBoolCase> {};

TEST_P(TextToIntOrBoolTest, WordsAndNumbersWithPointDecimals) {
  const TBoolCase& c = GetParam();
  EXPECT_EQ(TextToIntOrBool(c.Text, -99, TNumberFormat{'.', ','}), c.Expected) << c.Text;
}

INSTANTIATE_TEST_SUITE_P(
    Forms, TextToIntOrBoolTest,
    ::testing::Values(TBoolCase{"ja", 1}, TBoolCase{"JA", 1}, TBoolCase{"jA", 1},
                      TBoolCase{" Aus ", 0}, TBoolCase{"wahr", 1}, TBoolCase{"falsch", 0},
                      TBoolCase{"ON", 1}, TBoolCase{"off", 0}, TBoolCase{"y", 1}, TBoolCase{"n", 0},
                      TBoolCase{"7", 7}, TBoolCase{"-1", -1}, TBoolCase{"0", 0}, TBoolCase{"1", 1},
                      TBoolCase{"maybe", -99}, TBoolCase{"", -99}, TBoolCase{"2.5", 2},
                      TBoolCase{"3.5", 4}, TBoolCase{"2.6", 3}, TBoolCase{"-2.6", -3},
                      TBoolCase{"1e3", 1000}, TBoolCase{"2,6", -99},
                      TBoolCase{"2147483647", 2147483647}, TBoolCase{"2147483648", -99},
                      TBoolCase{"-2147483647", -99}, TBoolCase{"--1", -99}, TBoolCase{"250", 250}));

TEST(TextToIntOrBoolTest, FallsBackToTheLocaleDecimalComma) {
  const TNumberFormat german{',', '.'};
  EXPECT_EQ(TextToIntOrBool("2,6", -99, german), 3);
  EXPECT_EQ(TextToIntOrBool("1.234,4", -99, german), 1234);
  EXPECT_EQ(TextToIntOrBool("2.6", -99, german), 3);  // the point is tried first
  EXPECT_EQ(TextToIntOrBool("2,6x", -99, german), -99);
}

TEST(IntToHexTextTest, PadsAndWidens) {
  EXPECT_EQ(IntToHexText(10, 2), "0A");
  EXPECT_EQ(IntToHexText(300, 2), "12C");
  EXPECT_EQ(IntToHexText(5, 4), "0005");
  EXPECT_EQ(IntToHexText(0, 2), "00");
  EXPECT_EQ(IntToHexText(-1, 2), "FFFFFFFF");
  EXPECT_EQ(IntToHexText(0xABCD, 0), "ABCD");
}

TEST(BitTest, OnlyBitsZeroToThirtyOneCount) {
  EXPECT_EQ(SetBit(0, 31), 0x80000000u);
  EXPECT_EQ(SetBit(5, 40), 5u);
  EXPECT_EQ(SetBit(0, 32), 0u);
  EXPECT_EQ(ClearBit(0xFFu, 0), 0xFEu);
  EXPECT_EQ(ClearBit(0xFFu, 255), 0xFFu);
  EXPECT_FALSE(GetBit(0xFFFFFFFFu, 32));
  EXPECT_TRUE(GetBit(0x80000000u, 31));
  EXPECT_FALSE(GetBit(0x7FFFFFFFu, 31));
}

TEST(GetFieldTest, QuotesProtectSeparators) {
  const std::string text = "TMXB02,\"a,b\",$36";
  EXPECT_EQ(GetField(text, 0, ",", "D"), "TMXB02");
  EXPECT_EQ(GetField(text, 1, ",", "D"), "\"a,b\"");
  EXPECT_EQ(GetField(text, 2, ",", "D"), "$36");
  EXPECT_EQ(GetField(text, 3, ",", "D"), "D");
  EXPECT_EQ(GetField("TMXB02,$36", 1, ",", ""), "$36");
  EXPECT_EQ(GetField("", 0, ",", "D"), "");
  EXPECT_EQ(GetField("a,b", 0, "", "D"), "a,b");
  EXPECT_EQ(GetField("a,b", 1, "", "D"), "D");
  EXPECT_EQ(GetField("a;;b", 1, ";;", "D"), "b");
  EXPECT_EQ(GetField("a,,b", 1, ",", "D"), "");
}

}  // namespace
