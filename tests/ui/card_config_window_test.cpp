// Backing up, comparing and restoring the cards' settings from the main window's "Module" menu,
// against the simulated bus. With KAVOR_WINDOW_PICTURES set to a folder, the comparison table
// and the dialog are also saved there as pictures.

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <memory>

#include "bus/bus_interface.h"
#include "bus/serial_factory.h"
#include "model/card_config_file.h"
#include "model/moduls_list.h"
#include "model/workflow_guard.h"
#include "modules/base_modul.h"
#include "sim/sim_bus.h"
#include "sim/sim_serial_line.h"
#include "sim/sim_switch_cards.h"
#include "sim/sim_throttle_card.h"
#include "support/main_thread.h"
#include "support/message_sink.h"
#include "ui/card_config_controller.h"
#include "ui/card_config_dialog.h"
#include "ui/card_config_table.h"
#include "ui/main_window.h"

namespace {

void SavePicture(QWidget& widget, const QString& name) {
  const QString folder = qEnvironmentVariable("KAVOR_WINDOW_PICTURES");
  if (folder.isEmpty()) return;
  QDir().mkpath(folder);
  QVERIFY(widget.grab().save(QDir(folder).filePath(name)));
}

// The table's rows as "card | setting | wanted | on the card".
QStringList TableRows(const TfrmConfigTable& table) {
  QStringList rows;
  for (int i = 0; i < table.VSTKonfig->topLevelItemCount(); ++i) {
    const QTreeWidgetItem* row = table.VSTKonfig->topLevelItem(i);
    rows << QStringList{row->text(0), row->text(1), row->text(2), row->text(3)}.join(" | ");
  }
  return rows;
}

}  // namespace

class CardConfigWindowTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<QTemporaryDir> Dir;
  std::unique_ptr<TSimBus> Bus;
  std::vector<TCardConfigRequest> Requests;

  std::string ModelDir() const { return Dir->path().toStdString() + "/Modell1"; }

  // A window on the simulated bus with the three cards that keep settings, plus the port
  // expansion; the card at $32 is selected.
  std::unique_ptr<TfrmVelmoraConfig> MakeWindow() {
    auto w = std::make_unique<TfrmVelmoraConfig>(ModelDir());
    // These tests change the model on purpose; dropping it is not what they ask about.
    w->QuestionBox = [](const std::string&, bool) { return TfrmVelmoraConfig::anNein; };
    SetNoticeHandler([](const std::string&) {});
    w->FormActivate();
    w->cboPort->setCurrentIndex(w->cboPort->findText("SIM"));
    w->cboBaud->setCurrentIndex(1);
    w->ConnectIFC(true);
    w->SelectedIFC()->SetTimeout(100);
    for (const char* card : {"TMXB01,$1E", "THDX01,$20", "TMXB02,$32", "TIFCPorts,$7F"}) {
      w->InputBox = [card](const std::string&, const std::string&, const std::string&) {
        return std::optional<std::string>(card);
      };
      w->mnuModulAddClick();
    }
    SelectCard(*w, 0x32);
    return w;
  }
  void SelectCard(TfrmVelmoraConfig& w, uint8_t address) {
    TRS485IFC* ifc = w.ModulsList().IFCByIndex(0);
    auto* modul = dynamic_cast<TBaseModul*>(ifc->Item(ifc->FindModule(address)));
    w.SelectItem(w.ModulsList().ItemOfModul(modul));
  }
  // The dialog answers with this choice and notes what it was asked.
  void Choose(TfrmVelmoraConfig& w, TCardConfigChoice::TScope scope, std::string section = {}) {
    w.CardConfig->Ask = [this, scope, section](const TCardConfigRequest& request) {
      Requests.push_back(request);
      TCardConfigChoice choice;
      choice.Scope = scope;
      choice.File = request.File;
      choice.Section = section;
      return std::optional<TCardConfigChoice>(choice);
    };
  }
  std::string DefaultFile() const { return ModelDir() + "/Modell1.Karten.ini"; }

 private slots:
  void initTestCase() {
    InstallQtMainThreadWaker();
    RegisterSerialLine("SIM", "Simulierter Bus", [this] { return MakeSimSerialLine(*Bus); });
  }
  void cleanupTestCase() {
    UnregisterSerialLine("SIM");
    RemoveQtMainThreadWaker();
  }
  void init() {
    Dir = std::make_unique<QTemporaryDir>();
    QVERIFY(Dir->isValid());
    Bus = std::make_unique<TSimBus>();
    Bus->AddDefaultCards();
    Requests.clear();
  }

  void MenuBackUpCompareRestore() {
    auto w = MakeWindow();
    QMenu* menu = w->menuBar()->findChild<QMenu*>("mnuModule1");
    QVERIFY(menu);
    QStringList entries;
    for (QAction* a : menu->actions())
      if (!a->isSeparator()) entries << a->text();
    menu->popup(w->mapToGlobal(QPoint(0, 0)));
    SavePicture(*menu, "card_config_menu.png");
    menu->hide();
    QCOMPARE(entries.mid(entries.size() - 3),
             (QStringList{"Konfiguration sichern…", "Konfiguration vergleichen…",
                          "Konfiguration wiederherstellen…"}));

    // The selected card alone, into the default file beside the model.
    Choose(*w, TCardConfigChoice::scCard);
    w->mnuKonfigSichern->trigger();
    QCOMPARE(Requests.size(), 1u);
    QCOMPARE(Requests[0].Action, caBackup);
    QCOMPARE(Requests[0].CardLabel, std::string("IFC0 $32 TMXB02"));
    QCOMPARE(Requests[0].CardSection, std::string("IFC0_$32"));
    QCOMPARE(Requests[0].IfcLabel, std::string("IFC(0)"));
    QCOMPARE(Requests[0].File, DefaultFile());
    TCardConfigFile file;
    QVERIFY(file.Load(DefaultFile()));
    QCOMPARE(file.Cards().size(), 1u);
    QVERIFY(
        w->Memo1->toPlainText().contains("IFC0 $32 TMXB02: gesichert\n"
                                         "Konfiguration sichern: 1 Karte gesichert, 0 ohne "
                                         "Antwort"));
    QCOMPARE(w->StatusPanel[1]->text(),
             QString("Konfiguration sichern: 1 Karte gesichert, 0 ohne Antwort"));

    // Every card of the interface; then somebody changes two cards.
    Choose(*w, TCardConfigChoice::scIfc);
    w->mnuKonfigSichern->trigger();
    QVERIFY(file.Load(DefaultFile()));
    QCOMPARE(file.Cards().size(), 3u);
    TSimMXB02Config changed = Bus->CardAs<TSimMXB02>(0x32).Config();
    const TSimMXB02Config layout = changed;
    changed.Inversion = 0x0008;
    changed.PulseTime1[3] = 12;
    Bus->CardAs<TSimMXB02>(0x32).SetConfig(changed);
    Bus->CardAs<TSimHDX01>(0x20).SetStopEvent(5, TSimHDX01::kStopBrake);

    Choose(*w, TCardConfigChoice::scModel);
    w->mnuKonfigVergleichen->trigger();
    TfrmConfigTable* table = w->CardConfig->Table();
    QVERIFY(table && table->isVisible());
    QCOMPARE(table->windowTitle(), QString("Konfiguration vergleichen"));
    const QTreeWidgetItem* header = table->VSTKonfig->headerItem();
    QCOMPARE((QStringList{header->text(0), header->text(1), header->text(2), header->text(3)}),
             (QStringList{"Karte", "Einstellung", "in der Datei", "auf der Karte"}));
    QCOMPARE(TableRows(*table),
             (QStringList{"IFC0 $1E TMXB01 | gleich |  | ", "IFC0 $20 THDX01 | 1 Unterschied |  | ",
                          " | LS5.Stop | AUS | BSTOP", "IFC0 $32 TMXB02 | 2 Unterschiede |  | ",
                          " | Port03.Invertiert | 0 | 1", " | Port03.Impuls1 | 3 | 12",
                          "IFC0 $7F TIFCPorts | keine Einstellungen |  | "}));
    QCOMPARE(table->lblSumme->text(),
             QString("1 Karte gleich, 2 verschieden, 0 ohne Antwort, 1 ohne Einstellungen"));
    QVERIFY(w->Memo1->toPlainText().contains("IFC0 $32 TMXB02: Port03.Impuls1 3 -> 12"));
    table->resize(560, 300);
    SavePicture(*table, "card_config_compare.png");

    w->mnuKonfigWiederherstellen->trigger();
    QCOMPARE(Bus->CardAs<TSimMXB02>(0x32).Config(), layout);
    QCOMPARE(Bus->CardAs<TSimMXB02>(0x32).StoreCount(), 1);
    QCOMPARE(Bus->CardAs<TSimHDX01>(0x20).StopEvent(5), TSimHDX01::kStopOff);
    QCOMPARE(table->windowTitle(), QString("Konfiguration wiederherstellen"));
    QVERIFY(w->Memo1->toPlainText().contains(
        "IFC0 $32 TMXB02: wiederhergestellt: 2 Einstellungen geschrieben, im EEPROM gespeichert"));
    w->mnuKonfigVergleichen->trigger();
    QCOMPARE(table->lblSumme->text(),
             QString("3 Karten gleich, 0 verschieden, 0 ohne Antwort, 1 ohne Einstellungen"));
  }

  void ReplacementCardFromTheOldCardsSection() {
    auto w = MakeWindow();
    TSimMXB02Config layout = Bus->CardAs<TSimMXB02>(0x32).Config();
    layout.Flags1 = 0x00FF;
    Bus->CardAs<TSimMXB02>(0x32).SetConfig(layout);
    Choose(*w, TCardConfigChoice::scCard);
    w->mnuKonfigSichern->trigger();

    Bus->Add<TSimMXB02>(0x33);
    w->InputBox = [](const std::string&, const std::string&, const std::string&) {
      return std::optional<std::string>("TMXB02,$33");
    };
    w->mnuModulAddClick();
    SelectCard(*w, 0x33);
    Choose(*w, TCardConfigChoice::scCard, "IFC0_$32");
    w->mnuKonfigWiederherstellen->trigger();
    QCOMPARE(Requests.back().CardSection, std::string("IFC0_$33"));
    QCOMPARE(Bus->CardAs<TSimMXB02>(0x33).StoredConfig(), layout);
    QVERIFY(w->Memo1->toPlainText().contains("IFC0 $33 TMXB02: wiederhergestellt aus [IFC0_$32]"));
  }

  void CancelFromTheProgressDialogWhileTheWindowStaysUsable() {
    auto w = MakeWindow();
    Choose(*w, TCardConfigChoice::scModel);
    w->CardConfig->OnRunCreated = [&w](TCardConfigRun& run) {
      QVERIFY(w->CardConfig->Progress());
      QCOMPARE(w->CardConfig->Progress()->windowModality(), Qt::WindowModal);
      auto shown = run.OnProgress;
      run.OnProgress = [&w, shown](int k, int n, const std::string& label) {
        shown(k, n, label);
        QCOMPARE(w->CardConfig->Progress()->labelText(),
                 QString("Karte %1 von %2: %3").arg(k).arg(n).arg(QString::fromStdString(label)));
        // While the first card is read the window serves a search request, which is refused.
        if (k == 1) QTimer::singleShot(0, w.get(), [&w] { w->SearchModules(); });
        if (k == 2) SavePicture(*w->CardConfig->Progress(), "card_config_progress.png");
        // The user presses the dialog's "Abbrechen".
        if (k == 3) w->CardConfig->Progress()->findChild<QPushButton*>()->click();
      };
    };
    w->mnuKonfigSichern->trigger();
    const QString log = w->Memo1->toPlainText();
    QVERIFY(log.contains("IFC(0) ist beschäftigt: Konfiguration sichern läuft noch. "));
    QVERIFY(
        log.contains("IFC0 $1E TMXB01: gelesen, nicht gesichert (abgebrochen, Datei "
                     "unverändert)"));
    QVERIFY(log.contains("IFC0 $32 TMXB02: nicht bearbeitet (abgebrochen)"));
    QVERIFY(
        log.contains("Konfiguration sichern: 0 Karten gesichert, 0 ohne Antwort, 4 "
                     "abgebrochen"));
    QVERIFY(!QFile::exists(QString::fromStdString(DefaultFile())));
    QVERIFY(!w->CardConfig->Running());
    QVERIFY(!TWorkflowGuard::AnyBusy());
  }

  void ClosingTheWindowDuringARunStopsIt() {
    auto w = MakeWindow();
    Choose(*w, TCardConfigChoice::scModel);
    w->mnuKonfigSichern->trigger();
    Bus->CardAs<TSimMXB01>(0x1E).SetPulseTimeMs(10);
    w->CardConfig->OnRunCreated = [&w](TCardConfigRun& run) {
      auto shown = run.OnProgress;
      run.OnProgress = [&w, shown](int k, int n, const std::string& label) {
        shown(k, n, label);
        // The user closes the window while the second card is read.
        if (k == 2) QTimer::singleShot(0, w.get(), [&w] { w->close(); });
      };
    };
    w->mnuKonfigWiederherstellen->trigger();
    QCOMPARE(Bus->CardAs<TSimMXB01>(0x1E).PulseTimeMs(), 250);  // the first card was done
    QCOMPARE(w->ModulsList().Count(), 0);
    QVERIFY(!w->CardConfig->Running());
    QVERIFY(!TWorkflowGuard::AnyBusy());
    w.reset();
  }

  void DialogListsTheSectionsOfTheCardsClass() {
    const std::string name = Dir->path().toStdString() + "/k.ini";
    TCardConfigFile file;
    file.Put({"IFC0_$32", "TMXB02", "MXB02.1.5", "2024-05-04 18:30:12", "Bahnhof", {}});
    file.Put({"IFC0_$1E", "TMXB01", "", "", "", {}});
    file.Put({"IFC1_$40", "TMXB2", "", "", "", {}});
    file.Put({"IFC0_$33", "TMXB02", "", "", "", {}});
    file.Save(name);

    TCardConfigRequest request;
    request.Action = caRestore;
    request.CardLabel = "IFC0 $33 TMXB02";
    request.CardClass = "TMXB02";
    request.CardSection = "IFC0_$33";
    request.IfcLabel = "IFC(0)";
    request.File = name;
    TfrmCardConfig dialog(request);
    QCOMPARE(dialog.windowTitle(), QString("Konfiguration wiederherstellen"));
    QVERIFY(dialog.rbKarte->isChecked());
    QCOMPARE(dialog.cboAbschnitt->count(), 3);
    QCOMPARE(dialog.cboAbschnitt->itemData(0).toString(), QString("IFC0_$33"));
    QCOMPARE(dialog.cboAbschnitt->itemData(1).toString(), QString("IFC0_$32"));
    QCOMPARE(dialog.cboAbschnitt->itemData(2).toString(), QString("IFC1_$40"));
    dialog.cboAbschnitt->setCurrentIndex(1);
    TCardConfigChoice choice = dialog.Choice();
    QCOMPARE(choice.Scope, TCardConfigChoice::scCard);
    QCOMPARE(choice.Section, std::string("IFC0_$32"));
    QCOMPARE(choice.File, name);
    // For many cards each takes its own section.
    dialog.rbModell->setChecked(true);
    QVERIFY(!dialog.cboAbschnitt->isEnabled());
    QCOMPARE(dialog.Choice().Section, std::string());
    dialog.show();
    SavePicture(dialog, "card_config_dialog.png");

    // Without a selected card only the interface or the model; a comparison may use the image.
    request.Action = caCompare;
    request.CardLabel.clear();
    TfrmCardConfig compare(request);
    QVERIFY(!compare.rbKarte->isEnabled());
    QVERIFY(compare.rbInterface->isChecked());
    compare.rbMitProgramm->setChecked(true);
    QVERIFY(!compare.edDatei->isEnabled());
    QVERIFY(compare.Choice().WithImage);
    for (QWidget* widget : compare.findChildren<QWidget*>())
      if (widget->isVisibleTo(&compare) && !widget->objectName().startsWith("qt_"))
        QVERIFY2(!widget->objectName().isEmpty(), widget->metaObject()->className());
  }
};

QTEST_MAIN(CardConfigWindowTest)
#include "card_config_window_test.moc"
