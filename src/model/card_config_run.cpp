#include "model/card_config_run.h"

#include <QDateTime>
#include <algorithm>
#include <map>
#include <stdexcept>

#include "bus/bus_interface.h"
#include "model/moduls_list.h"
#include "model/workflow_guard.h"
#include "modules/base_modul.h"
#include "modules/message_format.h"
#include "modules/module_factory.h"
#include "support/conversions.h"
#include "support/message_sink.h"
#include "support/waits.h"

// The lines of one step and what became of them. Shared with the answer handlers, which may
// still run after the run moved on (a wait that gave up, a cancel).
struct TCardConfigRun::TBatch {
  struct TLine {
    std::string Command;
    std::string Answer;
    bool Answered = false;
  };
  std::vector<TLine> Lines;
  std::size_t Done = 0;

  bool Complete() const { return Done >= Lines.size(); }
  std::size_t AnsweredCount() const {
    return static_cast<std::size_t>(
        std::count_if(Lines.begin(), Lines.end(), [](const TLine& l) { return l.Answered; }));
  }
};

namespace {

const char* ActionName(TCardConfigAction action) {
  switch (action) {
    case caBackup:
      return "Konfiguration sichern";
    case caCompare:
      return "Konfiguration vergleichen";
    case caRestore:
      return "Konfiguration wiederherstellen";
  }
  return "Konfiguration";
}

// An answer of the addressed card to this very command: the card's "#" line with the command's
// address and code. A time-out, noise or a late answer to another line is none.
bool IsAnswerTo(const std::string& command, const std::string& answer) {
  if (command.size() < 5) return false;
  TRS485CmdRecord record;
  const int flags = ParseAnswer(answer, record);
  return record.Kind == "#" && (flags & (pfAdr | pfCmd)) == (pfAdr | pfCmd) &&
         UpperCase(record.Adr) == UpperCase(command.substr(1, 2)) &&
         UpperCase(record.Cmd) == UpperCase(command.substr(3, 2));
}

// Queues one line whose exchange the batch notes; `handler` (the module's decoding) runs first.
bool QueueNoted(const std::shared_ptr<TCardConfigRun::TBatch>& batch, TRS485IFC& ifc,
                const std::string& text, TAnswerHandler handler) {
  const std::size_t index = batch->Lines.size();
  batch->Lines.push_back({text, {}, false});
  const bool queued = ifc.AddCommand(
      text, [batch, index, handler](const std::string& command, const std::string& answer) {
        // Noted also when the decoding fails: the bus master reports that failure itself.
        struct TNote {
          TCardConfigRun::TBatch& Batch;
          std::size_t Index;
          const std::string& Command;
          const std::string& Answer;
          ~TNote() {
            Batch.Lines[Index].Answer = Answer;
            Batch.Lines[Index].Answered = IsAnswerTo(Command, Answer);
            ++Batch.Done;
          }
        } note{*batch, index, command, answer};
        if (handler) handler(command, answer);
      });
  if (!queued) ++batch->Done;
  return queued;
}

// How long a step may take: every line may cost a time-out, and polls of silent cards run
// between them.
uint32_t BatchLimitMs(std::size_t lines, uint32_t timeoutMs) {
  const uint64_t perLine = 2 * (static_cast<uint64_t>(timeoutMs) + 200);
  const uint64_t limit = (lines + 2) * perLine + 2000;
  return static_cast<uint32_t>(std::min<uint64_t>(limit, UINT32_MAX - 1));
}

std::string WithoutCR(const std::string& text) {
  std::string out;
  for (char c : text)
    if (c != '\r' && c != '\n') out += c;
  return out;
}

std::string Plural(std::size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string LabelOf(const TCardJob& job) {
  return "IFC" + std::to_string(job.Ifc->IfcNumber()) + " " + job.Modul->AdresseText() + " " +
         job.Modul->ClassName();
}

}  // namespace

// ---- jobs and results ------------------------------------------------------------------------

std::vector<TCardJob> CardJobsOfIfc(TRS485IFC& ifc) {
  std::vector<TCardJob> jobs;
  for (int j = 0; j < ifc.Count(); ++j)
    if (auto* modul = dynamic_cast<TBaseModul*>(ifc.Item(j))) jobs.push_back({&ifc, modul, {}});
  return jobs;
}

std::vector<TCardJob> CardJobsOfModel(const TModulsList& list) {
  std::vector<TCardJob> jobs;
  for (int i = 0; i < list.IFCCount(); ++i) {
    std::vector<TCardJob> more = CardJobsOfIfc(*list.IFCByIndex(i));
    jobs.insert(jobs.end(), more.begin(), more.end());
  }
  return jobs;
}

bool TCardResult::Succeeded() const {
  return Status == csBackedUp || Status == csSame || Status == csRestored || Status == csNoSettings;
}

std::string TCardResult::Line() const {
  return Label + ": " + Text;
}

std::string ShownSettingValue(const std::string& value) {
  return value.empty() ? "(fehlt)" : value;
}

std::string TCardResult::DifferenceLine(const TSettingDifference& difference) const {
  return Label + ": " + difference.Key + " " + ShownSettingValue(difference.Wanted) + " -> " +
         ShownSettingValue(difference.OnCard);
}

// ---- the run ---------------------------------------------------------------------------------

std::shared_ptr<TCardConfigRun> TCardConfigRun::Create(TCardConfigAction action,
                                                       std::vector<TCardJob> jobs,
                                                       std::string fileName) {
  // A job without its interface or module has nothing to work on.
  std::erase_if(jobs, [](const TCardJob& job) { return !job.Ifc || !job.Modul; });
  return std::shared_ptr<TCardConfigRun>(
      new TCardConfigRun(action, std::move(jobs), std::move(fileName)));
}

TCardConfigRun::TCardConfigRun(TCardConfigAction action, std::vector<TCardJob> jobs,
                               std::string fileName)
    : Now([] {
        return QDateTime::currentDateTime().toString("yyyy-MM-dd HH:mm:ss").toStdString();
      }),
      Wait(WaitWithMessagesUntil),
      FAction(action),
      FJobs(std::move(jobs)),
      FFileName(std::move(fileName)) {}

bool TCardConfigRun::TornDown() const {
  for (const auto& guard : FGuards)
    if (guard->Cancelled()) return true;
  return false;
}

bool TCardConfigRun::Stopped() const {
  return FCancelled || TornDown();
}

TCardConfigRun::TResult TCardConfigRun::Run() {
  FResults.clear();
  FModelGone = false;
  const bool needsFile = FAction != caCompare || !CompareWithImage;
  std::string error;
  if (needsFile && !FFile.Load(FFileName, &error)) {
    ReportMessage(
        std::string(ActionName(FAction)) + ": Datei " + FFileName + " nicht lesbar: " + error, 1);
    return rrFileError;
  }
  if (needsFile && FAction != caBackup && FFile.Cards().empty()) {
    ReportMessage(
        std::string(ActionName(FAction)) + ": keine Sicherung in " + FFileName + " gefunden. ", 1);
    return rrFileError;
  }

  // Every interface is held for the whole run; one that is busy leaves its cards undone.
  std::map<const TRS485IFC*, const TWorkflowGuard*> guardOf;
  for (const TCardJob& job : FJobs) {
    if (guardOf.count(job.Ifc) > 0) continue;
    FGuards.push_back(std::make_unique<TWorkflowGuard>(job.Ifc, ActionName(FAction)));
    guardOf[job.Ifc] = FGuards.back().get();
  }
  // Labels first: once the window takes the model apart, the modules must not be touched.
  std::vector<std::string> labels;
  for (const TCardJob& job : FJobs)
    labels.push_back(LabelOf(job));

  const int count = static_cast<int>(FJobs.size());
  for (int k = 0; k < count; ++k) {
    const std::string& label = labels[static_cast<std::size_t>(k)];
    const TCardJob& job = FJobs[static_cast<std::size_t>(k)];
    if (!Stopped() && OnProgress) OnProgress(k + 1, count, label);
    TCardResult result;
    if (Stopped()) {
      result.Status = csCancelled;
      result.Text = "nicht bearbeitet (abgebrochen)";
    } else {
      result = RunCard(job, *guardOf[job.Ifc]);
    }
    result.Label = label;
    FResults.push_back(result);
    if (OnCardDone && !TornDown()) OnCardDone(FResults.back());
  }

  FModelGone = TornDown();
  TResult outcome = Stopped() ? rrCancelled : rrDone;
  if (FAction == caBackup) {
    if (Stopped()) {
      for (TCardResult& r : FResults) {
        if (r.Status != csBackedUp) continue;
        r.Status = csCancelled;
        r.Text = "gelesen, nicht gesichert (abgebrochen, Datei unverändert)";
      }
    } else if (!SaveBackups()) {
      outcome = rrFileError;
    }
  }
  FGuards.clear();
  return outcome;
}

bool TCardConfigRun::SaveBackups() {
  bool any = false;
  for (const TCardResult& r : FResults) {
    if (r.Status != csBackedUp) continue;
    FFile.Put(r.Backup);
    any = true;
  }
  if (!any) return true;
  try {
    FFile.Save(FFileName);
    return true;
  } catch (const std::exception& e) {
    ReportMessage(std::string(ActionName(FAction)) + ": " + e.what(), 1);
    for (TCardResult& r : FResults) {
      if (r.Status != csBackedUp) continue;
      r.Status = csFailed;
      r.Text = "gelesen, aber die Datei konnte nicht geschrieben werden";
    }
    return false;
  }
}

TCardResult TCardConfigRun::RunCard(const TCardJob& job, const TWorkflowGuard& guard) {
  TCardResult result;
  TBaseModul& modul = *job.Modul;
  TRS485IFC& ifc = *job.Ifc;
  const std::string own = CardSectionName(ifc.IfcNumber(), modul.Adresse);
  result.Section = job.Section.empty() ? own : job.Section;
  auto finish = [&](TCardStatus status, std::string text) {
    result.Status = status;
    result.Text = std::move(text);
    return result;
  };

  const TCardSettingsType* type = CardSettingsTypeOf(modul);
  if (!type) return finish(csNoSettings, "keine Einstellungen");
  if (!guard.Acquired()) return finish(csFailed, TWorkflowGuard::BusyText(&ifc));
  if (!ifc.Active()) return finish(csFailed, "Interface nicht verbunden");

  TCardSettings wanted;
  if (FAction == caCompare && CompareWithImage) {
    wanted = type->FromImage(modul);
  } else if (FAction != caBackup) {
    const std::optional<TCardBackup> backup = FFile.Card(result.Section);
    if (!backup) return finish(csRefused, "kein Abschnitt [" + result.Section + "] in der Datei");
    if (ModulClassName(backup->ClassName) != modul.ClassName())
      return finish(csRefused, "abgelehnt: Abschnitt [" + backup->Section + "] gehört zu einer " +
                                   backup->ClassName + ", die Karte ist eine " + modul.ClassName());
    wanted = backup->Settings;
    if (FAction == caRestore) {
      std::string fault;
      std::optional<TCardSettings> checked = CheckSettings(*type, wanted, fault);
      if (!checked)
        return finish(csRefused, "abgelehnt: Abschnitt [" + backup->Section + "]: " + fault +
                                     ", nichts geschrieben");
      wanted = std::move(*checked);
    }
  }

  if (!ReadCard(result, ifc, modul, *type)) return result;
  const TCardSettings onCard = type->FromImage(modul);
  switch (FAction) {
    case caBackup:
      result.Backup.Section = own;
      result.Backup.ClassName = modul.ClassName();
      result.Backup.Firmware = modul.Firmware;
      result.Backup.ReadAt = Now ? Now() : std::string();
      result.Backup.Bezeichnung = modul.Bezeichnung;
      result.Backup.Settings = onCard;
      return finish(csBackedUp, "gesichert");
    case caCompare: {
      // Compared with another card's section (a replacement card): the line says with which.
      const std::string with = !CompareWithImage && UpperCase(result.Section) != UpperCase(own)
                                   ? " (mit [" + result.Section + "])"
                                   : std::string();
      result.Differences = CompareSettings(*type, wanted, onCard);
      if (result.Differences.empty()) return finish(csSame, "gleich" + with);
      return finish(csDiffers,
                    Plural(result.Differences.size(), "Unterschied", "Unterschiede") + with);
    }
    case caRestore:
      Restore(result, ifc, modul, *type, wanted);
      return result;
  }
  return result;
}

// Asks the card who it is, then for its settings. False, with the result filled in, when that
// did not work out.
bool TCardConfigRun::ReadCard(TCardResult& result, TRS485IFC& ifc, TBaseModul& modul,
                              const TCardSettingsType& type) {
  auto fail = [&](TCardStatus status, std::string text) {
    result.Status = status;
    result.Text = std::move(text);
    return false;
  };
  auto stopped = [&] {
    return fail(csCancelled,
                FAction == caRestore ? "abgebrochen, nichts geschrieben" : "abgebrochen");
  };

  auto ident = std::make_shared<TBatch>();
  QueueNoted(ident, ifc, "?" + IntToHexText(modul.Adresse, 2) + "010000", modul.AnswerHandler());
  WaitForBatch(ifc, *ident);
  if (Stopped()) return stopped();
  if (!ifc.Active()) return fail(csFailed, "Interface nicht mehr verbunden");
  if (!ident->Lines[0].Answered) return fail(csNoAnswer, "ohne Antwort");
  TIdentAnswer card;
  const bool readable = ParseIdentAnswer(WithoutCR(ident->Lines[0].Answer), card);
  const std::string cardClass = readable ? ModulClassName("T" + card.TypeName) : std::string();
  if (cardClass != modul.ClassName())
    return fail(csRefused, "abgelehnt: die Karte meldet sich als \"" +
                               WithoutCR(ident->Lines[0].Answer) + "\", im Modell steht " +
                               modul.ClassName());
  modul.Firmware = card.TypeName + "." + card.Version;

  std::shared_ptr<TBatch> read;
  const bool answered = Exchange(
      ifc, modul, [&] { type.RequestAll(modul); }, read);
  if (Stopped()) return stopped();
  if (!ifc.Active()) return fail(csFailed, "Interface nicht mehr verbunden");
  if (!answered)
    return fail(csNoAnswer, "ohne Antwort auf " +
                                std::to_string(read->Lines.size() - read->AnsweredCount()) +
                                " von " + std::to_string(read->Lines.size()) + " Abfragen");
  return true;
}

void TCardConfigRun::Restore(TCardResult& result, TRS485IFC& ifc, TBaseModul& modul,
                             const TCardSettingsType& type, const TCardSettings& wanted) {
  auto finish = [&](TCardStatus status, std::string text) {
    result.Status = status;
    result.Text = std::move(text);
  };
  const std::string from =
      UpperCase(result.Section) == UpperCase(CardSectionName(ifc.IfcNumber(), modul.Adresse))
          ? std::string()
          : " aus [" + result.Section + "]";
  if (CompareSettings(type, wanted, type.FromImage(modul)).empty())
    return finish(csRestored, "wiederhergestellt" + from + ": schon gleich, nichts geschrieben");

  std::shared_ptr<TBatch> writes;
  Exchange(
      ifc, modul, [&] { result.Written = type.WriteDiffering(modul, wanted); }, writes);
  const std::string sent = Plural(result.Written.size(), "Einstellung", "Einstellungen");
  const std::string permanent = type.NeedsStore() ? ", nicht im EEPROM gespeichert" : "";
  if (Stopped())
    return finish(csCancelled,
                  "abgebrochen nach dem Senden von " + sent + ": nicht geprüft" + permanent);

  // Every setting is read back, also those whose write went unanswered: the card tells.
  std::shared_ptr<TBatch> check;
  const bool answered = Exchange(
      ifc, modul, [&] { type.RequestAll(modul); }, check);
  if (Stopped())
    return finish(csCancelled,
                  "abgebrochen nach dem Senden von " + sent + ": nicht geprüft" + permanent);
  if (!answered)
    return finish(ifc.Active() ? csNoAnswer : csFailed,
                  sent + " gesendet, Rücklesen " +
                      (ifc.Active() ? "ohne Antwort" : "unmöglich (Interface nicht verbunden)") +
                      ": nicht geprüft" + permanent);
  result.Differences = CompareSettings(type, wanted, type.FromImage(modul));
  if (!result.Differences.empty())
    return finish(csFailed, sent + " gesendet, Prüfung fehlgeschlagen: " +
                                Plural(result.Differences.size(), "Einstellung weicht",
                                       "Einstellungen weichen") +
                                " ab" + permanent);
  if (!type.NeedsStore())
    return finish(csRestored, "wiederhergestellt" + from + ": " + sent + " geschrieben");

  // Stored only once the check passed: a card that took some writes and lost others keeps its
  // old settings in its EEPROM.
  std::shared_ptr<TBatch> store;
  const bool stored = Exchange(
      ifc, modul, [&] { type.StorePermanently(modul); }, store);
  if (Stopped() || !stored)
    return finish(csFailed, sent + " geschrieben und geprüft, Speichern im EEPROM " +
                                (Stopped() ? "abgebrochen" : "nicht bestätigt"));
  finish(csRestored,
         "wiederhergestellt" + from + ": " + sent + " geschrieben, im EEPROM gespeichert");
}

bool TCardConfigRun::Exchange(TRS485IFC& ifc, TBaseModul& modul,
                              const std::function<void()>& operations,
                              std::shared_ptr<TBatch>& batch) {
  batch = std::make_shared<TBatch>();
  std::shared_ptr<TBatch> noted = batch;
  const TBaseModul::TCommandRoute route = [noted, &ifc](const std::string& text,
                                                        TAnswerHandler handler) {
    return QueueNoted(noted, ifc, text, std::move(handler));
  };
  modul.RouteCommands(route, operations);
  return WaitForBatch(ifc, *batch) && batch->AnsweredCount() == batch->Lines.size();
}

bool TCardConfigRun::WaitForBatch(TRS485IFC& ifc, TBatch& batch) {
  if (batch.Complete()) return true;
  const uint32_t limit = BatchLimitMs(batch.Lines.size(), ifc.Timeout());
  // Once the interface drops its connection its queue is gone: the lines will not come back.
  Wait([&] { return Stopped() || batch.Complete() || !ifc.Active(); }, limit);
  return !TornDown() && batch.Complete();
}

bool TCardConfigRun::AllSucceeded() const {
  return std::all_of(FResults.begin(), FResults.end(),
                     [](const TCardResult& r) { return r.Succeeded(); });
}

std::string TCardConfigRun::Summary() const {
  std::map<TCardStatus, std::size_t> count;
  for (const TCardResult& r : FResults)
    ++count[r.Status];
  const std::size_t failed = count[csRefused] + count[csFailed];
  std::string text;
  switch (FAction) {
    case caBackup:
      text = Plural(count[csBackedUp], "Karte", "Karten") + " gesichert, " +
             std::to_string(count[csNoAnswer]) + " ohne Antwort";
      if (failed > 0) text += ", " + std::to_string(failed) + " fehlgeschlagen";
      break;
    case caCompare:
      text = Plural(count[csSame], "Karte", "Karten") + " gleich, " +
             std::to_string(count[csDiffers]) + " verschieden, " +
             std::to_string(count[csNoAnswer]) + " ohne Antwort";
      if (failed > 0) text += ", " + std::to_string(failed) + " fehlgeschlagen";
      break;
    case caRestore:
      text = Plural(count[csRestored], "Karte", "Karten") + " wiederhergestellt, " +
             std::to_string(failed + count[csNoAnswer]) + " fehlgeschlagen";
      break;
  }
  if (count[csCancelled] > 0) text += ", " + std::to_string(count[csCancelled]) + " abgebrochen";
  if (count[csNoSettings] > 0)
    text += ", " + std::to_string(count[csNoSettings]) + " ohne Einstellungen";
  return text;
}
