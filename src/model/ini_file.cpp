#include "model/ini_file.h"

#include <algorithm>
#include <limits>
#include <stdexcept>
#include <utility>

#include "support/conversions.h"
#include "support/files.h"
#include "support/paths.h"
#include "support/texts.h"

namespace {

char UpperAscii(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Names match as UpperCase makes them match, without building the upper-cased copies.
bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (UpperAscii(a[i]) != UpperAscii(b[i])) return false;
  return true;
}

// Code points of Windows-1252 bytes 0x80..0x9F. The five bytes without a character keep their
// C1 code point, so every byte survives a round trip.
const char16_t kCp1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                  0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                  0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                  0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// Decodes one UTF-8 sequence at `i`; false when the bytes are not valid UTF-8.
bool NextUtf8(const std::string& s, std::size_t& i, uint32_t& cp) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char b0 = byte(i);
  std::size_t len;
  uint32_t min;
  if (b0 < 0x80) {
    cp = b0;
    ++i;
    return true;
  } else if ((b0 & 0xE0) == 0xC0) {
    len = 2;
    cp = b0 & 0x1F;
    min = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    len = 3;
    cp = b0 & 0x0F;
    min = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    len = 4;
    cp = b0 & 0x07;
    min = 0x10000;
  } else {
    return false;
  }
  if (i + len > s.size()) return false;
  for (std::size_t k = 1; k < len; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return false;
    cp = (cp << 6) | (byte(i + k) & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
  i += len;
  return true;
}

bool IsValidUtf8(const std::string& s) {
  uint32_t cp;
  for (std::size_t i = 0; i < s.size();)
    if (!NextUtf8(s, i, cp)) return false;
  return true;
}

// The Windows-1252 byte of a code point, or -1.
int Cp1252Byte(uint32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
  for (int k = 0; k < 32; ++k)
    if (kCp1252High[k] == cp) return 0x80 + k;
  return -1;
}

}  // namespace

bool ReadIniInteger(const std::string& text, int64_t& value) {
  const std::string s = Trim(text);
  std::size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
  int base = 10;
  if (i < s.size() && s[i] == '$') {
    base = 16;
    ++i;
  } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i >= s.size()) return false;
  uint64_t magnitude = 0;
  for (; i < s.size(); ++i) {
    const char c = s[i];
    int d;
    if (c >= '0' && c <= '9')
      d = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f')
      d = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F')
      d = c - 'A' + 10;
    else
      return false;
    if (magnitude >
        (static_cast<uint64_t>(std::numeric_limits<int64_t>::max()) - static_cast<uint64_t>(d)) /
            static_cast<uint64_t>(base))
      return false;
    magnitude = magnitude * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
  }
  value = negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
  return true;
}

std::string TIniFile::DecodeFromDisk(const std::string& bytes) {
  if (IsValidUtf8(bytes)) return bytes;
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 8);
  for (char c : bytes) {
    const unsigned char b = static_cast<unsigned char>(c);
    if (b < 0x80)
      out += c;
    else if (b < 0xA0)
      AppendUtf8(out, kCp1252High[b - 0x80]);
    else
      AppendUtf8(out, b);
  }
  return out;
}

namespace {

// The text as valid UTF-8: each byte that is no part of a UTF-8 character becomes the character
// it is in Windows-1252, as a load would read it.
std::string RepairedUtf8(const std::string& text) {
  std::string out;
  out.reserve(text.size() + 8);
  uint32_t cp;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t start = i;
    if (NextUtf8(text, i, cp)) {
      out.append(text, start, i - start);
      continue;
    }
    const unsigned char b = static_cast<unsigned char>(text[i++]);
    AppendUtf8(out, b < 0xA0 ? kCp1252High[b - 0x80] : b);
  }
  return out;
}

