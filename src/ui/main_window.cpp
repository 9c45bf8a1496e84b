#include "ui/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>
#include <cstdlib>

#include "bus/bus_interface.h"
#include "model/moduls_list.h"
#include "model/traffic_log.h"
#include "model/workflow_guard.h"
#include "modules/base_modul.h"
#include "support/conversions.h"
#include "support/diagnostics.h"
#include "support/paths.h"
#include "support/version.h"
#include "support/waits.h"
#include "ui/controls/tree_helpers.h"
#include "ui/frm_bus_monitor.h"
#include "ui/help_window.h"
#include "ui/main_icons.h"
#include "ui/modules/modul_form.h"
#include "ui/modules/module_forms.h"

#include "ui/main_window_internal.h"

using namespace main_window_detail;

namespace {

// "date time" in the platform's short form, with seconds: the log is read against bus timing.
QString LogStamp() {
  const QLocale locale = QLocale::system();
  QString timeFormat = locale.timeFormat(QLocale::ShortFormat);
  if (!timeFormat.contains('s')) {
    const int minutes = timeFormat.indexOf("mm");
    if (minutes >= 0) timeFormat.insert(minutes + 2, ":ss");
  }
  const QDateTime now = QDateTime::currentDateTime();
  return locale.toString(now.date(), QLocale::ShortFormat) + " " +
         locale.toString(now.time(), timeFormat);
}

}  // namespace

TfrmVelmoraConfig::TfrmVelmoraConfig(const std::string& modellDir)
    : QMainWindow(nullptr), FDefaultModellDir(modellDir) {
  setObjectName("frmVelmoraConfig");
  setWindowTitle("KavorConfig");
  setWindowIcon(AppIcon());
  InputBox = [this](const std::string& caption, const std::string& prompt,
                    const std::string& preset) -> std::optional<std::string> {
    bool ok = false;
    const QString text =
        QInputDialog::getText(this, Q(caption), Q(prompt), QLineEdit::Normal, Q(preset), &ok);
    if (!ok) return std::nullopt;
    return S(text);
  };
  BuildMenus();
  BuildControls();
  InstallQuestionBox();
  resize(800, 530);
  FormCreate();
}

TfrmVelmoraConfig::~TfrmVelmoraConfig() {
  FormDestroy();
}

TModulsList& TfrmVelmoraConfig::ModulsList() {
  return FDispatcher->ModulsList();
}

// ---- life cycle ------------------------------------------------------------------------------

void TfrmVelmoraConfig::FormCreate() {
  setWindowTitle(kCaption);
  UpdateLock = 0;
  SearchAnswers.clear();
  QPointer<TfrmVelmoraConfig> self(this);
  FPreviousHandler = SetMessageHandler([self](const std::string& text, uint8_t kind) {
    if (self) self->AddLogLine(text, kind);
  });
  FPreviousNotice = SetNoticeHandler([self](const std::string& text) {
    QMessageBox::information(self, "KavorConfig", AsMemoText(text));
  });
  Memo1->clear();
  Memo2->clear();
  FGleisNetz = std::make_unique<TGleisNetz>();
  FDispatcher = std::make_unique<TBDispatcher>();
  CreateTraffic();
  if (!IsDeveloperMode()) {
    mnuModulAdd->setVisible(false);
    btnTest->setVisible(false);
  }
}

void TfrmVelmoraConfig::FormActivate() {
  if (FActivated) {
    if (UpdateLock == 0) RefreshTree();
    return;
  }
  FActivated = true;
  FillPortList();
  ModellName = "Modell1";
  ModellDir = ExcludeTrailingBackslash(FDefaultModellDir);
  const std::string file = ModellFile();
  if (!FileExists(file)) CreateModellFiles(ModellDir, ModellName);
  LoadModell(file);
  if (ModulsList().Count() == 0) NewIFC();
  ShowIFCData(SelectedIFC());
  UpdateIFCControls();
  // The interface offered for an empty model is no change of the user's.
  MarkModelUnmodified();
}

