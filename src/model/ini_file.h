#pragma once
// The model file's text form: sections of key=value lines, read whole into memory, changed there
// and written back in one piece. Names match without regard to case; sections and keys keep
// their order; a new section goes to the end. On disk the text is Windows-1252, as files of
// earlier versions are; a file that is valid UTF-8 as a whole is read as UTF-8.

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

class TIniFile {
 public:
  TIniFile() = default;

  // Reads a file; a missing file gives an empty one. False (reason in `error`) when it exists but
  // cannot be read.
  bool LoadFromFile(const std::string& fileName, std::string* error = nullptr);
  // Reads text that is already UTF-8.
  void SetText(const std::string& text);
  // The whole file as written (UTF-8).
  std::string Text() const;
  // Writes the whole file atomically. Throws std::runtime_error.
  void SaveToFile(const std::string& fileName) const;

  std::vector<std::string> Sections() const;
  bool SectionExists(const std::string& section) const;
  bool ValueExists(const std::string& section, const std::string& key) const;
  // The keys of a section in file order (empty for a missing section).
  std::vector<std::string> Keys(const std::string& section) const;
  void EraseSection(const std::string& section);
  // Empties a section where it stands, so that rewriting it keeps the file's order; a missing
  // one is added at the end.
  void ClearSection(const std::string& section);
  // Erases every section whose upper-cased name starts with one of the upper-cased prefixes, in
  // one pass.
  void EraseSectionsStartingWith(const std::vector<std::string>& prefixes);
  void Clear();

  std::string ReadString(const std::string& section, const std::string& key,
                         const std::string& defaultValue) const;
  // Decimal, "$" + hexadecimal or "0x" + hexadecimal; anything else gives the default.
  int64_t ReadInteger(const std::string& section, const std::string& key,
                      int64_t defaultValue) const;
  // Any number other than 0 is true.
  bool ReadBool(const std::string& section, const std::string& key, bool defaultValue) const;

  void WriteString(const std::string& section, const std::string& key, const std::string& value);
  void WriteInteger(const std::string& section, const std::string& key, int64_t value);
  // 0 for false, -1 for true.
  void WriteBool(const std::string& section, const std::string& key, bool value);
  // "$" + at least two upper-case hexadecimal digits.
  void WriteAddress(const std::string& section, const std::string& key, int64_t address);

  // Disk bytes <-> the program's UTF-8.
  static std::string DecodeFromDisk(const std::string& bytes);
  // Windows-1252 when every character has a place there, else UTF-8 (which is read back as such),
  // so that no character a user typed is ever lost.
  static std::string EncodeForDisk(const std::string& utf8);

 private:
  struct TLine {
    bool HasKey = false;
    std::string Key;  // HasKey: the key; else the line as it stood
    std::string Value;
  };
  struct TSection {
    std::string Name;
    std::vector<TLine> Lines;
  };
  const TSection* Find(const std::string& section) const;
  TSection* Find(const std::string& section);
  TSection& FindOrAdd(const std::string& section);
  static const TLine* FindKey(const TSection& section, const std::string& key);

  void Reindex();

  std::vector<TSection> FSections;
  // Upper-cased section name -> position; models with thousands of modules stay fast.
  std::unordered_map<std::string, std::size_t> FIndex;
};

// Integer reading as the model file does it (decimal, "$" or "0x" hexadecimal). False when the
// text is none of these or does not fit 64 bits.
bool ReadIniInteger(const std::string& text, int64_t& value);