// UTF-16 text after its byte order mark, as UTF-8. A half of a surrogate pair without its other
// half, and an odd last byte, become U+FFFD: the rest of the file still reads.
std::string Utf16ToUtf8(const std::string& bytes, std::size_t start, bool bigEndian) {
  const auto unit = [&](std::size_t i) {
    const auto first = static_cast<unsigned char>(bytes[i]);
    const auto second = static_cast<unsigned char>(bytes[i + 1]);
    return static_cast<uint32_t>(bigEndian ? (first << 8) | second : (second << 8) | first);
  };
  constexpr uint32_t kReplacement = 0xFFFD;
  std::string out;
  out.reserve(bytes.size() / 2);
  std::size_t i = start;
  for (; i + 1 < bytes.size(); i += 2) {
    const uint32_t u = unit(i);
    if (u >= 0xD800 && u <= 0xDBFF && i + 3 < bytes.size()) {
      const uint32_t low = unit(i + 2);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
        i += 2;
        continue;
      }
    }
    AppendUtf8(out, u >= 0xD800 && u <= 0xDFFF ? kReplacement : u);
  }
  if (i < bytes.size()) AppendUtf8(out, kReplacement);
  return out;
}

}  // namespace

std::string TIniFile::EncodeForDisk(const std::string& text) {
  // Bytes that are no UTF-8 (a card's answer the line garbled) written as they are would make
  // the whole file read as Windows-1252, and every other umlaut in it come back as two
  // characters.
  const std::string utf8 = IsValidUtf8(text) ? text : RepairedUtf8(text);
  std::string out;
  out.reserve(utf8.size());
  uint32_t cp;
  for (std::size_t i = 0; i < utf8.size();) {
    if (!NextUtf8(utf8, i, cp)) return utf8;
    const int b = Cp1252Byte(cp);
    if (b < 0) return utf8;
    out += static_cast<char>(b);
  }
  // Text such as "Ã¤" gives Windows-1252 bytes that are valid UTF-8 as a whole and would be read
  // back as "ä": such a file is written as the UTF-8 it is.
  if (out != utf8 && IsValidUtf8(out)) return utf8;
  return out;
}

std::string StorableText(const std::string& text) {
  return Trim(OnOneLine(text));
}

std::string OnOneLine(const std::string& text) {
  std::string out = text;
  for (char& c : out)
    if (c == '\r' || c == '\n') c = ' ';
  return out;
}

bool TIniFile::LoadFromFile(const std::string& fileName, std::string* error) {
  Clear();
  if (!FileExists(fileName)) return true;
  std::string bytes;
  if (!ReadFileBytes(fileName, bytes, error)) return false;
  // Editors on Windows start a file saved as UTF-8 with a byte order mark; left in, it would
  // stand before the first "[" and hide the first section with all its keys. PowerShell's ">"
  // and Notepad's "Unicode" save a file as UTF-16: read byte by byte it would have a zero byte in
  // every name and come back as an empty model, without a word.
  if (bytes.starts_with("\xEF\xBB\xBF"))
    bytes.erase(0, 3);
  else if (bytes.starts_with("\xFF\xFE"))
    bytes = Utf16ToUtf8(bytes, 2, false);
  else if (bytes.starts_with("\xFE\xFF"))
    bytes = Utf16ToUtf8(bytes, 2, true);
  if (bytes.size() > kMaxFileSize) {
    if (error) *error = TrText("TIniFile", "Datei %1 ist zu groß").Arg(fileName);
    return false;
  }
  // Valid UTF-8 is taken as it is, without a second copy of the file.
  SetText(IsValidUtf8(bytes) ? std::move(bytes) : DecodeFromDisk(bytes));
  return true;
}

namespace {

bool IsBlankByte(char c) {
  return static_cast<unsigned char>(c) <= ' ';
}

// Narrows [begin, end) of `text` to what Trim would leave of it.
void TrimRange(const std::string& text, std::size_t& begin, std::size_t& end) {
  while (begin < end && IsBlankByte(text[begin]))
    ++begin;
  while (end > begin && IsBlankByte(text[end - 1]))
    --end;
}

}  // namespace

