#pragma once
// The module search: asks every bus address of one interface for its identification, then takes
// in the cards that answered and are new on the interface. No widgets: the main window and
// kavorctl both drive it and show its progress their own way.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class TModulsList;
class TModulsItem;
class TRS485IFC;

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

class TModulSearch : public std::enable_shared_from_this<TModulSearch> {
 public:
  enum TResult { srDone, srGaveUp, srCancelled, srBusy, srNotConnected };

  // The answer handlers hold on to the search, so it lives as long as commands of it are queued.
  static std::shared_ptr<TModulSearch> Create(TModulsList& list, TRS485IFC& ifc);

  // "$" + the address, before each query is queued.
  std::function<void(const std::string& text)> OnProgress;
  // Each identification answer as it arrives (CR removed).
  std::function<void(const std::string& answer)> OnAnswer;
  // Each module item taken in, right after it was created and before its firmware text is set.
  std::function<void(TModulsItem* item)> OnModulAdded;

  int LastAddress = SearchLastAddress();
  uint32_t GapMs = 20;  // between two queued queries
  TWaitUntil Wait;

  // Queues the queries and the end marker, waits for the marker and takes in the answers.
  // srGaveUp (with one report) when the marker did not come back in time or the interface
  // dropped its connection meanwhile.
  TResult Run();

  // Answer handler of the queued lines.
  void OnSearchAnswer(const std::string& command, const std::string& answer);
  // Takes in the collected answers; returns the items added.
  std::vector<TModulsItem*> TakeIn();

  std::vector<std::string> SearchAnswers;
  std::vector<TModulsItem*> Added;

 private:
  TModulSearch(TModulsList& list, TRS485IFC& ifc);
  bool EndMarkerBack() const;

  TModulsList& FList;
  TRS485IFC& FIfc;
};
