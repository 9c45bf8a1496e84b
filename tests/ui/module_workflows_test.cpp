#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <memory>

#include "bus/bus_interface.h"
#include "bus/serial_factory.h"
#include "model/moduls_list.h"
#include "model/workflow_guard.h"
#include "modules/base_modul.h"
#include "sim/sim_bus.h"
#include "sim/sim_serial_line.h"
#include "support/conversions.h"
#include "support/main_thread.h"
#include "support/message_sink.h"
#include "ui/controls/tree_helpers.h"
#include "ui/main_window.h"

class ModuleWorkflowsTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<QTemporaryDir> Dir;
  std::unique_ptr<TSimBus> Bus;
  std::vector<std::string> Notices;
  std::vector<std::string> Prompts;

  std::unique_ptr<TfrmVelmoraConfig> MakeWindow() {
    auto window = std::make_unique<TfrmVelmoraConfig>(Dir->path().toStdString() + "/Modell1");
    // Unsaved changes are given up without a modal box in the way.
    window->QuestionBox = [](const std::string&, bool) { return TfrmVelmoraConfig::anNein; };
    SetNoticeHandler([this](const std::string& text) { Notices.push_back(text); });
    window->FormActivate();
    Notices.clear();
    return window;
  }

  // The input box answers `answer` (nothing: cancelled) and remembers what it was asked.
  void Answer(TfrmVelmoraConfig& w, std::optional<std::string> answer) {
    w.InputBox = [this, answer](const std::string& caption, const std::string& prompt,
                                const std::string& preset) {
      Prompts.push_back(caption + "|" + prompt + "|" + preset);
      return answer;
    };
  }

  // Connects the selected interface to the simulated bus, fast enough for a full search.
  void ConnectToSim(TfrmVelmoraConfig& w) {
    w.cboPort->setCurrentIndex(w.cboPort->findText("SIM"));
    w.cboBaud->setCurrentIndex(1);
    w.ConnectIFC(true);
    QVERIFY(w.SelectedIFC()->Active());
    w.SelectedIFC()->SetTimeout(20);
  }

  TModulsItem* AddModule(TfrmVelmoraConfig& w, const std::string& text) {
    Answer(w, text);
    w.mnuModulAddClick();
    TRS485IFC* ifc = w.SelectedIFC();
    return ifc && ifc->Count() > 0
               ? w.ModulsList().ItemOfModul(dynamic_cast<TBaseModul*>(ifc->Item(ifc->Count() - 1)))
               : nullptr;
  }

  QStringList Rows(TfrmVelmoraConfig& w, int ifcRow = 0) {
    QStringList rows;
    QTreeWidgetItem* root = w.VSTModuls->topLevelItem(ifcRow);
    for (int i = 0; root && i < root->childCount(); ++i)
      rows << root->child(i)->text(2) + " " + root->child(i)->text(0) + " " +
                  root->child(i)->text(3);
    return rows;
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
    Notices.clear();
    Prompts.clear();
  }

  void SearchTakesInTheFiveCardsOnce() {
    auto w = MakeWindow();
    TRS485IFC* ifc = w->SelectedIFC();
    // Without a connection nothing happens.
    w->SearchModules();
    QVERIFY(w->Memo1->toPlainText().isEmpty());
    ConnectToSim(*w);

    // While the search waits, the window stays usable; a second search or a removal on the same
    // interface is refused.
    bool tried = false;
    QTimer::singleShot(300, w.get(), [&] {
      tried = true;
      w->SearchModules();
      w->RemoveSelected();
    });
    w->SearchModules();
    QVERIFY(tried);
    QCOMPARE(w->Memo1->toPlainText().count("IFC(0) ist beschäftigt: Modulsuche läuft noch. "), 2);
    QCOMPARE(w->ModulsList().IFCCount(), 1);

    const QStringList five = {"$1E TMXB01 MXB01.2.1", "$20 THDX01 HDX01.1.3",
                              "$32 TMXB02 MXB02.1.5", "$40 TRS485Dummy LSX04.3.0",
                              "$7F TIFCPorts IFC485PX8.1.0"};
    QCOMPARE(Rows(*w), five);
    QCOMPARE(ifc->Count(), 5);
    QCOMPARE(w->Memo2->toPlainText(), QString("#1E01[MXB01.2.1]\n#2001[HDX01.1.3]\n"
                                              "#3201[MXB02.1.5]\n#4001[LSX04.3.0]\n"
                                              "#7F01[IFC485PX8.1.0]"));
    QVERIFY(w->Memo1->toPlainText().split('\n').contains("Suche Module......."));
    QCOMPARE(w->SearchAnswers.back(), std::string("End of Modulsuche"));
    QVERIFY(w->StatusPanel[0]->text().isEmpty());
    QVERIFY(w->StatusPanel[1]->text().isEmpty());
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    // Found modules are not live; the interface stays selected.
    for (int i = 0; i < ifc->Count(); ++i)
      QVERIFY(!dynamic_cast<TBaseModul*>(ifc->Item(i))->Aktiv);
    QCOMPARE(w->SelectedIFC(), ifc);

    w->SearchModules();
    QCOMPARE(Rows(*w), five);
    QCOMPARE(ifc->Count(), 5);
  }

  void QuickSearchShowsTheAddressOnTheLineAndCancels() {
    auto w = MakeWindow();
    TRS485IFC* ifc = w->SelectedIFC();
    ConnectToSim(*w);
    const QList<QAction*> moduleMenu = w->findChild<QMenu*>("mnuModule1")->actions();
    QCOMPARE(moduleMenu.indexOf(w->mnuSchnellsuche1), moduleMenu.indexOf(w->ModuleSuchen1) + 1);
    QCOMPARE(w->mnuSchnellsuche1->text(), QString("Schnellsuche"));
    QVERIFY(w->ToolBar1->actions().contains(w->tbtnSchnellsuche));
    QVERIFY(!w->prbSuche->isVisible());

    // What the status bar shows while the search runs.
    std::vector<int> seen;
    bool pictured = false;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, w.get(), [&] {
      if (!w->prbSuche->isVisibleTo(w.get())) return;
      QCOMPARE(w->StatusPanel[1]->text(), QString("Suche Module......."));
      if (w->prbSuche->text().isEmpty()) return;  // nothing on the line yet
      seen.push_back(w->prbSuche->value());
      QCOMPARE(w->prbSuche->text(),
               QString::fromStdString("$" + IntToHexText(w->prbSuche->value(), 2)));
      QCOMPARE(w->StatusPanel[0]->text(), w->prbSuche->text());
      // With KAVOR_WINDOW_PICTURES set, the window in the middle of the search as a picture.
      const QString folder = qEnvironmentVariable("KAVOR_WINDOW_PICTURES");
      if (!folder.isEmpty() && !pictured && w->prbSuche->value() >= 0x50) {
        pictured = true;
        QDir().mkpath(folder);
        QVERIFY(w->grab().save(QDir(folder).filePath("main_window_quick_search.png")));
      }
    });
    sampler.start(5);
    w->tbtnSchnellsuche->trigger();
    sampler.stop();
    QCOMPARE(Rows(*w),
             (QStringList{"$1E TMXB01 MXB01.2.1", "$20 THDX01 HDX01.1.3", "$32 TMXB02 MXB02.1.5",
                          "$40 TRS485Dummy LSX04.3.0", "$7F TIFCPorts IFC485PX8.1.0"}));
    QVERIFY(!w->prbSuche->isVisibleTo(w.get()));
    QVERIFY(w->StatusPanel[1]->text().isEmpty());
    const QString log = w->Memo1->toPlainText();
    QCOMPARE(log.count("Modulsuche IFC(0): 251 Adressen ohne Antwort"), 1);
    QVERIFY(!log.contains("TimeOut"));
    // The bar followed the line from the first addresses to the last, never backwards.
    QVERIFY(seen.size() > 10);
    QVERIFY(std::is_sorted(seen.begin(), seen.end()));
    QVERIFY(seen.front() < 0x40);
    QVERIFY(seen.back() > 0xC0);

    // Calling a search off leaves its queries unsent and takes nothing in.
    while (ifc->Count() > 0)
      w->ModulsList().RemoveItem(
          w->ModulsList().ItemOfModul(dynamic_cast<TBaseModul*>(ifc->Item(0))));
    w->RebuildTree();
    ConnectToSim(*w);
    QTimer::singleShot(100, w.get(), [&] {
      QVERIFY(w->btnSucheAbbrechen->isVisibleTo(w.get()));
      QTest::mouseClick(w->btnSucheAbbrechen, Qt::LeftButton);
    });
    w->tbtnSchnellsuche->trigger();
    QCOMPARE(ifc->Count(), 0);
    QVERIFY(!w->prbSuche->isVisibleTo(w.get()));
    QVERIFY(!w->btnSucheAbbrechen->isVisibleTo(w.get()));
    QCOMPARE(w->Memo1->toPlainText().count("Modulsuche IFC(0) abgebrochen, keine Module "
                                           "übernommen. "),
             1);
    QVERIFY(ifc->BusMaster().WaitQueueEmpty(std::chrono::seconds(2)));
    QCOMPARE(QApplication::overrideCursor(), nullptr);
  }

  // The window is closed while a search waits for answers; while it shuts down, its cancel
  // button is still to be seen and the user clicks it. The interface is gone by the time the
  // search ends.
  void CancelClickedWhileTheWindowClosesDuringASearch() {
    auto w = MakeWindow();
    ConnectToSim(*w);
    bool closed = false;
    bool shown = false;
    QTimer::singleShot(200, w.get(), [&] {
      QTimer::singleShot(20, w.get(), [&] {
        shown = w->btnSucheAbbrechen->isVisibleTo(w.get());
        QTest::mouseClick(w->btnSucheAbbrechen, Qt::LeftButton);
      });
      closed = w->close();
    });
    w->tbtnSuchen->trigger();
    QVERIFY(closed);
    QVERIFY(shown);
    QCOMPARE(w->ModulsList().IFCCount(), 0);
    // Nothing is reported of an interface that is no more.
    QVERIFY(!w->Memo1->toPlainText().contains("Modulsuche IFC("));
    QCOMPARE(QApplication::overrideCursor(), nullptr);
  }

  // A search started on a second interface while the first one's search waits runs inside it;
  // once it is over, the first one must still show its progress and be cancellable (or the
  // second must be refused).
  void FirstSearchStaysCancellableAfterASecondInterfaceSearched() {
    TSimBus second;
    second.AddDefaultCards();
    RegisterSerialLine("SIM2", "Zweiter simulierter Bus",
                       [&second] { return MakeSimSerialLine(second); });
    auto w = MakeWindow();
    TRS485IFC* first = w->SelectedIFC();
    ConnectToSim(*w);
    first->SetTimeout(40);  // so that the first search outlasts the second
    w->NewIFC();
    TRS485IFC* other = w->SelectedIFC();
    QVERIFY(other && other != first);
    w->cboPort->setCurrentIndex(w->cboPort->findText("SIM2"));
    w->cboBaud->setCurrentIndex(1);
    w->ConnectIFC(true);
    QVERIFY(other->Active());
    other->SetTimeout(20);

    bool secondOver = false;
    bool firstStillRunning = false;
    bool cancelOffered = false;
    QTimer::singleShot(300, w.get(), [&] {
      w->SelectItem(w->ModulsList().ItemOfIFC(other));
      w->tbtnSchnellsuche->trigger();
      secondOver = true;
      firstStillRunning = TWorkflowGuard::IsBusy(first);
      cancelOffered = w->prbSuche->isVisibleTo(w.get()) &&
                      w->btnSucheAbbrechen->isVisibleTo(w.get()) &&
                      w->btnSucheAbbrechen->isEnabled();
      QTest::mouseClick(w->btnSucheAbbrechen, Qt::LeftButton);
    });
    w->SelectItem(w->ModulsList().ItemOfIFC(first));
    w->tbtnSuchen->trigger();
    UnregisterSerialLine("SIM2");
    QVERIFY(secondOver);
    QVERIFY(firstStillRunning);
    QVERIFY(cancelOffered);
    // The click reached the first search: nothing taken in there.
    QCOMPARE(first->Count(), 0);
    QVERIFY(!w->prbSuche->isVisibleTo(w.get()));
    w->ConnectIFC(false);
    w->SelectItem(w->ModulsList().ItemOfIFC(first));
    w->ConnectIFC(false);
  }

  void RemovalSelectsWhatRemains() {
    auto w = MakeWindow();
    // The only interface: a new, empty one takes its place.
    w->tbtnModulDELClick();
    QCOMPARE(w->ModulsList().IFCCount(), 1);
    QCOMPARE(w->SelectedItem(), w->ModulsList().IFCItem(0));
    QCOMPARE(w->SelectedIFC()->IfcNumber(), 0);
    QCOMPARE(w->VSTModuls->topLevelItemCount(), 1);

    // A module of interface 0 while interfaces 0 and 1 exist.
    TRS485IFC* first = w->SelectedIFC();
    TModulsItem* modul = AddModule(*w, "TMXB01,$31");
    QVERIFY(modul);
    ConnectToSim(*w);
    w->NewIFC();
    TRS485IFC* second = w->SelectedIFC();
    QCOMPARE(second->IfcNumber(), 1);
    w->SelectItem(modul);
    w->tbtnModulDELClick();
    QVERIFY(!first->Active());
    QCOMPARE(first->Count(), 0);
    QCOMPARE(w->SelectedIFC(), second);
    QCOMPARE(w->lblIFC->text(), QString("IFC(1) "));

    // Interface 0 goes: the other one is renumbered and selected.
    w->SelectItem(w->ModulsList().IFCItem(0));
    w->tbtnModulDELClick();
    QCOMPARE(w->ModulsList().IFCCount(), 1);
    QCOMPARE(w->SelectedIFC(), second);
    QCOMPARE(second->IfcNumber(), 0);
    QCOMPARE(w->VSTModuls->topLevelItem(0)->text(0), QString("IFC(0) "));
  }

  void AddressChangeMovesTheCard() {
    auto w = MakeWindow();
    ConnectToSim(*w);
    TModulsItem* item = AddModule(*w, "TMXB01,$1E");
    QVERIFY(item);
    TBaseModul* modul = item->Modul;
    modul->SetAktiv(true);
    w->SelectItem(item);
    Answer(*w, "$21");
    w->popModulAdrAendClick();
    QCOMPARE(Prompts.back(),
             std::string("Moduladresse ändern|Moduladresse = $1E neue ModulAdresse:|$1E"));
    QCOMPARE(modul->Adresse, 0x21);
    QVERIFY(!modul->Aktiv);
    QVERIFY(!modul->Polling);
    QVERIFY(w->Memo1->toPlainText().contains("OK, Adresse geändert. "));
    QCOMPARE(FindTreeNode(w->VSTModuls, item)->text(2), QString("$21"));
    QVERIFY(Bus->FindCard(0x21) != nullptr);
    QVERIFY(Bus->FindCard(0x1E) == nullptr);
    QVERIFY(w->StatusPanel[1]->text().startsWith("!1E02"));
  }

  void UnconfirmedChangeIsLogged() {
    auto w = MakeWindow();
    ConnectToSim(*w);
    TModulsItem* item = AddModule(*w, "TMXB01,$55");
    item->Modul->SetAktiv(true);
    w->SelectItem(item);
    Answer(*w, "86");
    w->ChangeModulAdresse();
    QCOMPARE(item->Modul->Adresse, 86);
    QVERIFY(!item->Modul->Aktiv);
    const QString log = w->Memo1->toPlainText();
    QVERIFY(!log.contains("OK, Adresse geändert. "));
    QCOMPARE(log.count("Adressänderung $55 -> $56 nicht bestätigt"), 1);
  }

  void AddressChangeRefusals() {
    auto w = MakeWindow();
    TModulsItem* item = AddModule(*w, "TMXB01,$1E");
    TBaseModul* modul = item->Modul;
    w->SelectItem(item);
    Answer(*w, "$21");
    Prompts.clear();
    // Interface not connected.
    w->ChangeModulAdresse();
    QCOMPARE(Notices, std::vector<std::string>{
                          "Zum Ändern der Moduladresse muß das Interface und das Modul aktiviert "
                          "sein."});
    QVERIFY(Prompts.empty());
    ConnectToSim(*w);
    w->SelectItem(item);
    // Module not live.
    w->ChangeModulAdresse();
    QCOMPARE(Notices.size(), 2u);

    // Input refused or box cancelled: nothing goes on the bus, polling stays off.
    modul->SetAktiv(true);
    const std::optional<std::string> answers[] = {"0", "256", "", "abc", std::nullopt};
    for (const auto& answer : answers) {
      modul->SetPolling(true);
      Answer(*w, answer);
      w->ChangeModulAdresse();
      QCOMPARE(modul->Adresse, 0x1E);
      QVERIFY(modul->Aktiv);
      QVERIFY(!modul->Polling);
    }
    QVERIFY(Bus->FindCard(0x1E) != nullptr);

    // Interface rows have no address.
    w->SelectItem(w->ModulsList().IFCItem(0));
    const std::size_t asked = Prompts.size();
    w->ChangeModulAdresse();
    QCOMPARE(Prompts.size(), asked);
  }

  void DeveloperAdditions() {
    auto w = MakeWindow();
    TRS485IFC* ifc = w->SelectedIFC();
    Answer(*w, std::nullopt);
    w->mnuModulAddClick();
    QCOMPARE(ifc->Count(), 0);
    QCOMPARE(Prompts.back(),
             std::string("Neues Modul|ClassName,Adresse (THDX01,TMXB01,TMXB02,TIFCPorts,TDummy)|"
                         "TMXB02,$36"));
    struct {
      const char* Answer;
      int Count;
    } cases[] = {{"TMXB02,$36", 1}, {" tdummy , 7 ", 2}, {"xyz,5", 2},
                 {"TMXB01,$36", 2}, {"TMXB01,300", 2},   {"", 2}};
    for (const auto& c : cases) {
      Answer(*w, std::string(c.Answer));
      w->mnuModulAddClick();
      QCOMPARE(ifc->Count(), c.Count);
    }
    QVERIFY(w->Memo1->toPlainText().contains("TfrmVelmoraConfig.mnuModulAddClick: "));
    QCOMPARE(Rows(*w), (QStringList{"$36 TMXB02 ", "$07 TRS485Dummy "}));

    w->btnTestClick();
    QCOMPARE(Rows(*w), (QStringList{"$36 TMXB02 ", "$07 TRS485Dummy ", "$01 TIFCPorts ",
                                    "$21 THDX01 ", "$31 TMXB01 ", "$32 TMXB02 "}));
  }
};

QTEST_MAIN(ModuleWorkflowsTest)
#include "module_workflows_test.moc"