void TIniFile::SetText(std::string text) {
  Clear();
  if (text.size() > kMaxFileSize) throw std::length_error("Text zu groß");
  FText = std::move(text);
  Parse();
}

void TIniFile::Parse() {
  TSection* current = nullptr;
  const std::size_t size = FText.size();
  const auto span = [](std::size_t begin, std::size_t end) {
    return TSpan{static_cast<uint32_t>(begin), static_cast<uint32_t>(end - begin)};
  };
  std::size_t start = 0;
  while (start <= size) {
    std::size_t end = FText.find('\n', start);
    if (end == std::string::npos) end = size;
    std::size_t b = start, e = end;
    start = end + 1;
    TrimRange(FText, b, e);
    if (b == e || FText[b] == ';') continue;
    if (FText[b] == '[' && FText[e - 1] == ']' && e - b >= 2) {
      std::size_t nb = b + 1, ne = e - 1;
      TrimRange(FText, nb, ne);
      current = &FindOrAdd(FText.substr(nb, ne - nb));
      continue;
    }
    if (!current) continue;
    TLine entry;
    const auto lineEnd = FText.begin() + static_cast<std::ptrdiff_t>(e);
    const std::size_t eq = static_cast<std::size_t>(
        std::find(FText.begin() + static_cast<std::ptrdiff_t>(b), lineEnd, '=') - FText.begin());
    if (eq >= e) {
      entry.Key = span(b, e);
    } else {
      std::size_t kb = b, ke = eq, vb = eq + 1, ve = e;
      TrimRange(FText, kb, ke);
      TrimRange(FText, vb, ve);
      entry.HasKey = true;
      entry.Key = span(kb, ke);
      entry.Value = span(vb, ve);
    }
    current->Lines.push_back(entry);
  }
}

TIniFile::TSpan TIniFile::Store(std::string_view text) {
  if (FText.size() + text.size() > kMaxFileSize) throw std::length_error("Text zu groß");
  const TSpan span{static_cast<uint32_t>(FText.size()), static_cast<uint32_t>(text.size())};
  FText.append(text);
  return span;
}

std::string TIniFile::Text() const {
  std::string out;
  out.reserve(FText.size() + FSections.size() * 8);
  for (const TSection& section : FSections) {
    out += '[';
    out += section.Name;
    out += "]\r\n";
    for (const TLine& line : section.Lines) {
      out += View(line.Key);
      if (line.HasKey) {
        out += '=';
        out += View(line.Value);
      }
      out += "\r\n";
    }
    out += "\r\n";
  }
  return out;
}

void TIniFile::SaveToFile(const std::string& fileName) const {
  WriteFileAtomically(fileName, EncodeForDisk(Text()));
}

void TIniFile::Clear() {
  FText.clear();
  FSections.clear();
  FIndex.clear();
  FLast = kNone;
}

void TIniFile::Reindex() {
  FIndex.clear();
  FLast = kNone;
  for (std::size_t i = 0; i < FSections.size(); ++i)
    FIndex.emplace(UpperCase(FSections[i].Name), i);
}

std::size_t TIniFile::IndexOf(const std::string& section) const {
  // Readers and writers go through a section key by key: the section of the last look-up is
  // asked for again far more often than any other.
  if (FLast != kNone && FSections[FLast].Name == section) return FLast;
  const auto it = FIndex.find(UpperCase(section));
  if (it == FIndex.end()) return kNone;
  FLast = it->second;
  return FLast;
}

const TIniFile::TSection* TIniFile::Find(const std::string& section) const {
  const std::size_t index = IndexOf(section);
  return index == kNone ? nullptr : &FSections[index];
}

TIniFile::TSection* TIniFile::Find(const std::string& section) {
  const std::size_t index = IndexOf(section);
  return index == kNone ? nullptr : &FSections[index];
}

TIniFile::TSection& TIniFile::FindOrAdd(const std::string& section) {
  if (FLast != kNone && FSections[FLast].Name == section) return FSections[FLast];
  const auto [it, added] = FIndex.try_emplace(UpperCase(section), FSections.size());
  if (added) FSections.push_back(TSection{section, {}});
  FLast = it->second;
  return FSections[FLast];
}

