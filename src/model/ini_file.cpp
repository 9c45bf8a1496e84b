#include "model/ini_file.h"

#include <limits>
#include <stdexcept>

#include "support/conversions.h"
#include "support/files.h"
#include "support/paths.h"

namespace {

bool SameName(const std::string& a, const std::string& b) {
  return UpperCase(a) == UpperCase(b);
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

std::string TIniFile::EncodeForDisk(const std::string& utf8) {
  std::string out;
  out.reserve(utf8.size());
  uint32_t cp;
  for (std::size_t i = 0; i < utf8.size();) {
    if (!NextUtf8(utf8, i, cp)) return utf8;  // not ours to repair: keep the bytes as they are
    const int b = Cp1252Byte(cp);
    if (b < 0) return utf8;
    out += static_cast<char>(b);
  }
  return out;
}

bool TIniFile::LoadFromFile(const std::string& fileName, std::string* error) {
  Clear();
  if (!FileExists(fileName)) return true;
  std::string bytes;
  if (!ReadFileBytes(fileName, bytes, error)) return false;
  SetText(DecodeFromDisk(bytes));
  return true;
}

void TIniFile::SetText(const std::string& text) {
  Clear();
  TSection* current = nullptr;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = Trim(text.substr(start, end - start));
    start = end + 1;
    if (line.empty() || line[0] == ';') continue;
    if (line.front() == '[' && line.back() == ']') {
      const std::string name = Trim(line.substr(1, line.size() - 2));
      current = &FindOrAdd(name);
      continue;
    }
    if (!current) continue;
    TLine entry;
    const std::size_t eq = line.find('=');
    if (eq == std::string::npos) {
      entry.Key = line;
    } else {
      entry.HasKey = true;
      entry.Key = Trim(line.substr(0, eq));
      entry.Value = Trim(line.substr(eq + 1));
    }
    current->Lines.push_back(std::move(entry));
  }
}

std::string TIniFile::Text() const {
  std::string out;
  for (const TSection& section : FSections) {
    out += "[" + section.Name + "]\r\n";
    for (const TLine& line : section.Lines) {
      out += line.HasKey ? line.Key + "=" + line.Value : line.Key;
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
  FSections.clear();
  FIndex.clear();
}

void TIniFile::Reindex() {
  FIndex.clear();
  for (std::size_t i = 0; i < FSections.size(); ++i)
    FIndex.emplace(UpperCase(FSections[i].Name), i);
}

const TIniFile::TSection* TIniFile::Find(const std::string& section) const {
  const auto it = FIndex.find(UpperCase(section));
  return it == FIndex.end() ? nullptr : &FSections[it->second];
}

TIniFile::TSection* TIniFile::Find(const std::string& section) {
  const auto it = FIndex.find(UpperCase(section));
  return it == FIndex.end() ? nullptr : &FSections[it->second];
}

TIniFile::TSection& TIniFile::FindOrAdd(const std::string& section) {
  if (TSection* found = Find(section)) return *found;
  FIndex.emplace(UpperCase(section), FSections.size());
  FSections.push_back(TSection{section, {}});
  return FSections.back();
}

const TIniFile::TLine* TIniFile::FindKey(const TSection& section, const std::string& key) {
  for (const TLine& line : section.Lines)
    if (line.HasKey && SameName(line.Key, key)) return &line;
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
      if (line.HasKey) keys.push_back(line.Key);
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
  return line ? line->Value : defaultValue;
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
                           const std::string& value) {
  TSection& s = FindOrAdd(section);
  for (TLine& line : s.Lines) {
    if (line.HasKey && SameName(line.Key, key)) {
      line.Value = value;
      return;
    }
  }
  s.Lines.push_back(TLine{true, key, value});
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
