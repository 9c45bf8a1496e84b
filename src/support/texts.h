#pragma once
// The program's own texts in the user's language. The German text in the code is the source:
// without a translation it comes back byte for byte as written. Names, numbers and pieces of the
// card protocol go in as arguments (%1..%9) and are never translated.
//
// lupdate reads TrText as QCoreApplication::translate (an alias set in the build), so context
// and source must be string literals in the call itself; arguments follow with Arg().

#include <concepts>
#include <string>
#include <utility>
#include <vector>

class TText {
 public:
  // An empty text.
  TText() : TText("", "") {}
  TText(const char* context, const char* source) : FContext(context), FSource(source) {}
  // A text that is the same in every language: a name, a value, a piece of the protocol.
  static TText Plain(const std::string& text) { return TText("", "%1").Arg(text); }

  // The next argument: the first fills %1, the second %2, and so on.
  TText& Arg(const std::string& value);
  TText& Arg(const char* value) { return Arg(std::string(value)); }
  // A translated piece: German in Source(), the user's language in Shown().
  TText& Arg(const TText& value);
  template <std::integral T>
  TText& Arg(T value) {
    return Arg(std::to_string(value));
  }

  // The German text, as the code writes it: what standard-output formats and files keep.
  std::string Source() const;
  // The text in the user's language.
  std::string Shown() const;
  operator std::string() const { return Shown(); }

 private:
  const char* FContext;
  const char* FSource;
  // Each argument in German and in the user's language.
  std::vector<std::pair<std::string, std::string>> FArgs;
};

inline TText TrText(const char* context, const char* source) {
  return TText(context, source);
}

// Fills %1..%9 of `pattern` with `args` in one pass: an argument that itself holds "%2" stays as
// it is. A placeholder without an argument is left in place.
std::string FillPlaceholders(const std::string& pattern, const std::vector<std::string>& args);