bool TfrmVelmoraConfig::FormCloseQuery() {
  // Nothing is taken down before the user has decided about unsaved changes.
  if (!ConfirmDropModel()) return false;
  // From here on the model is taken down: a click meanwhile (a search's cancel button, "save")
  // would reach interfaces that are gone, or write the emptied model over the user's file.
  setEnabled(false);
  QApplication::setOverrideCursor(Qt::WaitCursor);
  Lock();
  VSTModuls->setUpdatesEnabled(false);
  SetStatus(1, S(tr("Herunterfahren ................")));
  // A search or address change waiting for answers must not touch the model once it is gone.
  TWorkflowGuard::CancelAll();
  try {
    ModulsList().RemoveAll();
  } catch (const std::exception& e) {
    ReportMessage(std::string("TfrmVelmoraConfig.FormCloseQuery: ") + e.what(), 1);
  }
  VSTModuls->clear();
  FreeDetachedForms();
  WaitWithMessages(1000);
  QApplication::restoreOverrideCursor();
  return true;
}

void TfrmVelmoraConfig::closeEvent(QCloseEvent* event) {
  if (FClosing) {
    // The first close request is still emptying the model.
    event->ignore();
    return;
  }
  FClosing = true;
  if (FormCloseQuery()) {
    event->accept();
  } else {
    FClosing = false;
    event->ignore();
  }
}

void TfrmVelmoraConfig::FormDestroy() {
  TWorkflowGuard::CancelAll();
  try {
    if (FDispatcher) ModulsList().RemoveAll();
  } catch (...) {
    // The window goes anyway.
  }
  VSTModuls->clear();
  for (TfrmModulBase* form : FModulForms)
    delete form;
  FModulForms.clear();
  // The monitor reads the model and the traffic: it goes before them.
  delete FBusMonitor;
  FBusMonitor = nullptr;
  if (FHealthTimer) FHealthTimer->stop();
  FTraffic.reset();
  FDispatcher.reset();
  FGleisNetz.reset();
  SetMessageHandler(FPreviousHandler);
  SetNoticeHandler(FPreviousNotice);
}

bool TfrmVelmoraConfig::event(QEvent* e) {
  if (e->type() == QEvent::WindowActivate) FormActivate();
  return QMainWindow::event(e);
}

void TfrmVelmoraConfig::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  // Without a window manager (a bare X server) the window is never activated; the model must
  // still be loaded once it is on screen.
  if (!FActivated)
    QTimer::singleShot(0, this, [this] {
      if (!FActivated) FormActivate();
    });
}

// ---- log, status, traffic --------------------------------------------------------------------

void TfrmVelmoraConfig::AddLogLine(const std::string& text, uint8_t kind) {
  if (kind == 1)
    Memo1->appendPlainText(LogStamp() + "| " + AsMemoText(text));
  else
    Memo1->appendPlainText(AsMemoText(text));
}

void TfrmVelmoraConfig::SetStatus(int panel, const std::string& text) {
  if (panel >= 0 && panel < 3) StatusPanel[panel]->setText(Q(text));
}

void TfrmVelmoraConfig::ShowReceived(const std::string& text) {
  SetStatus(1, OneLine(text));
}

void TfrmVelmoraConfig::OnTestAnswer(const std::string& command, const std::string& answer) {
  Memo2->appendPlainText(Q(command + " --> " + OneLine(answer)));
}

void TfrmVelmoraConfig::Button2Click() {
  Memo1->clear();
  Memo2->clear();
}

void TfrmVelmoraConfig::edSendenKeyUp(int key) {
  if (key != Qt::Key_Return && key != Qt::Key_Enter) return;
  TRS485IFC* ifc = SelectedIFC();
  if (!ifc) return;
  QPointer<TfrmVelmoraConfig> self(this);
  ifc->AddCommand(S(edSenden->text()), [self](const std::string& command, const std::string& a) {
    if (self) self->OnTestAnswer(command, a);
  });
}

void TfrmVelmoraConfig::mnuHilfe1Click() {
  if (!FHilfe) FHilfe = new TfrmHilfe(this);
  FHilfe->show();
  FHilfe->raise();
  FHilfe->activateWindow();
}

