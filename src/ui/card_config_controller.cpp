#include "ui/card_config_controller.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressDialog>

#include "bus/bus_interface.h"
#include "model/moduls_list.h"
#include "modules/base_modul.h"
#include "support/conversions.h"
#include "support/message_sink.h"
#include "support/paths.h"
#include "ui/card_config_table.h"
#include "ui/main_window.h"

namespace {

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

}  // namespace

TCardConfigController::TCardConfigController(TfrmVelmoraConfig* window)
    : QObject(window), FWindow(window) {
  setObjectName("CardConfig");
}

std::string TCardConfigController::DefaultFile() const {
  return DefaultCardConfigFile(IncludeTrailingBackslash(FWindow->ModellDir) + FWindow->ModellName +
                               ".INI");
}

std::optional<TCardConfigChoice> TCardConfigController::AskWithDialog(
    const TCardConfigRequest& request) {
  TfrmCardConfig dialog(request, FWindow);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.Choice();
}

void TCardConfigController::Start(TCardConfigAction action) {
  if (FRunning) {
    // The progress dialog keeps the window from starting a second run; a script might not.
    FWindow->StatusPanel[1]->setText(tr("Konfiguration: es läuft schon eine. "));
    return;
  }
  TCardConfigRequest request;
  request.Action = action;
  request.File = DefaultFile();
  TModulsItem* item = FWindow->SelectedItem();
  if (item && item->ItemKind == ikModul && item->Modul && item->IFC) {
    request.CardLabel = "IFC" + std::to_string(item->IFC->IfcNumber()) + " " +
                        item->Modul->AdresseText() + " " + item->Modul->ClassName();
    request.CardClass = item->Modul->ClassName();
    request.CardSection = CardSectionName(item->IFC->IfcNumber(), item->Modul->Adresse);
  }
  if (item && item->IFC) request.IfcLabel = "IFC(" + std::to_string(item->IFC->IfcNumber()) + ")";

  const std::optional<TCardConfigChoice> choice = Ask ? Ask(request) : AskWithDialog(request);
  if (!choice) return;
  // The selection as it is now: the dialog is gone.
  item = FWindow->SelectedItem();
  std::vector<TCardJob> jobs;
  if (choice->Scope == TCardConfigChoice::scCard) {
    if (item && item->ItemKind == ikModul && item->Modul && item->IFC)
      jobs.push_back({item->IFC, item->Modul, choice->Section});
  } else if (choice->Scope == TCardConfigChoice::scIfc) {
    if (item && item->IFC) jobs = CardJobsOfIfc(*item->IFC);
  } else {
    jobs = CardJobsOfModel(FWindow->ModulsList());
  }
  const QString caption = CardConfigCaption(action);
  if (!choice->WithImage && Trim(choice->File).empty()) {
    const QString text = tr("%1: keine Sicherungsdatei angegeben. ").arg(caption);
    FWindow->StatusPanel[1]->setText(text);
    ReportMessage(text.toStdString(), 1);
    return;
  }
  if (jobs.empty()) {
    const QString text = tr("%1: keine Karten ausgewählt. ").arg(caption);
    FWindow->StatusPanel[1]->setText(text);
    ReportMessage(text.toStdString(), 1);
    return;
  }

  std::shared_ptr<TCardConfigRun> run = TCardConfigRun::Create(action, jobs, choice->File);
  run->CompareWithImage = choice->WithImage;
  const int count = static_cast<int>(jobs.size());
  auto* progress = new QProgressDialog(FWindow);
  progress->setObjectName("dlgKonfigFortschritt");
  progress->setAccessibleName(tr("Fortschritt"));
  progress->setWindowTitle(caption);
  progress->setCancelButtonText(tr("Abbrechen"));
  progress->setRange(0, count);
  progress->setMinimumDuration(0);
  progress->setAutoClose(false);
  progress->setAutoReset(false);
  progress->setWindowModality(Qt::WindowModal);
  progress->setMinimumWidth(360);
  FProgress = progress;
  std::weak_ptr<TCardConfigRun> weak = run;
  connect(progress, &QProgressDialog::canceled, this, [weak] {
    if (auto running = weak.lock()) running->Cancel();
  });
  QPointer<TfrmVelmoraConfig> window(FWindow);
  run->OnProgress = [progress = FProgress, window](int k, int n, const std::string& label) {
    const QString text =
        tr("Karte %1 von %2: %3").arg(QString::number(k), QString::number(n), Q(label));
    if (progress) {
      progress->setLabelText(text);
      progress->setValue(k - 1);
    }
    if (window) window->StatusPanel[0]->setText(tr("Karte %1 von %2").arg(k).arg(n));
  };
  FRunning = run;
  if (OnRunCreated) OnRunCreated(*run);
  progress->show();

  TCardConfigRun::TResult outcome = TCardConfigRun::rrFileError;
  try {
    outcome = run->Run();
  } catch (const std::exception& e) {
    ReportMessage(std::string("TCardConfigController.Start: ") + e.what(), 1);
  }
  FRunning.reset();
  if (FProgress) FProgress->deleteLater();
  // The window took the model apart meanwhile (it is closing): nothing more to show.
  if (run->ModelGone() || !window) return;

  window->StatusPanel[0]->setText("");
  // The final word on each card: a backup's cards count as saved only once the file is written.
  for (const TCardResult& result : run->Results()) {
    // A failure is one line in the log; what went well is noted there without a time stamp.
    if (result.Succeeded() || result.Status == csDiffers)
      window->Memo1->appendPlainText(Q(result.ShownLine()));
    else
      ReportMessage(result.ShownLine(), 1);
    for (const TSettingDifference& d : result.Differences)
      window->Memo1->appendPlainText(Q(result.ShownDifferenceLine(d)));
  }
  if (outcome == TCardConfigRun::rrFileError && run->Results().empty()) {
    window->StatusPanel[1]->setText(tr("%1: Datei nicht nutzbar").arg(caption));
    return;
  }
  const std::string summary = caption.toStdString() + ": " + run->ShownSummary();
  window->Memo1->appendPlainText(Q(summary));
  window->StatusPanel[1]->setText(Q(summary));
  if (!FTable) FTable = new TfrmConfigTable(window);
  FTable->ShowResults(action, choice->WithImage ? std::string() : choice->File, run->Results(),
                      run->ShownSummary());
  FTable->show();
  FTable->raise();
  window->RefreshTree();
}
