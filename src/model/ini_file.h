#pragma once
// The model file's text form: sections of key=value lines, read whole into memory, changed there
// and written back in one piece. Names match without regard to case; sections and keys keep
// their order; a new section goes to the end. On disk the text is Windows-1252, as files of
// earlier versions are; a file that is valid UTF-8 as a whole is read as UTF-8.

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class TIniFile {
 public:
  TIniFile() = default;

  // Reads a file; a missing file gives an empty one. False (reason in `error`) when it exists but
  // cannot be read.
  bool LoadFromFile(const std::string& fileName, std::string* error = nullptr);
  // Reads text that is already UTF-8.
  void SetText(std::string text);
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

  // Line breaks in the value are written as blanks (see OnOneLine).
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
  // A piece of FText.
  struct TSpan {
    uint32_t Pos = 0;
    uint32_t Len = 0;
  };
  struct TLine {
    TSpan Key;  // HasKey: the key; else the line as it stood
    TSpan Value;
    bool HasKey = false;
  };
  struct TSection {
    std::string Name;
    std::vector<TLine> Lines;
  };
  std::string_view View(TSpan span) const { return {FText.data() + span.Pos, span.Len}; }
  // Appends the text to FText.
  TSpan Store(std::string_view text);
  // Parses FText, which holds the whole file.
  void Parse();

  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
  // Lines refer to their text by 32-bit positions; no model file comes near this.
  static constexpr std::size_t kMaxFileSize = std::size_t{1} << 30;
  // Position of the section, or kNone.
  std::size_t IndexOf(const std::string& section) const;
  const TSection* Find(const std::string& section) const;
  TSection* Find(const std::string& section);
  TSection& FindOrAdd(const std::string& section);
  const TLine* FindKey(const TSection& section, const std::string& key) const;

  void Reindex();

  // Every key and value, those read first (the whole file as it was read), then those written.
  // Lines refer to their pieces of it: a file of a few MB costs little more than its own size.
  std::string FText;
  std::vector<TSection> FSections;
  // Upper-cased section name -> position; models with thousands of modules stay fast.
  std::unordered_map<std::string, std::size_t> FIndex;
  // Position of the section found last (kNone after any change of the positions).
  mutable std::size_t FLast = kNone;
};

// A value as a file of sections can hold it: line breaks (CR, LF) become blanks.
std::string OnOneLine(const std::string& text);
// A value as it comes back from a file: on one line, without blanks at either end. Texts the user
// enters for the model take this form at once, so that saving and loading keep them unchanged.
std::string StorableText(const std::string& text);

// Integer reading as the model file does it (decimal, "$" or "0x" hexadecimal). False when the
// text is none of these or does not fit 64 bits.
bool ReadIniInteger(const std::string& text, int64_t& value);