void TfrmVelmoraConfig::Ueber1Click() {
  // The caption line stays as the window has always shown it; the lines after it name this build.
  QString qt = tr("Erstellt mit Qt %1").arg(BuildQtVersion());
  if (RuntimeQtVersion() != BuildQtVersion())
    qt += tr(", läuft mit Qt %1").arg(Q(RuntimeQtVersion()));
  ShowNotice(S(tr("KavorConfig - Konfiguration und Test des Velmora RS485-Modulbusses")) +
             "\r\n"
             "Quorvane, 2014-2018\r\n"
             "https://quorvane.example  https://velmora.example\r\n"
             "\r\n" +
             std::string(kCaption) + "\r\n\r\n" + S(tr("Version %1").arg(ProgramVersion())) +
             "\r\n" + S(qt));
}

void TfrmVelmoraConfig::mnuSpracheClick(TLanguage language) {
  StoreLanguage(language);
  if (language == CurrentLanguage()) return;
  // The window is built once; its texts follow at the next start. The notice speaks both
  // languages, since the user may read only the one just chosen.
  std::string text =
      "Die Sprache wird beim nächsten Start umgestellt.\r\n"
      "The language changes at the next start.";
  const char* environment = std::getenv("KAVORCONFIG_LANG");
  if (environment && ParseLanguage(environment) && ParseLanguage(environment) != language)
    text += std::string("\r\n\r\nKAVORCONFIG_LANG=") + environment +
            " bestimmt die Sprache, solange es gesetzt ist.\r\n"
            "KAVORCONFIG_LANG=" +
            environment + " decides the language while it is set.";
  ShowNotice(text);
}

// ---- module windows ----------------------------------------------------------------------------

void TfrmVelmoraConfig::CreateModulForm(TModulsItem* item) {
  if (!item || !item->Modul || item->Form) return;
  TfrmModulBase* form = CreateModulFormFor(item->Modul);
  item->Form = form;
  if (form) FModulForms.push_back(form);
}

void TfrmVelmoraConfig::ShowModulForm(TModulsItem* item) {
  if (!item) return;
  try {
    // A window is made when it is first asked for and kept from then on; a big layout would
    // otherwise build thousands of windows, hidden, at every load.
    CreateModulForm(item);
  } catch (const std::exception& e) {
    ReportMessage(std::string("TfrmVelmoraConfig.ShowModulForm: ") + e.what(), 1);
    return;
  }
  if (!item->Form) return;
  try {
    if (auto* form = dynamic_cast<QWidget*>(item->Form)) {
      form->show();
      form->raise();
      form->activateWindow();
    }
  } catch (...) {
    // Showing a window is not worth a report.
  }
}

void TfrmVelmoraConfig::FreeDetachedForms() {
  // Sort out first, free afterwards: a freed window must not be asked anything any more.
  const auto firstDetached =
      std::stable_partition(FModulForms.begin(), FModulForms.end(),
                            [](TfrmModulBase* form) { return form->Modul() != nullptr; });
  for (auto it = firstDetached; it != FModulForms.end(); ++it)
    delete *it;
  FModulForms.erase(firstDetached, FModulForms.end());
}

// ---- model file ------------------------------------------------------------------------------

