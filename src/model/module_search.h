#pragma once
// The module search: asks every bus address of one interface for its identification, then takes
// in the cards that answered and are new on the interface. No widgets: the main window and
// kavorctl both drive it and show its progress their own way.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bus/bus_command.h"

class TModulsList;
class TModulsItem;
class TRS485IFC;
class TWorkflowGuard;

// Waits, serving the main thread's events, until the condition holds or `ms` passed; returns the
// condition's last value. WaitWithMessagesUntil in the programs; tests put a fake in.
using TWaitUntil = std::function<bool(const std::function<bool()>& condition, uint32_t ms)>;

// The line queued after the last address. Nothing answers it, so its handler runs once the
// queue ahead of it is through.
extern const char* const kSearchEndMarker;  // "End of Modulsuche"

// Whether an answer is an identification: "#" first and the first "[" sixth.
bool IsIdentAnswer(const std::string& answer);

struct TIdentAnswer {
  int32_t Address = -1;
  std::string TypeName;  // upper-cased; empty when the text had no "."
  std::string Version;
};
// Reads an entry of the collected answers by the take-in rules (first "]" at position 10 or
// later, address from characters 2-3, type and version split at the first "."). False for an
// entry that is skipped.
bool ParseIdentAnswer(const std::string& entry, TIdentAnswer& out);

// How long the search waits for its end marker once everything is queued: every asked address
// may cost a time-out plus the line and poll time around it, and never less than a minute.
uint32_t SearchTimeLimitMs(int addressCount, uint32_t timeoutMs);

// The last address asked: 255, or $79 in developer mode.
int SearchLastAddress();

// The answer time-out of a quick search's query at this baud rate, in ms: the line time of the
// query and of the shortest identification answer plus 20 ms, counted from the start of the query,
// so less the time the bus master waits for the query to leave the line. Never more than
// `fullTimeoutMs`.
uint32_t QuickSearchTimeoutMs(uint32_t baud, uint32_t fullTimeoutMs);

class TModulSearch : public std::enable_shared_from_this<TModulSearch> {
 public:
  enum TResult { srDone, srGaveUp, srCancelled, srBusy, srNotConnected };

  // The answer handlers hold on to the search, so it lives as long as commands of it are queued.
  static std::shared_ptr<TModulSearch> Create(TModulsList& list, TRS485IFC& ifc);

  // "$" + the address: in the full search before each query is queued, in the quick search (which
  // queues them all at once) when it goes on the line.
  std::function<void(const std::string& text)> OnProgress;
  // Each identification answer as it arrives (CR removed).
  std::function<void(const std::string& answer)> OnAnswer;
  // Each module item taken in, right after it was created and before its firmware text is set.
  std::function<void(TModulsItem* item)> OnModulAdded;
  // The address whose query has just gone on the line (not the ones still queued).
  std::function<void(int address)> OnAsking;

  int LastAddress = SearchLastAddress();
  uint32_t GapMs = 20;  // between two queued queries
  TWaitUntil Wait;

  // Queues the queries and the end marker, waits for the marker and takes in the answers.
  // srGaveUp (with one report) when the marker did not come back in time or the interface
  // dropped its connection meanwhile.
  TResult Run();

  // The quick search: every address with a short time-out; an address whose answer comes late
  // or garbled is asked once more with the interface's full time-out, so it finds every card
  // that answers within that time-out. The addresses without a card are summed up in one log
  // line. Results as Run.
  TResult RunQuick();
  // The interface searched.
  TRS485IFC& Ifc() const { return FIfc; }

  // The addresses that gave no usable answer in the last quick search.
  int Unanswered = 0;

  // Calls the running search off: its queries still queued leave unsent. Main thread.
  void Cancel();

  // Answer handler of the queued lines.
  void OnSearchAnswer(const std::string& command, const std::string& answer);
  // Takes in the collected answers; returns the items added.
  std::vector<TModulsItem*> TakeIn();

  std::vector<std::string> SearchAnswers;
  std::vector<TModulsItem*> Added;

 private:
  TModulSearch(TModulsList& list, TRS485IFC& ifc);
  bool EndMarkerBack() const;
  // The one log line of a search whose end marker did not come back within `limitMs`.
  void ReportGaveUp(int32_t number, uint32_t limitMs) const;
  bool Stopped(const TWorkflowGuard& guard) const;
  TCommandOptions QueryOptions(int address);
  // Quick search: the answer of one of its queries, and any text received or dropped.
  void QueueQuery(int address, uint32_t timeoutMs);
  void QuickAnswer(int asked, const std::string& answer);
  void QuickSeen(const std::string& text);
  void AskAgain(int address);
  void MarkSilent(int address);

  TModulsList& FList;
  TRS485IFC& FIfc;
  std::shared_ptr<std::atomic<bool>> FCancelled = std::make_shared<std::atomic<bool>>(false);
  // Quick search state, by address: how far each one got.
  enum TAddressState : uint8_t { asQueued, asSilent, asAnswered, asAskedAgain };
  std::vector<TAddressState> FState;
  std::vector<uint8_t> FAskedAgain;  // how often with the full time-out
  std::vector<bool> FSeen;           // a line of the address was received, in turn or not
  // The addresses whose short wait ended without their answer, in the order it ended; the last
  // FLateWindow of them may still be answering.
  std::vector<int> FSilentInTurn;
  std::size_t FLateWindow = 1;
  bool FProgressOnLine = false;  // OnProgress follows the line, not the queue
  std::size_t FOutstanding = 0;  // queued search lines whose handler has not run yet
  bool FMarkerBack = false;
  uint32_t FFullTimeoutMs = 0;
};