const TIniFile::TLine* TIniFile::FindKey(const TSection& section, const std::string& key) const {
  for (const TLine& line : section.Lines)
    if (line.HasKey && SameName(View(line.Key), key)) return &line;
  return nullptr;
}

std::vector<std::string> TIniFile::Sections() const {
  std::vector<std::string> names;
  for (const TSection& s : FSections)
    names.push_back(s.Name);
  return names;
}

bool TIniFile::SectionExists(const std::string& section) const {
  return Find(section) != nullptr;
}

bool TIniFile::ValueExists(const std::string& section, const std::string& key) const {
  const TSection* s = Find(section);
  return s && FindKey(*s, key);
}

std::vector<std::string> TIniFile::Keys(const std::string& section) const {
  std::vector<std::string> keys;
  if (const TSection* s = Find(section))
    for (const TLine& line : s->Lines)
      if (line.HasKey) keys.emplace_back(View(line.Key));
  return keys;
}

void TIniFile::ClearSection(const std::string& section) {
  FindOrAdd(section).Lines.clear();
}

void TIniFile::EraseSection(const std::string& section) {
  const auto it = FIndex.find(UpperCase(section));
  if (it == FIndex.end()) return;
  FSections.erase(FSections.begin() + static_cast<std::ptrdiff_t>(it->second));
  Reindex();
}

void TIniFile::EraseSectionsStartingWith(const std::vector<std::string>& prefixes) {
  std::vector<std::string> upper;
  for (const std::string& p : prefixes)
    upper.push_back(UpperCase(p));
  std::vector<TSection> kept;
  kept.reserve(FSections.size());
  for (TSection& section : FSections) {
    const std::string name = UpperCase(section.Name);
    bool erase = false;
    for (const std::string& p : upper)
      erase = erase || StartsWith(name, p);
    if (!erase) kept.push_back(std::move(section));
  }
  FSections = std::move(kept);
  Reindex();
}

std::string TIniFile::ReadString(const std::string& section, const std::string& key,
                                 const std::string& defaultValue) const {
  const TSection* s = Find(section);
  if (!s) return defaultValue;
  const TLine* line = FindKey(*s, key);
  return line ? std::string(View(line->Value)) : defaultValue;
}

int64_t TIniFile::ReadInteger(const std::string& section, const std::string& key,
                              int64_t defaultValue) const {
  int64_t value = 0;
  if (!ReadIniInteger(ReadString(section, key, std::string()), value)) return defaultValue;
  return value;
}

bool TIniFile::ReadBool(const std::string& section, const std::string& key,
                        bool defaultValue) const {
  return ReadInteger(section, key, defaultValue ? -1 : 0) != 0;
}

void TIniFile::WriteString(const std::string& section, const std::string& key,
                           const std::string& rawValue) {
  // A line break inside a value would end its line and could start a section of its own.
  const std::string value = OnOneLine(rawValue);
  const std::size_t index = static_cast<std::size_t>(&FindOrAdd(section) - FSections.data());
  for (TLine& line : FSections[index].Lines) {
    if (line.HasKey && SameName(View(line.Key), key)) {
      if (View(line.Value) != value) line.Value = Store(value);
      return;
    }
  }
  TLine line;
  line.HasKey = true;
  line.Key = Store(key);
  line.Value = Store(value);
  FSections[index].Lines.push_back(line);
}

void TIniFile::WriteInteger(const std::string& section, const std::string& key, int64_t value) {
  WriteString(section, key, std::to_string(value));
}

void TIniFile::WriteBool(const std::string& section, const std::string& key, bool value) {
  WriteInteger(section, key, value ? -1 : 0);
}

void TIniFile::WriteAddress(const std::string& section, const std::string& key, int64_t address) {
  WriteString(section, key, "$" + IntToHexText(static_cast<int32_t>(address), 2));
}
