#include "support/conversions.h"

#include <QLocale>
#include <cmath>
#include <limits>

namespace {

bool IsBlank(char c) {
  return static_cast<unsigned char>(c) <= ' ';
}

bool IsUpperHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

std::string WithoutBlanks(const std::string& text) {
  std::string out;
  for (char c : text)
    if (c != ' ') out += c;
  return out;
}

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t pos = text.find(from); pos != std::string::npos;
       pos = text.find(from, pos + to.size()))
    text.replace(pos, from.size(), to);
  return text;
}

bool BinaryForm(const std::string& trimmed, int32_t& value) {
  const std::string s = WithoutBlanks(trimmed);
  if (s.size() <= 2 || s.compare(0, 2, "&B") != 0) return false;
  const std::string digits = s.substr(2);
  for (char c : digits)
    if (c != '0' && c != '1') return false;
  uint32_t v = 0;
  const std::size_t n = digits.size();
  for (std::size_t i = 0; i < n && i < 32; ++i) {
    if (digits[n - 1 - i] == '1') v |= (1u << i);
  }
  value = static_cast<int32_t>(v);
  return true;
}

// "$" + an even number of upper-case hex digits. Returns 0 when not this form, 1 when read,
// -1 when the form matched but the value does not fit.
int StrictHexForm(const std::string& trimmed, int32_t& value) {
  const std::string s = WithoutBlanks(ReplaceAll(trimmed, "&H", "$"));
  if (s.size() < 3 || s[0] != '$' || (s.size() - 1) % 2 != 0) return 0;
  for (std::size_t i = 1; i < s.size(); ++i)
    if (!IsUpperHexDigit(s[i])) return 0;
  uint64_t v = 0;
  for (std::size_t i = 1; i < s.size(); ++i) {
    v = v * 16 + static_cast<uint64_t>(HexDigitValue(s[i]));
    if (v > static_cast<uint64_t>(std::numeric_limits<int32_t>::max())) return -1;
  }
  value = static_cast<int32_t>(v);
  return 1;
}

// The standard integer reader: optional sign, then decimal digits or a hexadecimal number
// introduced by "$", "x", "X", "0x" or "0X". The whole text must be used.
bool StandardInteger(const std::string& s, int32_t& value) {
  std::size_t i = 0;
  while (i < s.size() && s[i] == ' ')
    ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
    negative = s[i] == '-';
    ++i;
  }
  int base = 10;
  if (i < s.size() && s[i] == '$') {
    base = 16;
    ++i;
  } else if (i < s.size() && (s[i] == 'x' || s[i] == 'X')) {
    base = 16;
    ++i;
  } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i >= s.size()) return false;
  uint64_t magnitude = 0;
  for (; i < s.size(); ++i) {
    const int d = base == 16 ? HexDigitValue(s[i]) : (s[i] >= '0' && s[i] <= '9' ? s[i] - '0' : -1);
    if (d < 0) return false;
    magnitude = magnitude * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
    if (magnitude > (uint64_t{1} << 32)) return false;
  }
  const int64_t signedValue =
      negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
  if (signedValue < std::numeric_limits<int32_t>::min() ||
      signedValue > std::numeric_limits<int32_t>::max())
    return false;
  value = static_cast<int32_t>(signedValue);
  return true;
}

// Reads a decimal number with the given decimal separator. Returns how many characters were
// used; the number must start at the beginning.
std::size_t ReadDecimal(const std::string& s, char decimalSeparator, double& value) {
  std::size_t i = 0;
  std::string normal;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) normal += s[i++];
  std::size_t digits = 0;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
    normal += s[i++];
    ++digits;
  }
  if (i < s.size() && s[i] == decimalSeparator) {
    std::size_t j = i + 1;
    std::string fraction;
    while (j < s.size() && s[j] >= '0' && s[j] <= '9')
      fraction += s[j++];
    if (digits > 0 || !fraction.empty()) {
      normal += '.';
      normal += fraction;
      digits += fraction.size();
      i = j;
    }
  }
  if (digits == 0) return 0;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    std::size_t j = i + 1;
    std::string exponent = "e";
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) exponent += s[j++];
    std::size_t expDigits = 0;
    while (j < s.size() && s[j] >= '0' && s[j] <= '9') {
      exponent += s[j++];
      ++expDigits;
    }
    if (expDigits > 0) {
      normal += exponent;
      i = j;
    }
  }
  try {
    value = std::stod(normal);
  } catch (...) {
    return 0;
  }
  return i;
}

}  // namespace

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

int HexPairValue(char high, char low) {
  const int h = HexDigitValue(high);
  const int l = HexDigitValue(low);
  return h < 0 || l < 0 ? -1 : h * 16 + l;
}

std::string Trim(const std::string& text) {
  std::size_t b = 0, e = text.size();
  while (b < e && IsBlank(text[b]))
    ++b;
  while (e > b && IsBlank(text[e - 1]))
    --e;
  return text.substr(b, e - b);
}

