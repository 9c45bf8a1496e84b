#include "modules/text_command.h"

#include "support/conversions.h"

std::vector<std::string> SplitTextCommand(const std::string& text) {
  std::vector<std::string> entries;
  std::string current;
  auto flush = [&] {
    const std::string entry = Trim(current);
    if (!entry.empty()) entries.push_back(entry);
    current.clear();
  };
  for (char c : text) {
    if (c == '[' || c == ']') continue;
    if (c == '\t' || c == ' ' || c == '(' || c == ')' || c == ',') {
      flush();
      continue;
    }
    current += c;
  }
  flush();
  const bool wellFormed = entries.size() >= 5 && (entries[0][0] == '!' || entries[0][0] == '?');
  while (entries.size() < 5)
    entries.emplace_back();
  entries.push_back(wellFormed ? std::string() : std::string("ERROR"));
  return entries;
}
