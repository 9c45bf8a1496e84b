#pragma once
// Number and text conversions shared by the modules, the model file and the windows. None of
// them throws: a failure gives the caller's default.

#include <cstdint>
#include <string>

// Reads decimal, "$"/"&H" hexadecimal, "&B" binary and the "0x"/"x" forms; see conversions.cpp.
int32_t TextToInt(const std::string& text, int32_t defaultValue);

// Separators of the locale that TextToIntOrBool falls back to.
struct TNumberFormat {
  char DecimalSeparator = '.';
  char ThousandSeparator = ',';
};
// The system locale's separators.
TNumberFormat SystemNumberFormat();

// Yes/no words give 1 or 0; numbers (also with decimals) are rounded to the nearest integer.
int32_t TextToIntOrBool(const std::string& text, int32_t defaultValue);
int32_t TextToIntOrBool(const std::string& text, int32_t defaultValue, const TNumberFormat& format);

// The value of one hexadecimal digit of either case, -1 for any other character.
int HexDigitValue(char c);
// The byte two hexadecimal digits spell, -1 unless both are digits.
int HexPairValue(char high, char low);

// Upper-case hexadecimal with at least `digits` digits; negative values as 32-bit two's
// complement.
std::string IntToHexText(int32_t value, int digits);

uint32_t SetBit(uint32_t value, unsigned bit);
uint32_t ClearBit(uint32_t value, unsigned bit);
bool GetBit(uint32_t value, unsigned bit);

// Field `index` (from 0) of a text separated by `separator`; separators inside double quotes
// do not split, and the quotes stay in the field.
std::string GetField(const std::string& text, int index, const std::string& separator,
                     const std::string& defaultValue);

// Text helpers used throughout.
std::string Trim(const std::string& text);
std::string UpperCase(const std::string& text);
bool StartsWith(const std::string& text, const std::string& prefix);
