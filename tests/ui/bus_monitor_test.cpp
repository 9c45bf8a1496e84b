// The traffic monitor and the tree's link health on the simulated bus: a card that answers and
// one that never does, seen in the tree's health columns and state images, in the monitor's
// statistics and rows, through its filters, and in the CSV file it saves.
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QTreeWidget>
#include <memory>

#include "bus/bus_interface.h"
#include "bus/serial_factory.h"
#include "model/moduls_list.h"
#include "model/traffic_log.h"
#include "modules/base_modul.h"
#include "sim/sim_bus.h"
#include "sim/sim_serial_line.h"
#include "support/conversions.h"
#include "support/files.h"
#include "support/main_thread.h"
#include "support/message_sink.h"
#include "ui/bus_monitor_model.h"
#include "ui/controls/tree_helpers.h"
#include "ui/frm_bus_monitor.h"
#include "ui/main_window.h"

class BusMonitorTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<QTemporaryDir> Dir;
  std::unique_ptr<TSimBus> Bus;

  // A window whose interface polls three cards of the bus and one at $41 that is not there.
  std::unique_ptr<TfrmVelmoraConfig> MakeConnectedWindow() {
    auto w = std::make_unique<TfrmVelmoraConfig>(Dir->path().toStdString() + "/Modell1");
    SetNoticeHandler([](const std::string&) {});
    w->FormActivate();
    TRS485IFC* ifc = w->ModulsList().IFCByIndex(0);
    const struct {
      const char* Class;
      int Address;
      const char* Caption;
    } cards[] = {{"TMXB01", 0x1E, "Weichen Bahnhof"},
                 {"THDX01", 0x20, "Fahrregler"},
                 {"TMXB02", 0x32, "Signale Nord"},
                 {"TMXB01", 0x41, "Schattenbahnhof"}};
    for (const auto& card : cards) {
      TBaseModul* modul = w->ModulsList().AddModul(card.Class, ifc, card.Address)->Modul;
      modul->SetPolling(true);
      modul->Bezeichnung = card.Caption;
    }
    w->RebuildTree();
    w->SelectItem(w->ModulsList().IFCItem(0));
    w->cboTimeOut->setCurrentIndex(w->cboTimeOut->findText("100"));
    w->cboPollPrior->setCurrentIndex(w->cboPollPrior->findText("1"));
    w->cboPort->setCurrentIndex(w->cboPort->findText("SIM"));
    w->ConnectIFC(true);
    // Live modules ask their cards once for their state: one-shots among the polls.
    for (int i = 0; i < ifc->Count(); ++i)
      dynamic_cast<TBaseModul*>(ifc->Item(i))->SetAktiv(true);
    return w;
  }

  QTreeWidgetItem* NodeAt(TfrmVelmoraConfig& w, int address) {
    TRS485IFC* ifc = w.ModulsList().IFCByIndex(0);
    auto* modul = dynamic_cast<TBaseModul*>(ifc->Item(ifc->FindModule(address)));
    return FindTreeNode(w.VSTModuls, w.ModulsList().ItemOfModul(modul));
  }

  static void SavePicture(QWidget& widget, const QString& name) {
    const QString folder = qEnvironmentVariable("KAVOR_WINDOW_PICTURES");
    if (folder.isEmpty()) return;
    QDir().mkpath(folder);
    QVERIFY(widget.grab().save(QDir(folder).filePath(name)));
  }

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
    // The card at $32 is flaky: now and then its answer comes too late or garbled.
    TSimFaults flaky;
    flaky.SlowChance = 0.3;
    flaky.SlowAnswerDelayUs = 300'000;
    flaky.CorruptChance = 0.1;
    Bus->SetFaults(0x32, flaky);
  }

  void TreeShowsWhichCardFailsAndHowSlowTheOtherIs() {
    auto w = MakeConnectedWindow();
    QVERIFY(w->ModulsList().IFCByIndex(0)->Active());
    QTreeWidgetItem* good = NodeAt(*w, 0x1E);
    QTreeWidgetItem* silent = NodeAt(*w, 0x41);
    QVERIFY(good && silent);
    // The six columns of the model stay as they were; the health columns follow them.
    QCOMPARE(w->VSTModuls->columnCount(), 9);
    QCOMPARE(w->VSTModuls->headerItem()->text(5), QString("Hinweis"));
    QCOMPARE(w->VSTModuls->headerItem()->text(6), QString("Antw. ms"));
    QCOMPARE(w->VSTModuls->headerItem()->text(7), QString("Fehler"));
    QCOMPARE(w->VSTModuls->headerItem()->text(8), QString("zuletzt"));
    QCOMPARE(good->text(2), QString("$1E"));

    // Three unanswered polls in a row make the silent card fail; the other one answers.
    QTRY_VERIFY_WITH_TIMEOUT(silent->text(7).toInt() >= 3, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(w->VSTModulsGetImageIndex(silent, ikState, 0), 4, 5000);
    QCOMPARE(silent->text(8), QString("-"));
    QCOMPARE(silent->text(6), QString("-"));
    // The card that answers is live; at most warned (a late answer of the flaky card may come in
    // its turn), never failing.
    const int goodState = w->VSTModulsGetImageIndex(good, ikState, 0);
    QVERIFY2(goodState == 2 || goodState == 3, qPrintable(QString::number(goodState)));
    QVERIFY(good->text(7).toInt() < silent->text(7).toInt());
    QVERIFY2(good->text(6).contains('/'), qPrintable(good->text(6)));
    QVERIFY(good->text(8).endsWith(" s"));
    // The interface row sums up its bus.
    QTreeWidgetItem* root = w->VSTModuls->topLevelItem(0);
    QCOMPARE(root->text(7).toInt() >= silent->text(7).toInt(), true);

    w->resize(1160, 420);
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    QTest::qWait(1500);
    MainThread().PumpPending();
    w->RefreshHealth();
    SavePicture(*w, "main_window_health.png");

    // Disconnected, a silent card is no failure any more, only a recent one.
    w->ModulsList().IFCByIndex(0)->SetActive(false);
    w->RefreshHealth();
    QCOMPARE(w->VSTModulsGetImageIndex(silent, ikState, 0), 3);
    QVERIFY(!silent->toolTip(0).isEmpty());
  }

  void MonitorShowsEveryExchangeFiltersAndSaves() {
    auto w = MakeConnectedWindow();
    w->mnuBusmonitor1->trigger();
    TfrmBusMonitor* monitor = w->BusMonitor();
    QVERIFY(monitor && monitor->isVisible());
    TBusMonitorModel* model = monitor->Model();
    QTRY_VERIFY_WITH_TIMEOUT(model->rowCount() >= 20, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(monitor->tblStatistik->rowCount() == 4, 5000);

    // Paused, the table stands still while the recording goes on.
    monitor->btnPause->click();
    QVERIFY(monitor->Paused());
    const int frozen = model->rowCount();
    const std::size_t recordedBefore = w->Traffic().Ring().Size();
    QTRY_VERIFY_WITH_TIMEOUT(w->Traffic().Ring().Size() > recordedBefore + 10, 5000);
    QTest::qWait(2 * TfrmBusMonitor::kRefreshMs);
    QCOMPARE(model->rowCount(), frozen);
    QVERIFY(model->Waiting() > 0);
    QVERIFY(monitor->lblStatus->text().contains("angehalten"));

    // Stop the bus; once resumed the table holds every exchange recorded.
    w->ModulsList().IFCByIndex(0)->SetActive(false);
    MainThread().PumpPending();
    monitor->btnPause->click();
    QVERIFY(!monitor->Paused());
    QCOMPARE(static_cast<std::size_t>(model->rowCount()), w->Traffic().Ring().Size());
    QCOMPARE(w->Traffic().Ring().Size(), w->Traffic().Statistics().Taken());
    const int all = model->rowCount();

    // The statistics name the failing card: no answer, only time-outs and the late answers of
    // the flaky card that came in its turn.
    monitor->RefreshStatistics();
    int silentRow = -1;
    for (int row = 0; row < monitor->tblStatistik->rowCount(); ++row)
      if (monitor->tblStatistik->item(row, 1)->text() == "$41") silentRow = row;
    QVERIFY(silentRow >= 0);
    auto cell = [&](int column) { return monitor->tblStatistik->item(silentRow, column)->text(); };
    QCOMPARE(cell(5), QString("0"));
    QVERIFY(cell(6).toInt() > 0);
    QCOMPARE(cell(6).toInt() + cell(7).toInt() + cell(8).toInt(), cell(4).toInt());
    QVERIFY(monitor->lblInterfaces->text().contains("IFC(0): "));

    // Filters: the module, only faults, hide polls, free text.
    auto columnTexts = [&](int column) {
      QStringList texts;
      for (int row = 0; row < model->rowCount(); ++row)
        texts << model->data(model->index(row, column)).toString();
      texts.removeDuplicates();
      return texts;
    };
    monitor->cboModul->setCurrentIndex(monitor->cboModul->findData(0x41));
    QVERIFY(model->rowCount() > 0);
    QCOMPARE(columnTexts(TBusMonitorModel::colAdr), QStringList{"$41"});
    QVERIFY(columnTexts(TBusMonitorModel::colAnswer).contains("TimeOut"));
    QVERIFY(!columnTexts(TBusMonitorModel::colOutcome).contains("OK"));
    const int silentRows = model->rowCount();
    monitor->cboModul->setCurrentIndex(0);
    monitor->chbNurFehler->setChecked(true);
    QVERIFY(model->rowCount() >= silentRows);
    QVERIFY(!columnTexts(TBusMonitorModel::colOutcome).contains("OK"));
    monitor->chbNurFehler->setChecked(false);
    monitor->chbPollsAus->setChecked(true);
    QVERIFY(model->rowCount() > 0);
    QCOMPARE(columnTexts(TBusMonitorModel::colKind), QStringList{"einmalig"});
    monitor->chbPollsAus->setChecked(false);
    monitor->edSuche->setText("#1e2");
    QVERIFY(model->rowCount() > 0);
    QCOMPARE(columnTexts(TBusMonitorModel::colAdr), QStringList{"$1E"});
    monitor->edSuche->clear();
    QCOMPARE(model->rowCount(), all);

    // CSV: the header, then every row shown, ';'-separated.
    monitor->cboModul->setCurrentIndex(monitor->cboModul->findData(0x41));
    const QString file = Dir->filePath("verkehr.csv");
    QVERIFY(monitor->SaveCsv(file.toStdString()));
    QFile csv(file);
    QVERIFY(csv.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(csv.readAll()).split("\r\n", Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), silentRows + 1);
    QCOMPARE(lines[0],
             QString("time;ifc;address;class;command;resync;answer;outcome;answer_us;kind"));
    for (int i = 1; i < lines.size(); ++i) {
      const QStringList fields = lines[i].split(';');
      QCOMPARE(fields.size(), 10);
      QCOMPARE(fields[2], QString("$41"));
      QVERIFY(fields[7] != "answered");
    }
    QVERIFY(monitor->lblStatus->text().contains("gespeichert"));
    QVERIFY(!monitor->SaveCsv(Dir->filePath("no/such/folder/x.csv").toStdString()));

    // Statistics reset: the figures start again, in the monitor and in the tree, also when the
    // tree had already shown every record and no interface is connected any more.
    w->RefreshHealth();
    QVERIFY(!NodeAt(*w, 0x41)->text(7).isEmpty());
    monitor->btnStatistikReset->click();
    QCOMPARE(monitor->tblStatistik->rowCount(), 0);
    QVERIFY(!w->Traffic().Statistics().Module(0, 0x41));
    w->RefreshHealth();
    QCOMPARE(NodeAt(*w, 0x41)->text(7), QString());
    // Clearing empties the table and the recording.
    monitor->btnLeeren->click();
    QCOMPARE(model->rowCount(), 0);
    QCOMPARE(w->Traffic().Ring().Size(), 0u);
  }

  void ModuleFilterFollowsTheListWhenItsModuleGoes() {
    // No bus: the records go straight into the window's traffic.
    TModulsList list;
    TRS485IFC* ifc = list.AddIFC("TRS485IFC")->IFC;
    TBaseModul* gone = list.AddModul("TMXB01", ifc, 0x05)->Modul;
    list.AddModul("TMXB01", ifc, 0x06);
    TBusTraffic traffic(
        [&list](int32_t number, int address) { return ModuleClassAt(list, number, address); });
    TfrmBusMonitor monitor(traffic, list, nullptr);
    auto poll = [&](int address) {
      TExchangeRecord r;
      r.Command = "?" + IntToHexText(address, 2) + "200000";
      r.Answer = "#" + IntToHexText(address, 2) + "200000\r\n";
      r.Outcome = ClassifyAnswer(r.Command, r.Answer);
      r.Poll = true;
      r.WrittenMs = WallClockMs();
      traffic.Add({r});
    };
    poll(0x05);
    poll(0x06);
    monitor.Refresh();
    monitor.cboModul->setCurrentIndex(monitor.cboModul->findData(0x05));
    QCOMPARE(monitor.Model()->rowCount(), 1);

    // The module is removed: its entry leaves the list, which shows "alle" again, and so must
    // the table.
    list.RemoveItem(list.ItemOfModul(gone));
    monitor.Refresh();
    monitor.Refresh();
    QCOMPARE(monitor.cboModul->currentData().toInt(), -1);
    poll(0x06);
    monitor.Refresh();
    QCOMPARE(monitor.Model()->rowCount(), 3);

    // A card moved to another address, or named, in the time between two looks at the model:
    // as many items as before, but the list shows the card as it is now.
    TBaseModul* moved = dynamic_cast<TBaseModul*>(ifc->Item(0));
    moved->SetAdresse(0x07);
    moved->Bezeichnung = "Weichen Ost";
    monitor.Refresh();
    monitor.Refresh();
    QCOMPARE(monitor.cboModul->findData(0x06), -1);
    const int entry = monitor.cboModul->findData(0x07);
    QVERIFY(entry > 0);
    QVERIFY(monitor.cboModul->itemText(entry).contains("Weichen Ost"));
  }

  // The figures are kept by interface number and address. Removing an interface numbers the
  // others anew, removing a module frees its address, loading a model brings other cards: no
  // card may then show figures measured on another.
  void HealthFiguresStayWithTheirCards() {
    auto w = std::make_unique<TfrmVelmoraConfig>(Dir->path().toStdString() + "/Modell1");
    SetNoticeHandler([](const std::string&) {});
    w->FormActivate();
    w->NewIFC();
    w->NewIFC();
    TModulsList& list = w->ModulsList();
    QCOMPARE(list.IFCCount(), 3);
    for (int i = 0; i < 3; ++i) {
      list.AddModul("TMXB01", list.IFCByIndex(i), 0x1E);
      // Interface i's card missed i + 1 answers.
      for (int n = 0; n <= i; ++n) {
        TExchangeRecord r;
        r.IfcNumber = i;
        r.Command = "?1E200000";
        r.Outcome = TExchangeOutcome::TimedOut;
        r.WrittenMs = WallClockMs();
        w->Traffic().Add({r});
      }
    }
    w->RebuildTree();
    auto faultsShown = [&](int ifcIndex) {
      w->RefreshHealth();
      TRS485IFC* ifc = list.IFCByIndex(ifcIndex);
      auto* modul = dynamic_cast<TBaseModul*>(ifc->Item(ifc->FindModule(0x1E)));
      QTreeWidgetItem* node = FindTreeNode(w->VSTModuls, list.ItemOfModul(modul));
      return node ? node->text(7) : QString("no row");
    };
    QCOMPARE(faultsShown(0), QString("1"));
    QCOMPARE(faultsShown(2), QString("3"));

    w->SelectItem(list.IFCItem(0));
    w->RemoveSelected();
    QCOMPARE(list.IFCCount(), 2);
    QCOMPARE(faultsShown(0), QString("2"));
    QCOMPARE(faultsShown(1), QString("3"));
    QCOMPARE(FindTreeNode(w->VSTModuls, list.IFCItem(1))->text(7), QString("3"));

    // A card put where a removed one was starts without its figures.
    TRS485IFC* first = list.IFCByIndex(0);
    w->SelectItem(list.ItemOfModul(dynamic_cast<TBaseModul*>(first->Item(0))));
    w->RemoveSelected();
    list.AddModul("TMXB02", first, 0x1E);
    w->RebuildTree();
    QCOMPARE(faultsShown(0), QString());
    QCOMPARE(faultsShown(1), QString("3"));

    const std::string file = Dir->filePath("andere.ini").toStdString();
    WriteFileAtomically(file,
                        "[Settings_IFK0]\r\nClassName=TSer485BusIFC\r\nCom=SIM\r\nBaud=19200\r\n"
                        "ModulCount=1\r\nIFCNr=1\r\nEnabled=-1\r\n\r\n"
                        "[Modul_1_0]\r\nAdresse=$1E\r\nClassName=TMXB01\r\nIFCNr=1\r\n");
    w->QuestionBox = [](const std::string&, bool) { return TfrmVelmoraConfig::anNein; };
    w->LoadModell(file);
    QCOMPARE(list.IFCCount(), 1);
    QCOMPARE(list.IFCByIndex(0)->IfcNumber(), 1);
    QCOMPARE(faultsShown(0), QString());
  }

  void SavedCountIsTheRowsWrittenWhenPausedRowsLeftTheRecording() {
    TModulsList list;
    TBusTraffic traffic({}, 3);
    TfrmBusMonitor monitor(traffic, list, nullptr);
    auto poll = [&](int n) {
      TExchangeRecord r;
      r.Command = "?1E20000" + std::to_string(n);
      r.Answer = "#1E200000\r\n";
      r.Outcome = ClassifyAnswer(r.Command, r.Answer);
      r.WrittenMs = WallClockMs();
      traffic.Add({r});
    };
    for (int n = 0; n < 3; ++n)
      poll(n);
    monitor.Refresh();
    monitor.SetPaused(true);
    // Two more push the two oldest rows out of the recording while the table stands still.
    poll(3);
    poll(4);
    const QString file = Dir->filePath("verkehr.csv");
    QVERIFY(monitor.SaveCsv(file.toStdString()));
    QFile csv(file);
    QVERIFY(csv.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(csv.readAll()).split("\r\n", Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2);
    QVERIFY(lines[1].contains("?1E200002"));
    QVERIFY2(monitor.lblStatus->text().contains("1 Zeilen gespeichert"),
             qPrintable(monitor.lblStatus->text()));
  }

  void MonitorIsNamedAndReachableByKeyboard() {
    auto w = MakeConnectedWindow();
    w->tbtnBusmonitor->trigger();
    TfrmBusMonitor* monitor = w->BusMonitor();
    QVERIFY(monitor);
    QCOMPARE(w->mnuBusmonitor1->text(), QString("Busmonitor…"));
    QVERIFY(w->ToolBar1->actions().contains(w->tbtnBusmonitor));
    const QList<QWidget*> controls = {
        monitor->cboIFC,       monitor->cboModul,     monitor->chbPollsAus,
        monitor->chbNurFehler, monitor->edSuche,      monitor->btnPause,
        monitor->btnLeeren,    monitor->btnSpeichern, monitor->btnStatistikReset,
        monitor->tblStatistik, monitor->tblVerkehr,   monitor->lblInterfaces,
        monitor->lblStatus,    monitor->splMonitor};
    for (QWidget* control : controls) {
      QVERIFY(!control->objectName().isEmpty());
      QVERIFY2(!control->accessibleName().isEmpty(), qPrintable(control->objectName()));
    }
    for (const QWidget* child : monitor->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
      QVERIFY2(!child->objectName().isEmpty(), child->metaObject()->className());
    for (QWidget* control : controls.mid(0, 11))
      QVERIFY2(control->focusPolicy() & Qt::TabFocus, qPrintable(control->objectName()));
    // Let the table fill, then keep a picture of the window.
    QTRY_VERIFY_WITH_TIMEOUT(monitor->Model()->rowCount() >= 30, 10000);
    QTest::qWait(2 * TfrmBusMonitor::kRefreshMs);
    monitor->resize(1000, 640);
    QVERIFY(QTest::qWaitForWindowExposed(monitor));
    monitor->RefreshStatistics();
    SavePicture(*monitor, "bus_monitor.png");
  }
};

QTEST_MAIN(BusMonitorTest)
#include "bus_monitor_test.moc"
