#pragma once
// One finished exchange on a bus as the bus master saw it: what went out, what came back, how
// long it took and what became of it. Plain data: the bus master hands records to an observer in
// the main thread, and statistics, the traffic monitor and kavorctl are built from them.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum class TExchangeOutcome : uint8_t {
  Answered,    // an answer line of the card the command was meant for
  TimedOut,    // no line end within the answer time-out
  Unreadable,  // a line came, but it is no answer of a card
  Foreign,     // a well-formed answer, but from another card than the one addressed
};

struct TExchangeRecord {
  int32_t IfcNumber = 0;
  std::string Command;        // the command's own text, without the resynchronisation prefix
  bool ResyncPrefix = false;  // 0xA7 CR went out in front of it
  std::string Answer;         // the answer line as received, CR LF included; empty: time-out
  TExchangeOutcome Outcome = TExchangeOutcome::Answered;
  bool Poll = false;      // a standing poll command; otherwise a one-shot
  int64_t WrittenMs = 0;  // wall clock when the command was written, ms since 1970 (UTC)
  int64_t AnswerUs = 0;   // command written -> answer's line end received; time-out: time waited
  uint32_t Baud = 0;      // of the open line

  // The bus address the command was meant for (its characters 2-3), or -1.
  int Address() const;
  bool IsFault() const { return Outcome != TExchangeOutcome::Answered; }
  // Characters the exchange put on the line in both directions: prefix, command, CR, answer.
  std::size_t LineCharacters() const;
};

using TExchangeBatch = std::vector<TExchangeRecord>;

// What an answer line means for the command it came to. The bus layer knows just enough of the
// message format for this: a card's answer is "#", its address and the command code as two
// hexadecimal digits each, then either two data bytes in hexadecimal or a bracketed text; the
// address is compared with the command's characters 2-3 (when those are an address at all).
// The modules judge their answers by the same rule, so a record and the module's own report on
// the same line agree. An empty answer is a time-out.
TExchangeOutcome ClassifyAnswer(const std::string& command, const std::string& answer);

// Characters 2-3 of a line as a bus address, or -1 when they are no two hexadecimal digits.
int LineAddress(const std::string& line);

// The outcome as machine formats write it: "answered", "timeout", "unreadable", "foreign".
const char* OutcomeKey(TExchangeOutcome outcome);

// Wall-clock milliseconds since 1970 (UTC), as records carry them.
int64_t WallClockMs();
