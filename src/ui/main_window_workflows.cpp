#include "ui/main_window.h"

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QToolButton>
#include <QTreeWidget>
#include <algorithm>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "bus/bus_interface.h"
#include "model/address_change.h"
#include "model/module_search.h"
#include "model/moduls_list.h"
#include "model/traffic_log.h"
#include "model/workflow_guard.h"
#include "modules/base_modul.h"
#include "support/conversions.h"
#include "support/diagnostics.h"
#include "support/message_sink.h"
#include "support/texts.h"
#include "ui/main_window_internal.h"
#include "ui/modules/modul_form.h"

using namespace main_window_detail;

// ---- workflows: search, removal, address change, developer additions ----------------------

bool TfrmVelmoraConfig::RefuseWhileBusy(const TRS485IFC* ifc) {
  if (!TWorkflowGuard::IsBusy(ifc)) return false;
  const std::string text = TWorkflowGuard::BusyText(ifc);
  SetStatus(1, text);
  ReportMessage(text, 1);
  return true;
}

void TfrmVelmoraConfig::SearchModules(bool quick) {
  TRS485IFC* ifc = SelectedIFC();
  if (!ifc || !ifc->Active()) return;
  if (RefuseWhileBusy(ifc)) return;
  // The window has one progress bar and one cancel button: a search on another interface would
  // take them over and leave the running one without a way to call it off.
  if (std::shared_ptr<TModulSearch> running = FRunningSearch.lock())
    if (RefuseWhileBusy(&running->Ifc())) return;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  Memo2->clear();
  Memo1->appendPlainText("");
  Memo1->appendPlainText(tr("Suche Module......."));
  SetStatus(0, "");
  SetStatus(1, S(tr("Suche Module.......")));
  SearchAnswers.clear();

  std::shared_ptr<TModulSearch> search = TModulSearch::Create(ModulsList(), *ifc);
  FRunningSearch = search;
  QPointer<TfrmVelmoraConfig> self(this);
  search->OnProgress = [self](const std::string& text) {
    if (!self) return;
    self->SetStatus(0, text);
    self->StatusPanel[0]->repaint();
  };
  search->OnAnswer = [self](const std::string& answer) {
    if (self) self->Memo2->appendPlainText(Q(OneLine(answer)));
  };
  // The bar follows the line, not the queue: the queries of the quick search are all queued at
  // once.
  search->OnAsking = [self](int address) {
    if (!self) return;
    self->prbSuche->setValue(address);
    self->prbSuche->setFormat(Q("$" + IntToHexText(address, 2)));
  };
  prbSuche->setRange(0, std::clamp(search->LastAddress, 0, 255));
  prbSuche->setValue(0);
  prbSuche->setFormat("");
  prbSuche->show();
  btnSucheAbbrechen->setEnabled(true);
  btnSucheAbbrechen->show();
  // The cursor says "busy", but the way to call the search off must still look clickable.
  btnSucheAbbrechen->setCursor(Qt::ArrowCursor);
  FSearchCancelled = false;
  // The modules found get their windows when the user first opens them.
  TModulSearch::TResult result = TModulSearch::srCancelled;
  try {
    result = quick ? search->RunQuick() : search->Run();
  } catch (const std::exception& e) {
    ReportMessage(std::string("TfrmVelmoraConfig.SearchModules: ") + e.what(), 1);
  }
  if (!self) {
    QApplication::restoreOverrideCursor();
    return;
  }
  FRunningSearch.reset();
  prbSuche->hide();
  btnSucheAbbrechen->hide();
  SearchAnswers = search->SearchAnswers;
  if (result == TModulSearch::srDone) {
    RebuildTree();
    SetStatus(0, "");
    SetStatus(1, "");
    Memo1->appendPlainText("");
  } else if (result == TModulSearch::srGaveUp) {
    Memo1->appendPlainText("");
  } else if (result == TModulSearch::srCancelled && FSearchCancelled) {
    ReportMessage(
        S(tr("Modulsuche IFC(%1) abgebrochen, keine Module übernommen. ").arg(ifc->IfcNumber())),
        1);
    SetStatus(0, "");
    SetStatus(1, "");
    Memo1->appendPlainText("");
  }
  QApplication::restoreOverrideCursor();
}

void TfrmVelmoraConfig::CancelSearch() {
  std::shared_ptr<TModulSearch> search = FRunningSearch.lock();
  if (!search) return;
  FSearchCancelled = true;
  btnSucheAbbrechen->setEnabled(false);
  search->Cancel();
}

