#include "bus/exchange_record.h"

#include <chrono>

#include "support/conversions.h"

namespace {

// Two characters of a line from position `start` (fewer near its end).
std::string Field(const std::string& line, std::size_t start) {
  return start < line.size() ? line.substr(start, 2) : std::string();
}

// A field counts as a number when the program's one number reader takes "$" + it, as the
// modules read every field of an answer. Two hexadecimal digits, the field of every sound line,
// are read here directly; anything else goes to the reader with its leniencies.
int FieldValue(const std::string& field) {
  if (field.size() == 2) {
    const int value = HexPairValue(field[0], field[1]);
    if (value >= 0) return value;
  }
  return TextToInt("$" + field, -1);
}

}  // namespace

int TExchangeRecord::Address() const {
  return LineAddress(Command);
}

std::size_t TExchangeRecord::LineCharacters() const {
  return (ResyncPrefix ? 2 : 0) + Command.size() + 1 + Answer.size();
}

int LineAddress(const std::string& line) {
  const int value = FieldValue(Field(line, 1));
  return value >= 0 && value <= 255 ? value : -1;
}

TExchangeOutcome ClassifyAnswer(const std::string& command, const std::string& answer) {
  if (answer.empty()) return TExchangeOutcome::TimedOut;
  if (answer[0] != '#') return TExchangeOutcome::Unreadable;
  const int address = FieldValue(Field(answer, 1));
  if (address < 0 || FieldValue(Field(answer, 3)) < 0) return TExchangeOutcome::Unreadable;
  const std::string data1 = Field(answer, 5);
  const bool bracketed = !data1.empty() && data1[0] == '[';
  if (!bracketed && (FieldValue(data1) < 0 || FieldValue(Field(answer, 7)) < 0))
    return TExchangeOutcome::Unreadable;
  const int addressed = LineAddress(command);
  if (addressed >= 0 && address != addressed) return TExchangeOutcome::Foreign;
  return TExchangeOutcome::Answered;
}

const char* OutcomeKey(TExchangeOutcome outcome) {
  switch (outcome) {
    case TExchangeOutcome::Answered:
      return "answered";
    case TExchangeOutcome::TimedOut:
      return "timeout";
    case TExchangeOutcome::Unreadable:
      return "unreadable";
    case TExchangeOutcome::Foreign:
      return "foreign";
  }
  return "answered";
}

int64_t WallClockMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}
