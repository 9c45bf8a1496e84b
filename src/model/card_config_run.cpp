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
#include "support/texts.h"
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

TText ActionName(TCardConfigAction action) {
  switch (action) {
    case caBackup:
      return TrText("TCardConfigRun", "Konfiguration sichern");
    case caCompare:
      return TrText("TCardConfigRun", "Konfiguration vergleichen");
    case caRestore:
      return TrText("TCardConfigRun", "Konfiguration wiederherstellen");
  }
  return TrText("TCardConfigRun", "Konfiguration");
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

// The count in the form that fits it: `one` and `many` hold %1 for the number.
TText Counted(std::size_t n, const TText& one, const TText& many) {
  return TText(n == 1 ? one : many).Arg(n);
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

std::string TCardResult::ShownLine() const {
  return Label + ": " + ShownText;
}

void TCardResult::SetText(const TText& text) {
  Text = text.Source();
  ShownText = text.Shown();
}

namespace {

TText SettingValue(const std::string& value) {
  return value.empty() ? TrText("TCardConfigRun", "(fehlt)") : TText::Plain(value);
}

}  // namespace

std::string ShownSettingValue(const std::string& value) {
  return SettingValue(value).Shown();
}

std::string TCardResult::DifferenceLine(const TSettingDifference& difference) const {
  return Label + ": " + difference.Key + " " + SettingValue(difference.Wanted).Source() + " -> " +
         SettingValue(difference.OnCard).Source();
}

std::string TCardResult::ShownDifferenceLine(const TSettingDifference& difference) const {
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
    ReportMessage(TrText("TCardConfigRun", "%1: Datei %2 nicht lesbar: %3")
                      .Arg(ActionName(FAction))
                      .Arg(FFileName)
                      .Arg(error),
                  1);
    return rrFileError;
  }
  if (needsFile && FAction != caBackup && FFile.Cards().empty()) {
    ReportMessage(TrText("TCardConfigRun", "%1: keine Sicherung in %2 gefunden. ")
                      .Arg(ActionName(FAction))
                      .Arg(FFileName),
                  1);
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
      result.SetText(TrText("TCardConfigRun", "nicht bearbeitet (abgebrochen)"));
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
        r.SetText(
            TrText("TCardConfigRun", "gelesen, nicht gesichert (abgebrochen, Datei unverändert)"));
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
    ReportMessage(ActionName(FAction).Shown() + ": " + e.what(), 1);
    for (TCardResult& r : FResults) {
      if (r.Status != csBackedUp) continue;
      r.Status = csFailed;
      r.SetText(
          TrText("TCardConfigRun", "gelesen, aber die Datei konnte nicht geschrieben werden"));
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
  auto finish = [&](TCardStatus status, const TText& text) {
    result.Status = status;
    result.SetText(text);
    return result;
  };

  const TCardSettingsType* type = CardSettingsTypeOf(modul);
  if (!type) return finish(csNoSettings, TrText("TCardConfigRun", "keine Einstellungen"));
  if (!guard.Acquired()) return finish(csFailed, TWorkflowGuard::BusyMessage(&ifc));
  if (!ifc.Active()) return finish(csFailed, TrText("TCardConfigRun", "Interface nicht verbunden"));

  TCardSettings wanted;
  if (FAction == caCompare && CompareWithImage) {
    wanted = type->FromImage(modul);
  } else if (FAction != caBackup) {
    const std::optional<TCardBackup> backup = FFile.Card(result.Section);
    if (!backup)
      return finish(
          csRefused,
          TrText("TCardConfigRun", "kein Abschnitt [%1] in der Datei").Arg(result.Section));
    if (ModulClassName(backup->ClassName) != modul.ClassName())
      return finish(csRefused,
                    TrText("TCardConfigRun",
                           "abgelehnt: Abschnitt [%1] gehört zu einer %2, die Karte ist eine %3")
                        .Arg(backup->Section)
                        .Arg(backup->ClassName)
                        .Arg(modul.ClassName()));
    wanted = backup->Settings;
    if (FAction == caRestore) {
      TText fault;
      std::optional<TCardSettings> checked = CheckSettings(*type, wanted, fault);
      if (!checked)
        return finish(csRefused,
                      TrText("TCardConfigRun", "abgelehnt: Abschnitt [%1]: %2, nichts geschrieben")
                          .Arg(backup->Section)
                          .Arg(fault));
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
      return finish(csBackedUp, TrText("TCardConfigRun", "gesichert"));
    case caCompare: {
      // Compared with another card's section (a replacement card): the line says with which.
      const bool other = !CompareWithImage && UpperCase(result.Section) != UpperCase(own);
      result.Differences = CompareSettings(*type, wanted, onCard);
      if (result.Differences.empty())
        return finish(csSame,
                      other ? TrText("TCardConfigRun", "gleich (mit [%1])").Arg(result.Section)
                            : TrText("TCardConfigRun", "gleich"));
      const std::size_t n = result.Differences.size();
      if (other)
        return finish(csDiffers, Counted(n, TrText("TCardConfigRun", "%1 Unterschied (mit [%2])"),
                                         TrText("TCardConfigRun", "%1 Unterschiede (mit [%2])"))
                                     .Arg(result.Section));
      return finish(csDiffers, Counted(n, TrText("TCardConfigRun", "%1 Unterschied"),
                                       TrText("TCardConfigRun", "%1 Unterschiede")));
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
  auto fail = [&](TCardStatus status, const TText& text) {
    result.Status = status;
    result.SetText(text);
    return false;
  };
  auto stopped = [&] {
    return fail(csCancelled, FAction == caRestore
                                 ? TrText("TCardConfigRun", "abgebrochen, nichts geschrieben")
                                 : TrText("TCardConfigRun", "abgebrochen"));
  };
  const TText notConnected = TrText("TCardConfigRun", "Interface nicht mehr verbunden");

  auto ident = std::make_shared<TBatch>();
  QueueNoted(ident, ifc, "?" + IntToHexText(modul.Adresse, 2) + "010000", modul.AnswerHandler());
  WaitForBatch(ifc, *ident);
  if (Stopped()) return stopped();
  if (!ifc.Active()) return fail(csFailed, notConnected);
  if (!ident->Lines[0].Answered) return fail(csNoAnswer, TrText("TCardConfigRun", "ohne Antwort"));
  TIdentAnswer card;
  const bool readable = ParseIdentAnswer(WithoutCR(ident->Lines[0].Answer), card);
  const std::string cardClass = readable ? ModulClassName("T" + card.TypeName) : std::string();
  if (cardClass != modul.ClassName())
    return fail(csRefused, TrText("TCardConfigRun",
                                  "abgelehnt: die Karte meldet sich als \"%1\", im Modell steht %2")
                               .Arg(WithoutCR(ident->Lines[0].Answer))
                               .Arg(modul.ClassName()));
  modul.Firmware = card.TypeName + "." + card.Version;

  std::shared_ptr<TBatch> read;
  const bool answered = Exchange(
      ifc, modul, [&] { type.RequestAll(modul); }, read);
  if (Stopped()) return stopped();
  if (!ifc.Active()) return fail(csFailed, notConnected);
  if (!answered)
    return fail(csNoAnswer, TrText("TCardConfigRun", "ohne Antwort auf %1 von %2 Abfragen")
                                .Arg(read->Lines.size() - read->AnsweredCount())
                                .Arg(read->Lines.size()));
  return true;
}

void TCardConfigRun::Restore(TCardResult& result, TRS485IFC& ifc, TBaseModul& modul,
                             const TCardSettingsType& type, const TCardSettings& wanted) {
  auto finish = [&](TCardStatus status, const TText& text) {
    result.Status = status;
    result.SetText(text);
  };
  // Restored from another card's section (a replacement card): the line says from which.
  const TText restored =
      UpperCase(result.Section) == UpperCase(CardSectionName(ifc.IfcNumber(), modul.Adresse))
          ? TrText("TCardConfigRun", "wiederhergestellt")
          : TrText("TCardConfigRun", "wiederhergestellt aus [%1]").Arg(result.Section);
  if (CompareSettings(type, wanted, type.FromImage(modul)).empty())
    return finish(csRestored,
                  TrText("TCardConfigRun", "%1: schon gleich, nichts geschrieben").Arg(restored));

  std::shared_ptr<TBatch> writes;
  Exchange(
      ifc, modul, [&] { result.Written = type.WriteDiffering(modul, wanted); }, writes);
  const TText sent = Counted(result.Written.size(), TrText("TCardConfigRun", "%1 Einstellung"),
                             TrText("TCardConfigRun", "%1 Einstellungen"));
  const TText permanent =
      type.NeedsStore() ? TrText("TCardConfigRun", ", nicht im EEPROM gespeichert") : TText();
  const TText cancelled =
      TrText("TCardConfigRun", "abgebrochen nach dem Senden von %1: nicht geprüft%2")
          .Arg(sent)
          .Arg(permanent);
  if (Stopped()) return finish(csCancelled, cancelled);

  // Every setting is read back, also those whose write went unanswered: the card tells.
  std::shared_ptr<TBatch> check;
  const bool answered = Exchange(
      ifc, modul, [&] { type.RequestAll(modul); }, check);
  if (Stopped()) return finish(csCancelled, cancelled);
  if (!answered)
    return finish(
        ifc.Active() ? csNoAnswer : csFailed,
        (ifc.Active()
             ? TrText("TCardConfigRun", "%1 gesendet, Rücklesen ohne Antwort: nicht geprüft%2")
             : TrText("TCardConfigRun",
                      "%1 gesendet, Rücklesen unmöglich (Interface nicht verbunden): nicht "
                      "geprüft%2"))
            .Arg(sent)
            .Arg(permanent));
  result.Differences = CompareSettings(type, wanted, type.FromImage(modul));
  if (!result.Differences.empty())
    return finish(csFailed, TrText("TCardConfigRun", "%1 gesendet, Prüfung fehlgeschlagen: %2 ab%3")
                                .Arg(sent)
                                .Arg(Counted(result.Differences.size(),
                                             TrText("TCardConfigRun", "%1 Einstellung weicht"),
                                             TrText("TCardConfigRun", "%1 Einstellungen weichen")))
                                .Arg(permanent));
  if (!type.NeedsStore())
    return finish(csRestored,
                  TrText("TCardConfigRun", "%1: %2 geschrieben").Arg(restored).Arg(sent));

  // Stored only once the check passed: a card that took some writes and lost others keeps its
  // old settings in its EEPROM.
  std::shared_ptr<TBatch> store;
  const bool stored = Exchange(
      ifc, modul, [&] { type.StorePermanently(modul); }, store);
  if (Stopped() || !stored)
    return finish(csFailed,
                  (Stopped() ? TrText("TCardConfigRun",
                                      "%1 geschrieben und geprüft, Speichern im EEPROM abgebrochen")
                             : TrText("TCardConfigRun",
                                      "%1 geschrieben und geprüft, Speichern im EEPROM nicht "
                                      "bestätigt"))
                      .Arg(sent));
  finish(csRestored, TrText("TCardConfigRun", "%1: %2 geschrieben, im EEPROM gespeichert")
                         .Arg(restored)
                         .Arg(sent));
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
  return SummaryText().Source();
}

std::string TCardConfigRun::ShownSummary() const {
  return SummaryText().Shown();
}

TText TCardConfigRun::SummaryText() const {
  std::map<TCardStatus, std::size_t> count;
  for (const TCardResult& r : FResults)
    ++count[r.Status];
  const std::size_t failed = count[csRefused] + count[csFailed];
  // The parts one after the other, each ", " + part.
  std::vector<TText> parts;
  auto add = [&](std::size_t n, const TText& part) {
    if (n > 0) parts.push_back(TText(part).Arg(n));
  };
  switch (FAction) {
    case caBackup:
      parts.push_back(TrText("TCardConfigRun", "%1 gesichert, %2 ohne Antwort")
                          .Arg(Counted(count[csBackedUp], TrText("TCardConfigRun", "%1 Karte"),
                                       TrText("TCardConfigRun", "%1 Karten")))
                          .Arg(count[csNoAnswer]));
      add(failed, TrText("TCardConfigRun", "%1 fehlgeschlagen"));
      break;
    case caCompare:
      parts.push_back(TrText("TCardConfigRun", "%1 gleich, %2 verschieden, %3 ohne Antwort")
                          .Arg(Counted(count[csSame], TrText("TCardConfigRun", "%1 Karte"),
                                       TrText("TCardConfigRun", "%1 Karten")))
                          .Arg(count[csDiffers])
                          .Arg(count[csNoAnswer]));
      add(failed, TrText("TCardConfigRun", "%1 fehlgeschlagen"));
      break;
    case caRestore:
      parts.push_back(TrText("TCardConfigRun", "%1 wiederhergestellt, %2 fehlgeschlagen")
                          .Arg(Counted(count[csRestored], TrText("TCardConfigRun", "%1 Karte"),
                                       TrText("TCardConfigRun", "%1 Karten")))
                          .Arg(failed + count[csNoAnswer]));
      break;
  }
  add(count[csCancelled], TrText("TCardConfigRun", "%1 abgebrochen"));
  add(count[csNoSettings], TrText("TCardConfigRun", "%1 ohne Einstellungen"));
  // ", " separates the parts in both languages (an empty context: nothing to translate).
  TText text = parts.front();
  for (std::size_t i = 1; i < parts.size(); ++i)
    text = TText("", "%1, %2").Arg(text).Arg(parts[i]);
  return text;
}