std::string UpperCase(const std::string& text) {
  std::string out = text;
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return out;
}

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

int32_t TextToInt(const std::string& text, int32_t defaultValue) {
  try {
    const std::string trimmed = Trim(text);
    if (trimmed.empty()) return defaultValue;
    int32_t value = 0;
    if (BinaryForm(trimmed, value)) {
      // A one in bit 31 would make the value negative: it does not fit.
      const std::string digits = WithoutBlanks(trimmed).substr(2);
      if (digits.size() >= 32 && digits[digits.size() - 32] == '1') return defaultValue;
      return value;
    }
    switch (StrictHexForm(trimmed, value)) {
      case 1:
        return value;
      case -1:
        return defaultValue;
      default:
        break;
    }
    if (StandardInteger(trimmed, value)) return value;
    return defaultValue;
  } catch (...) {
    return defaultValue;
  }
}

TNumberFormat SystemNumberFormat() {
  TNumberFormat format;
  const QLocale locale = QLocale::system();
  const QString dec = locale.decimalPoint();
  const QString group = locale.groupSeparator();
  if (dec.size() == 1 && dec[0].unicode() < 128) format.DecimalSeparator = dec[0].toLatin1();
  if (group.size() == 1 && group[0].unicode() < 128) format.ThousandSeparator = group[0].toLatin1();
  return format;
}

int32_t TextToIntOrBool(const std::string& text, int32_t defaultValue) {
  return TextToIntOrBool(text, defaultValue, SystemNumberFormat());
}

int32_t TextToIntOrBool(const std::string& text, int32_t defaultValue,
                        const TNumberFormat& format) {
  try {
    const std::string trimmed = Trim(text);
    bool onlyDigits = true;
    for (char c : trimmed)
      if (!((c >= '0' && c <= '9') || c == '-')) onlyDigits = false;
    if (!onlyDigits) {
      const std::string word = Trim(UpperCase(trimmed));
      static const char* const kTrue[] = {"TRUE", "WAHR", "JA", "Y", "YES", "EIN", "ON", "1", "-1"};
      static const char* const kFalse[] = {"FALSE", "FALSCH", "NEIN", "N", "NO", "AUS", "OFF", "0"};
      for (const char* w : kTrue)
        if (word == w) return 1;
      for (const char* w : kFalse)
        if (word == w) return 0;
    }
    double value = 0;
    std::size_t used = ReadDecimal(trimmed, '.', value);
    bool ok = used > 0 && used == trimmed.size();
    if (!ok && used < trimmed.size() && trimmed[used] == format.DecimalSeparator) {
      std::string local = trimmed;
      const std::size_t thousand = local.find(format.ThousandSeparator);
      const std::size_t decimal = local.find(format.DecimalSeparator);
      if (thousand != std::string::npos && thousand < decimal) {
        std::string stripped;
        for (char c : local)
          if (c != format.ThousandSeparator) stripped += c;
        local = stripped;
      }
      used = ReadDecimal(local, format.DecimalSeparator, value);
      ok = used > 0 && used == local.size();
    }
    if (!ok || !std::isfinite(value)) return defaultValue;
    if (!(value > -2147483647.0 && value <= 2147483647.0)) return defaultValue;
    return static_cast<int32_t>(std::nearbyint(value));  // the default rounding mode: ties to even
  } catch (...) {
    return defaultValue;
  }
}

std::string IntToHexText(int32_t value, int digits) {
  static const char kDigits[] = "0123456789ABCDEF";
  uint32_t v = static_cast<uint32_t>(value);
  std::string out;
  do {
    out.insert(out.begin(), kDigits[v & 0xF]);
    v >>= 4;
  } while (v != 0);
  while (static_cast<int>(out.size()) < digits)
    out.insert(out.begin(), '0');
  return out;
}

uint32_t SetBit(uint32_t value, unsigned bit) {
  return bit <= 31 ? value | (1u << bit) : value;
}

uint32_t ClearBit(uint32_t value, unsigned bit) {
  return bit <= 31 ? value & ~(1u << bit) : value;
}

bool GetBit(uint32_t value, unsigned bit) {
  return bit <= 31 && ((value >> bit) & 1u) != 0;
}

std::string GetField(const std::string& text, int index, const std::string& separator,
                     const std::string& defaultValue) {
  if (text.empty()) return std::string();
  if (separator.empty()) return index == 0 ? text : defaultValue;
  if (index < 0) return defaultValue;
  int field = 0;
  bool quoted = false;
  std::string current;
  for (std::size_t i = 0; i < text.size();) {
    if (text[i] == '"') {
      quoted = !quoted;
      current += text[i++];
      continue;
    }
    if (!quoted && text.compare(i, separator.size(), separator) == 0) {
      if (field == index) return current;
      ++field;
      current.clear();
      i += separator.size();
      continue;
    }
    current += text[i++];
  }
  return field == index ? current : defaultValue;
}
