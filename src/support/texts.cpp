#include "support/texts.h"

#include <QCoreApplication>

TText& TText::Arg(const std::string& value) {
  FArgs.emplace_back(value, value);
  return *this;
}

TText& TText::Arg(const TText& value) {
  FArgs.emplace_back(value.Source(), value.Shown());
  return *this;
}

std::string TText::Source() const {
  std::vector<std::string> args;
  args.reserve(FArgs.size());
  for (const auto& arg : FArgs)
    args.push_back(arg.first);
  return FillPlaceholders(FSource, args);
}

std::string TText::Shown() const {
  std::vector<std::string> args;
  args.reserve(FArgs.size());
  for (const auto& arg : FArgs)
    args.push_back(arg.second);
  if (*FContext == '\0') return FillPlaceholders(FSource, args);
  return FillPlaceholders(QCoreApplication::translate(FContext, FSource).toStdString(), args);
}

std::string FillPlaceholders(const std::string& pattern, const std::vector<std::string>& args) {
  std::string out;
  out.reserve(pattern.size() + 16 * args.size());
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    if (c == '%' && i + 1 < pattern.size() && pattern[i + 1] >= '1' && pattern[i + 1] <= '9') {
      const auto n = static_cast<std::size_t>(pattern[i + 1] - '1');
      if (n < args.size()) {
        out += args[n];
        ++i;
        continue;
      }
    }
    out += c;
  }
  return out;
}
