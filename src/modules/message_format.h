#pragma once
// The text format of the bus lines: splitting an answer line into its fields, and building a
// nine-character command line.

#include <cstdint>
#include <string>

struct TRS485CmdRecord {
  std::string Kind;     // character 1
  std::string Adr;      // characters 2-3
  std::string Cmd;      // characters 4-5
  std::string Data1;    // characters 6-7
  std::string Data2;    // characters 8-9
  std::string Payload;  // characters 6 to the end, only when Data1 begins with "["
};

// Flags of ParseAnswer.
enum : int {
  pfKind = 1,
  pfAdr = 2,
  pfCmd = 4,
  pfData1 = 8,
  pfData2 = 16,
  pfPayload = 128,
  pfComplete = pfKind | pfAdr | pfCmd | pfData1 | pfData2,  // 31: a complete nine-character answer
};

// Splits a line; returns 0 when the kind is not "#", "!" or "?", else 1 plus a bit for every
// field of two hexadecimal digits and 128 for a bracketed payload. Never fails.
int ParseAnswer(const std::string& line, TRS485CmdRecord& record);

// The value of "$" + the hexadecimal digits, or the default.
int32_t HexFieldValue(const std::string& digits, int32_t defaultValue);

// kind + address + code + D1 + D2, each as two upper-case hexadecimal digits.
std::string BuildCommand(char kind, uint8_t address, int code, int data1, int data2);
// kind + address + code + a 16-bit value, high byte first.
std::string BuildCommand16(char kind, uint8_t address, int code, int value);
