#pragma once
// Backing up, comparing and restoring the settings of cards on the bus, for one card, the cards
// of one interface or those of the whole model. No widgets: the main window and kavorctl both
// drive it and show its progress and results their own way.
//
// Each card is first asked for its identification, so that settings never go to a card of
// another type than the model says; then its settings are read through its module's operations
// (the answers land in the module's image, as they do for the card's window). A restore writes
// only the settings that differ, reads them all back and checks them, and only then lets a card
// that keeps its settings in EEPROM store them there. Each interface is held with the workflow
// guard for the whole run.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "model/card_config_file.h"
#include "model/card_settings.h"
#include "model/module_search.h"
#include "support/texts.h"

class TBaseModul;
class TModulsList;
class TRS485IFC;
class TWorkflowGuard;

enum TCardConfigAction { caBackup, caCompare, caRestore };

// One card to work on.
struct TCardJob {
  TRS485IFC* Ifc = nullptr;
  TBaseModul* Modul = nullptr;
  // The section the card is compared with or restored from; empty for the card's own. A
  // replacement card at another address takes the old card's section.
  std::string Section;
};

// Every card of the model, or of one interface, in tree order.
std::vector<TCardJob> CardJobsOfModel(const TModulsList& list);
std::vector<TCardJob> CardJobsOfIfc(TRS485IFC& ifc);

enum TCardStatus {
  csBackedUp,
  csSame,
  csDiffers,
  csRestored,
  csNoSettings,  // a card that keeps no settings: nothing to do
  csNoAnswer,
  csRefused,  // no section, another class, a value the card cannot take
  csFailed,
  csCancelled,
};

struct TCardResult {
  std::string Label;    // "IFC0 $1E TMXB01"
  std::string Section;  // of the file
  TCardStatus Status = csFailed;
  std::string Text;       // what happened, in one line, in German (kavorctl prints it so)
  std::string ShownText;  // the same in the user's language
  // Compare: what differs. Restore: what still differs after the check.
  std::vector<TSettingDifference> Differences;
  std::vector<std::string> Written;  // restore: the settings sent
  TCardBackup Backup;                // backup: what was read

  // Done as asked: backed up, the same, restored, or nothing to do.
  bool Succeeded() const;
  // Label + ": " + Text.
  std::string Line() const;
  // Label + ": " + key + " " + wanted + " -> " + on the card; a missing value as "(fehlt)".
  std::string DifferenceLine(const TSettingDifference& difference) const;
  // The same two in the user's language, for the window.
  std::string ShownLine() const;
  std::string ShownDifferenceLine(const TSettingDifference& difference) const;
  void SetText(const TText& text);
};

// A value as the window's table and lines show it.
std::string ShownSettingValue(const std::string& value);

class TCardConfigRun : public std::enable_shared_from_this<TCardConfigRun> {
 public:
  enum TResult { rrDone, rrCancelled, rrFileError };

  // The answer handlers hold on to the run, so it lives as long as lines of it are queued.
  static std::shared_ptr<TCardConfigRun> Create(TCardConfigAction action,
                                                std::vector<TCardJob> jobs, std::string fileName);

  // Compare each card with the program's image of it (as it stood before the card was read)
  // instead of the file.
  bool CompareWithImage = false;
  // Before each card: its number k of n and its label.
  std::function<void(int k, int n, const std::string& label)> OnProgress;
  // After each card, with what was done to it so far: a backup's cards are saved only with the
  // file at the end of the run, so Results() has the last word.
  std::function<void(const TCardResult& result)> OnCardDone;
  // The time a backup notes; local time, "yyyy-MM-dd HH:mm:ss".
  std::function<std::string()> Now;
  TWaitUntil Wait;

  // Works through the cards; a backup then writes the file in one atomic replace. A failure of
  // the file itself ends the run with rrFileError and one report. A cancelled backup leaves the
  // file as it was.
  TResult Run();
  // Asks the run to stop at its next look: the card in hand is reported with what was done to
  // it, the cards after it as not worked on.
  void Cancel() { FCancelled = true; }
  bool CancelRequested() const { return FCancelled; }

  TCardConfigAction Action() const { return FAction; }
  const std::string& FileName() const { return FFileName; }
  const std::vector<TCardResult>& Results() const { return FResults; }
  // Done as asked for every card.
  bool AllSucceeded() const;
  // "n Karten gesichert, m ohne Antwort" and the like, in German (kavorctl prints it so).
  std::string Summary() const;
  // The same in the user's language.
  std::string ShownSummary() const;
  // The window took the model apart during the run: the cards are gone.
  bool ModelGone() const { return FModelGone; }

  struct TBatch;

 private:
  TCardConfigRun(TCardConfigAction action, std::vector<TCardJob> jobs, std::string fileName);

  TCardResult RunCard(const TCardJob& job, const TWorkflowGuard& guard);
  bool ReadCard(TCardResult& result, TRS485IFC& ifc, TBaseModul& modul,
                const TCardSettingsType& type);
  void Restore(TCardResult& result, TRS485IFC& ifc, TBaseModul& modul,
               const TCardSettingsType& type, const TCardSettings& wanted);
  // Queues the lines of the operations called in `operations` and waits for their exchanges.
  // False when a line went unanswered; `batch` tells which.
  bool Exchange(TRS485IFC& ifc, TBaseModul& modul, const std::function<void()>& operations,
                std::shared_ptr<TBatch>& batch);
  bool WaitForBatch(TRS485IFC& ifc, TBatch& batch);
  // Cancelled by the user, or the window is taking the model apart.
  bool Stopped() const;
  bool TornDown() const;
  bool SaveBackups();
  TText SummaryText() const;

  TCardConfigAction FAction;
  std::vector<TCardJob> FJobs;
  std::string FFileName;
  TCardConfigFile FFile;
  std::vector<TCardResult> FResults;
  std::vector<std::unique_ptr<TWorkflowGuard>> FGuards;
  bool FCancelled = false;
  bool FModelGone = false;
};