void TfrmVelmoraConfig::LoadModell(const std::string& fileName) {
  if (!FileExists(fileName)) return;
  if (TWorkflowGuard::AnyBusy()) {
    const std::string text =
        S(tr("Modell laden nicht möglich: eine Modulsuche oder Adressänderung läuft noch. "));
    SetStatus(1, text);
    ReportMessage(text, 1);
    return;
  }
  if (!ConfirmDropModel()) return;
  const std::string ini = ChangeFileExt(fileName, ".INI");
  ModellDir = ExtractFileDir(ini);
  ModellName = FileNameWithoutExt(ini);
  FDialogDir = Q(ModellDir);
  Lock();
  VSTModuls->setUpdatesEnabled(false);
  VSTModuls->clear();
  TModulsItem* first = nullptr;
  bool complete = true;
  try {
    TModelHeader header = ShownHeader();
    TModulsList& list = ModulsList();
    complete = LoadModelFile(list, fileName, header);
    // The figures were measured on the cards of the model that is gone.
    if (FTraffic) FTraffic->ResetStatistics();
    edCaption->setText(Q(header.Caption));
    edDescr->setText(Q(header.Description));
    FreeDetachedForms();
    first = list.IFCItem(0);
    for (int i = 0; i < list.IFCCount(); ++i) {
      TRS485IFC* ifc = list.IFCByIndex(i);
      BindInterface(ifc, true);
      for (const auto& module : ifc->Modules())
        if (auto* modul = dynamic_cast<TBaseModul*>(module.get())) modul->SetAktiv(true);
    }
  } catch (const std::exception& e) {
    ReportMessage(std::string("TfrmVelmoraConfig.LoadModell: ") + e.what(), 1);
  }
  RebuildTree();
  SelectItem(first);
  if (first) ShowIFCData(first->IFC);
  VSTModuls->setUpdatesEnabled(true);
  Unlock();
  UpdateIFCControls();
  MarkModelUnmodified();
  // Saving such a model over its file would erase the rest: the user must know before anything
  // else happens.
  if (!complete && ModulsList().PartialLoad()) ShowNotice(ModulsList().PartialLoad()->Notice());
}

std::string TfrmVelmoraConfig::ModellFile() const {
  return IncludeTrailingBackslash(ModellDir) + ModellName + ".INI";
}

bool TfrmVelmoraConfig::SaveModell(const std::string& fileName) {
  const std::string file = ModelSaveFileName(fileName);
  bool saved = false;
  if (file.empty()) {
    ReportMessage(
        "TfrmVelmoraConfig.SaveModell: " + S(tr("kein Dateiname angegeben, nichts gespeichert")),
        1);
  } else if (ModulsList().SaveWouldEraseUnloaded(file) &&
             QuestionBox(S(tr(kPartialSaveQuestion)), false) != anJa) {
    SetStatus(1, S(tr("Nicht gespeichert: die Datei wurde nur teilweise geladen.")));
  } else if (FileExists(file) && !SameFile(file, fileName) &&
             !SameFile(file, ModelSaveFileName(ModellFile())) &&
             QuestionBox(
                 S(tr("Die Datei %1 gibt es schon. Das Modell darin ersetzen?").arg(Q(file))),
                 false) != anJa) {
    // The save writes another name than the one given ("Anlage v1.2" goes into "Anlage v1.INI"),
    // so the file dialog asked about none: another model's interfaces and cards stay unless the
    // user says so.
  } else {
    // A file that was never written must not become the model's own: the status bar, the card
    // backup and the question on closing would all name it. The file dialog stays where the
    // user went, for the next try.
    const std::string dirBefore = ModellDir;
    const std::string nameBefore = ModellName;
    ModellDir = ExtractFileDir(file);
    ModellName = FileNameWithoutExt(file);
    FDialogDir = Q(ModellDir);
    try {
      saved = SaveModelFile(ModulsList(), file, ShownHeader(), "TfrmVelmoraConfig.SaveModell: ");
    } catch (const std::exception& e) {
      ReportMessage(std::string("TfrmVelmoraConfig.SaveModell: ") + e.what(), 1);
    }
    if (!saved) {
      ModellDir = dirBefore;
      ModellName = nameBefore;
    }
  }
  UpdateIFCControls();
  return saved;
}

void TfrmVelmoraConfig::tbtnLoadFromFileClick() {
  const QString name = QFileDialog::getOpenFileName(this, tr("Modell öffnen"), FDialogDir,
                                                    tr("Layoutfiles (*.ini);;Alle Files (*.*)"));
  if (!name.isEmpty()) LoadModell(S(name));
}

void TfrmVelmoraConfig::tbtnSaveToFileClick() {
  const QString name = QFileDialog::getSaveFileName(this, tr("Modell speichern"), FDialogDir);
  if (!name.isEmpty()) SaveModell(S(name));
}