void TfrmVelmoraConfig::RemoveSelected() {
  TModulsItem* item = SelectedItem();
  if (!item) return;
  if (RefuseWhileBusy(item->IFC)) return;
  Lock();
  VSTModuls->setUpdatesEnabled(false);
  VSTModuls->clear();
  TModulsList& list = ModulsList();
  // The figures are kept by interface number and address, both of which the removal takes or
  // changes: they must move with the cards that stay.
  std::vector<std::pair<const TRS485IFC*, int32_t>> numbersBefore;
  for (int i = 0; i < list.IFCCount(); ++i)
    numbersBefore.emplace_back(list.IFCByIndex(i), list.IFCByIndex(i)->IfcNumber());
  std::optional<std::pair<int32_t, int>> removedModule;
  if (item->Modul && item->IFC) removedModule.emplace(item->IFC->IfcNumber(), item->Modul->Adresse);
  try {
    list.RemoveItem(item);
    list.RenumberIFCs();
  } catch (const std::exception& e) {
    ReportMessage(std::string("TfrmVelmoraConfig.tbtnModulDELClick: ") + e.what(), 1);
  }
  if (FTraffic) {
    TLinkStatistics& statistics = FTraffic->Statistics();
    if (removedModule) statistics.Forget(removedModule->first, removedModule->second);
    std::map<int32_t, int32_t> newNumbers;
    for (int i = 0; i < list.IFCCount(); ++i)
      for (const auto& [ifc, before] : numbersBefore)
        if (ifc == list.IFCByIndex(i)) newNumbers[before] = ifc->IfcNumber();
    statistics.Renumber(newNumbers);
  }
  TModulsItem* select = nullptr;
  try {
    FreeDetachedForms();
    if (list.IFCCount() > 0) {
      select = list.IFCItem(list.IFCCount() - 1);
      if (!select) select = list.IFCItem(0);
    } else {
      select = list.AddIFC("TRS485IFC");
      if (select) BindInterface(select->IFC, false);
    }
    RebuildTree();
    SelectItem(select);
    ShowIFCData(select ? select->IFC : nullptr);
  } catch (const std::exception& e) {
    ReportMessage(std::string("TfrmVelmoraConfig.tbtnModulDELClick: ") + e.what(), 1);
  }
  VSTModuls->setUpdatesEnabled(true);
  Unlock();
  UpdateIFCControls();
}

void TfrmVelmoraConfig::ChangeModulAdresse() {
  TModulsItem* item = SelectedItem();
  if (!item || item->ItemKind != ikModul) return;
  TRS485IFC* ifc = item->IFC;
  TBaseModul* modul = item->Modul;
  if (!ifc || !ifc->Active() || !modul || !modul->Aktiv) {
    ShowNotice(
        S(tr("Zum Ändern der Moduladresse muß das Interface und das Modul aktiviert sein.")));
    return;
  }
  if (RefuseWhileBusy(ifc)) return;
  if (item->Form) item->Form->CloseForm();
  modul->SetPolling(false);
  try {
    const std::string old = modul->AdresseText();
    const std::optional<std::string> answer =
        InputBox(S(tr("Moduladresse ändern")),
                 S(tr("Moduladresse = %1 neue ModulAdresse:").arg(Q(old))), old);
    // A cancelled box ends the change like an empty answer: nothing goes on the bus.
    const std::optional<uint8_t> address =
        answer ? ParseNewModulAddress(*answer) : std::optional<uint8_t>();
    if (address) {
      std::shared_ptr<TAddressChange> change = TAddressChange::Create(*ifc, *modul);
      QPointer<TfrmVelmoraConfig> self(this);
      change->OnCode = [self](const std::string& code) {
        if (self) self->SetStatus(0, code);
      };
      change->OnExchange = [self](const std::string& text) {
        if (self) self->SetStatus(1, OneLine(text));
      };
      change->OnLogLine = [self](const TText& text) {
        if (self) self->Memo1->appendPlainText(Q(text));
      };
      if (change->Run(*address) == TAddressChange::acBusy) RefuseWhileBusy(ifc);
    }
  } catch (const std::exception& e) {
    ReportMessage(std::string("TfrmVelmoraConfig.ChangeModulAdresse: ") + e.what(), 1);
  }
  if (QTreeWidgetItem* node = VSTModuls->currentItem()) RefreshNode(node);
  UpdateModifiedMark();
}

void TfrmVelmoraConfig::mnuModulAddClick() {
  TRS485IFC* ifc = SelectedIFC();
  if (!ifc) return;
  const std::optional<std::string> answer =
      InputBox(S(tr("Neues Modul")),
               S(tr("ClassName,Adresse (THDX01,TMXB01,TMXB02,TIFCPorts,TDummy)")), "TMXB02,$36");
  // A cancelled box adds nothing, as an empty answer does.
  if (!answer || answer->empty()) return;
  const std::string className = UpperCase(Trim(GetField(*answer, 0, ",", "")));
  const int32_t address = TextToInt(Trim(GetField(*answer, 1, ",", "")), 0);
  if (address < 0) return;
  try {
    if (TModulsItem* item = ModulsList().AddModul(className, ifc, address)) {
      // A module added by hand is there to be tried: its window is made at once, as the few of
      // the developer test set are. Loaded and found modules get theirs when first opened.
      CreateModulForm(item);
      RebuildTree();
    }
  } catch (const std::exception& e) {
    ReportMessage(std::string("TfrmVelmoraConfig.mnuModulAddClick: ") + e.what(), 1);
  }
}

void TfrmVelmoraConfig::btnTestClick() {
  TRS485IFC* ifc = SelectedIFC();
  if (!ifc) return;
  const std::pair<const char*, int> modules[] = {
      {"TIFCPorts", 1}, {"THDX01", 33}, {"TMXB01", 49}, {"TMXB02", 50}, {"TRS485Dummy", 50}};
  try {
    for (const auto& [className, address] : modules)
      CreateModulForm(ModulsList().AddModul(className, ifc, address));
  } catch (const std::exception& e) {
    ReportMessage(std::string("TfrmVelmoraConfig.btnTestClick: ") + e.what(), 1);
  }
  RebuildTree();
}
