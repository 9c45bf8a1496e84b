#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <algorithm>
#include <memory>

#include "bus/bus_interface.h"
#include "bus/serial_factory.h"
#include "fakes/fake_serial_line.h"
#include "model/ini_file.h"
#include "model/moduls_list.h"
#include "modules/base_modul.h"
#include "sim/sim_bus.h"
#include "sim/sim_serial_line.h"
#include "support/main_thread.h"
#include "support/message_sink.h"
#include "support/paths.h"
#include "ui/controls/tree_helpers.h"
#include "ui/main_window.h"

namespace {

QString LastLine(const QPlainTextEdit* memo) {
  const QStringList lines = memo->toPlainText().split('\n');
  return lines.isEmpty() ? QString() : lines.last();
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<QTemporaryDir> Dir;
  std::unique_ptr<TSimBus> Bus;
  std::vector<std::string> Notices;

  std::string ModelDir() const { return Dir->path().toStdString() + "/Modell1"; }

  // A window on the temporary model folder, its notices recorded instead of shown.
  std::unique_ptr<TfrmVelmoraConfig> MakeWindow(bool activate = true) {
    auto window = std::make_unique<TfrmVelmoraConfig>(ModelDir());
    // Unsaved changes are given up without a modal box in the way.
    window->QuestionBox = [](const std::string&, bool) { return TfrmVelmoraConfig::anNein; };
    SetNoticeHandler([this](const std::string& text) { Notices.push_back(text); });
    if (activate) window->FormActivate();
    return window;
  }

  QTreeWidgetItem* NodeOf(TfrmVelmoraConfig& w, const TModulsItem* item) {
    return FindTreeNode(w.VSTModuls, item);
  }

  void PickPort(TfrmVelmoraConfig& w, const QString& port) {
    const int index = w.cboPort->findText(port);
    QVERIFY(index > 0);
    w.cboPort->setCurrentIndex(index);
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
  }

  void FirstStartCreatesTheDefaultModelWithOneInterface() {
    auto w = MakeWindow();
    const std::string file = ModelDir() + "/Modell1.INI";
    QVERIFY(FileExists(file));
    TIniFile ini;
    QVERIFY(ini.LoadFromFile(file));
    QCOMPARE(ini.Sections(), (std::vector<std::string>{"", "Modell"}));
    QCOMPARE(ini.ReadString("Modell", "Caption", "?"), std::string("Modell1"));

    QCOMPARE(w->windowTitle(), QString(TfrmVelmoraConfig::kCaption));
    QCOMPARE(w->ModulsList().IFCCount(), 1);
    TRS485IFC* ifc = w->ModulsList().IFCByIndex(0);
    QCOMPARE(ifc->IfcNumber(), 0);
    QCOMPARE(ifc->Bezeichnung,
             std::string("Virtuelles Interface, Class Busmaster= TSer485BusMaster"));
    QCOMPARE(w->SelectedIFC(), ifc);
    QCOMPARE(w->VSTModuls->topLevelItemCount(), 1);
    QCOMPARE(w->VSTModuls->topLevelItem(0)->text(0), QString("IFC(0) "));
    QCOMPARE(w->lblIFC->text(), QString("IFC(0) "));

    // The port list: "-KEIN-", the real ports, then the simulated bus.
    QCOMPARE(w->cboPort->itemText(0), QString("-KEIN-"));
    QCOMPARE(w->cboPort->itemText(w->cboPort->count() - 1), QString("SIM"));
    QCOMPARE(w->cboPort->currentIndex(), 0);
    QVERIFY(!w->chbConnect->isEnabled());
    const bool noRealPort = EnumRealComPorts().empty();
    QCOMPARE(Notices.size(), noRealPort ? 1u : 0u);
    if (noRealPort) QCOMPARE(Notices[0], std::string("kein Serielles Port vorhanden!"));

    QCOMPARE(w->StatusPanel[2]->text().toStdString(), ModelDir() + PathDelimiter() + "Modell1");
    QCOMPARE(w->edCaption->text(), QString("Modell1"));
    // Developer entries only in developer mode.
    QVERIFY(!w->mnuModulAdd->isVisible());
    QVERIFY(!w->btnTest->isVisible());
    // A later activation loads nothing again.
    w->FormActivate();
    QCOMPARE(w->ModulsList().IFCCount(), 1);
  }

  void SaveAndLoadRoundTrip() {
    const std::string file = Dir->path().toStdString() + "/Anlage.INI";
    {
      auto w = MakeWindow();
      w->edCaption->setText("Anlage West");
      w->edDescr->setText("Schattenbahnhof");
      PickPort(*w, "SIM");
      w->cboBaud->setCurrentIndex(1);
      w->btnTestClick();
      TRS485IFC* ifc = w->SelectedIFC();
      QCOMPARE(ifc->Port(), std::string("SIM"));
      QCOMPARE(ifc->Baud(), 19200u);
      QCOMPARE(ifc->Count(), 4);  // the second module at 50 is refused
      TModulsItem* mxb = w->ModulsList().ItemOfModul(dynamic_cast<TBaseModul*>(ifc->Item(2)));
      NodeOf(*w, mxb)->setText(5, "Weichen West");
      QCOMPARE(mxb->Modul->Hinweis, std::string("Weichen West"));
      w->SaveModell(Dir->path().toStdString() + "/Anlage.txt");
      QCOMPARE(w->ModellName, std::string("Anlage"));
      QCOMPARE(w->StatusPanel[2]->text().toStdString(),
               Dir->path().toStdString() + PathDelimiter() + "Anlage");
    }
    QVERIFY(FileExists(file));
    auto w = MakeWindow();
    w->LoadModell(file);
    QCOMPARE(w->edCaption->text(), QString("Anlage West"));
    QCOMPARE(w->edDescr->text(), QString("Schattenbahnhof"));
    QCOMPARE(w->ModulsList().IFCCount(), 1);
    QTreeWidgetItem* root = w->VSTModuls->topLevelItem(0);
    QCOMPARE(root->childCount(), 4);
    const char* rows[4][3] = {{"TIFCPorts", "$01", ""},
                              {"THDX01", "$21", ""},
                              {"TMXB01", "$31", "Weichen West"},
                              {"TMXB02", "$32", ""}};
    for (int i = 0; i < 4; ++i) {
      QCOMPARE(root->child(i)->text(0), QString(rows[i][0]));
      QCOMPARE(root->child(i)->text(2), QString(rows[i][1]));
      QCOMPARE(root->child(i)->text(5), QString(rows[i][2]));
      // Loaded modules are live.
      QCOMPARE(w->VSTModulsGetImageIndex(root->child(i), ikState, 0), 2);
    }
    QCOMPARE(w->SelectedIFC(), w->ModulsList().IFCByIndex(0));
    QCOMPARE(w->cboPort->currentText(), QString("SIM"));
    QCOMPARE(w->cboBaud->currentText(), QString("19200"));
    // A name that does not exist changes nothing.
    w->LoadModell(Dir->path().toStdString() + "/Fehlt.INI");
    QCOMPARE(w->ModellName, std::string("Anlage"));
    QCOMPARE(w->VSTModuls->topLevelItem(0)->childCount(), 4);
  }

  void ModuleWindowsFollowTheModel() {
    auto w = MakeWindow();
    w->btnTestClick();
    TRS485IFC* ifc = w->SelectedIFC();
    QCOMPARE(ifc->Count(), 4);
    const char* classes[4] = {"TfrmIFC485", "TfrmHDX01", "TfrmMXB01", "TfrmMXB02"};
    std::vector<TModulsItem*> items;
    for (int i = 0; i < 4; ++i) {
      TModulsItem* item = w->ModulsList().ItemOfModul(dynamic_cast<TBaseModul*>(ifc->Item(i)));
      QVERIFY(item && item->Form);
      auto* form = dynamic_cast<QWidget*>(item->Form);
      QCOMPARE(form->metaObject()->className(), classes[i]);
      QVERIFY(!form->isVisible());
      QVERIFY(form->isWindow());
      items.push_back(item);
    }
    // A double-click on a module row opens its window; on the interface row it opens nothing.
    w->SelectItem(items[2]);
    w->VSTModulsDblClick();
    auto* mxb01 = dynamic_cast<QWidget*>(items[2]->Form);
    QVERIFY(mxb01->isVisible());
    mxb01->close();
    QVERIFY(!mxb01->isVisible());
    w->VSTModulsDblClick();
    QVERIFY2(mxb01->isVisible(), "closing only hides");
    // Removing the module closes its window for good.
    QPointer<QWidget> gone = mxb01;
    w->RemoveSelected();
    QVERIFY(gone.isNull() || !gone->isVisible());
    QCOMPARE(ifc->Count(), 3);
  }

  void TreeTextsImagesAndEditing() {
    auto w = MakeWindow();
    w->btnTestClick();
    w->InputBox = [](const std::string&, const std::string&, const std::string&) {
      return std::optional<std::string>("TDummy,$40");
    };
    w->mnuModulAddClick();
    TModulsList& list = w->ModulsList();
    TRS485IFC* ifc = list.IFCByIndex(0);
    ifc->Hinweis = "Keller";
    w->RefreshTree();
    QTreeWidgetItem* root = w->VSTModuls->topLevelItem(0);
    QCOMPARE(root->childCount(), 5);

    struct {
      const char* Text[6];
      int Image;
    } expected[] = {
        {{"IFC(0) ", "", "", "", "Virtuelles Interface, Class Busmaster= TSer485BusMaster",
          "Keller"},
         0},
        {{"TIFCPorts", "", "$01", "", "", ""}, 2},
        {{"THDX01", "", "$21", "", "", ""}, 3},
        {{"TMXB01", "", "$31", "", "", ""}, 4},
        {{"TMXB02", "", "$32", "", "", ""}, 4},
        {{"TRS485Dummy", "", "$40", "", "", ""}, 1},
    };
    std::vector<QTreeWidgetItem*> nodes{root};
    for (int i = 0; i < root->childCount(); ++i)
      nodes.push_back(root->child(i));
    for (std::size_t n = 0; n < nodes.size(); ++n) {
      for (int column = 0; column < 6; ++column)
        QCOMPARE(w->VSTModulsGetText(nodes[n], column), QString(expected[n].Text[column]));
      QCOMPARE(w->VSTModulsGetImageIndex(nodes[n], ikNormal, 0), expected[n].Image);
      QCOMPARE(w->VSTModulsGetImageIndex(nodes[n], ikSelected, 0), expected[n].Image);
      QCOMPARE(w->VSTModulsGetImageIndex(nodes[n], ikState, 0), 0);
      QCOMPARE(w->VSTModulsGetImageIndex(nodes[n], ikNormal, 1), -1);
      QVERIFY(!w->VSTModulsEditing(nodes[n], 4));
      QVERIFY(w->VSTModulsEditing(nodes[n], 5));
    }
    QCOMPARE(w->VSTModulsGetText(nullptr, 0), QString());
    QCOMPARE(w->VSTModulsGetImageIndex(nullptr, ikNormal, 0), -1);

    // State images follow the module's "Aktiv" and the interface's connection.
    auto* mxb = static_cast<TModulsItem*>(NodeObject(nodes[3]));
    mxb->Modul->SetAktiv(true);
    QCOMPARE(w->VSTModulsGetImageIndex(nodes[3], ikState, 0), 2);
    PickPort(*w, "SIM");
    w->ConnectIFC(true);
    QVERIFY(ifc->Active());
    QCOMPARE(w->VSTModulsGetImageIndex(root, ikState, 0), 2);
    w->Lock();
    QCOMPARE(w->VSTModulsGetImageIndex(root, ikState, 0), -1);
    w->Unlock();
    w->ConnectIFC(false);

    // Only the note column opens an editor; a new note lands in the model.
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    w->VSTModuls->editItem(nodes[3], 4);
    QVERIFY(w->VSTModuls->findChildren<QLineEdit*>().isEmpty());
    w->VSTModuls->editItem(nodes[3], 5);
    QCOMPARE(w->VSTModuls->findChildren<QLineEdit*>().size(), 1);
    nodes[3]->setText(5, "Bahnhof");
    QCOMPARE(mxb->Modul->Hinweis, std::string("Bahnhof"));
    root->setText(5, "Dachboden");
    QCOMPARE(ifc->Hinweis, std::string("Dachboden"));
    w->Lock();
    nodes[3]->setText(5, "locked");
    w->Unlock();
    QCOMPARE(mxb->Modul->Hinweis, std::string("Bahnhof"));

    // By keyboard: whole rows are selected, so no key moves to the note's column; the edit key
    // opens the note of the row, module or interface, and Enter takes it.
    for (std::size_t n : {std::size_t{3}, std::size_t{0}}) {
      w->VSTModuls->setFocus();
      w->VSTModuls->setCurrentItem(nodes[n], 0);
      QTest::keyClick(w->VSTModuls, Qt::Key_F2);
      auto* editor =
          qobject_cast<QLineEdit*>(w->VSTModuls->indexWidget(w->VSTModuls->currentIndex()));
      QVERIFY2(editor, "the edit key opens an editor");
      QCOMPARE(w->VSTModuls->currentColumn(), 5);
      editor->selectAll();
      QTest::keyClicks(editor, "Stellpult");
      QTest::keyClick(editor, Qt::Key_Return);
      // The view takes the text in its next event-loop pass.
      QCoreApplication::processEvents();
      QVERIFY(!w->VSTModuls->indexWidget(w->VSTModuls->currentIndex()));
    }
    QCOMPARE(mxb->Modul->Hinweis, std::string("Stellpult"));
    QCOMPARE(ifc->Hinweis, std::string("Stellpult"));
  }

  void InterfaceGroupRules() {
    auto w = MakeWindow();
    TRS485IFC* ifc = w->SelectedIFC();

    // Nothing selected: the boxes and the test line are off.
    w->VSTModuls->setCurrentItem(nullptr);
    QVERIFY(!w->grpInterface->isEnabled());
    for (QWidget* box : std::initializer_list<QWidget*>{w->cboBaud, w->cboPort, w->cboTimeOut,
                                                        w->cboPollPrior, w->edSenden, w->btnSenden})
      QVERIFY(!box->isEnabled());

    w->SelectItem(w->ModulsList().IFCItem(0));
    QVERIFY(w->grpInterface->isEnabled());
    QVERIFY(!w->chbConnect->isEnabled());  // "-KEIN-"
    PickPort(*w, "SIM");
    QVERIFY(w->chbConnect->isEnabled());
    QVERIFY(w->cboTimeOut->isEnabled());
    QVERIFY(!w->btnSenden->isEnabled());

    // Values outside the pick lists.
    ifc->SetTimeout(250);
    ifc->SetPollPriority(7);
    ifc->SetBaud(38400);
    w->ShowIFCData(ifc);
    QCOMPARE(w->cboTimeOut->currentText(), QString("200"));
    QCOMPARE(ifc->Timeout(), 200u);
    QCOMPARE(w->cboPollPrior->currentText(), QString("10"));
    QCOMPARE(ifc->PollPriority(), 10u);
    QCOMPARE(w->cboBaud->currentText(), QString("9600"));
    QCOMPARE(ifc->Baud(), 38400u);

    // Connecting applies the shown rate; the boxes lock, the test line opens.
    w->chbConnect->click();
    QVERIFY(ifc->Active());
    QCOMPARE(ifc->Baud(), 9600u);
    QVERIFY(w->chbConnect->isChecked());
    QVERIFY(!w->cboTimeOut->isEnabled());
    QVERIFY(w->btnSenden->isEnabled());

    // Any box change disconnects (the boxes are locked only in the window, not for the code).
    struct {
      QComboBox* Box;
      int Index;
    } changes[] = {{w->cboTimeOut, 4}, {w->cboPollPrior, 0}, {w->cboBaud, 1}};
    for (const auto& change : changes) {
      w->ConnectIFC(true);
      QVERIFY(ifc->Active());
      change.Box->setCurrentIndex(change.Index);
      QVERIFY2(!ifc->Active(), qPrintable(change.Box->objectName()));
      QVERIFY(!w->chbConnect->isChecked());
    }
    QCOMPARE(ifc->Timeout(), 500u);
    QCOMPARE(ifc->PollPriority(), 1u);
    QCOMPARE(ifc->Baud(), 19200u);

    // A typed device path is taken as the port and stays shown.
    w->cboPort->setEditText("/dev/ttyKAVOR9");
    emit w->cboPort->lineEdit()->editingFinished();
    QCOMPARE(ifc->Port(), std::string("/dev/ttyKAVOR9"));
    w->ShowIFCData(ifc);
    QCOMPARE(w->cboPort->currentText(), QString("/dev/ttyKAVOR9"));
    QVERIFY(w->chbConnect->isEnabled());
    // A port that cannot be opened leaves "Connect" unticked and says so in the log.
    w->chbConnect->click();
    QVERIFY(!ifc->Active());
    QVERIFY(!w->chbConnect->isChecked());
    QTRY_VERIFY(w->Memo1->toPlainText().contains("cannot open /dev/ttyKAVOR9"));
  }

  void TestLineAnswersLandInMemo2() {
    auto w = MakeWindow();
    PickPort(*w, "SIM");
    TRS485IFC* ifc = w->SelectedIFC();
    // Disconnected: nothing is sent, nothing shown.
    w->btnSendenClick();
    QTest::qWait(50);
    QVERIFY(w->Memo2->toPlainText().isEmpty());

    w->ConnectIFC(true);
    QVERIFY(ifc->Active());
    ifc->SetTimeout(50);
    w->edSenden->setText("?1E010000");
    w->btnSendenClick();
    QTRY_COMPARE(w->Memo2->toPlainText(), QString("?1E010000 --> #1E01[MXB01.2.1]"));
    w->edSenden->setText("?55010000");
    QTest::keyClick(w->edSenden, Qt::Key_Return);
    QTRY_COMPARE(LastLine(w->Memo2), QString("?55010000 --> "));
    // Every piece of received text shows in panel 1, without its line end.
    QVERIFY(w->StatusPanel[1]->text().isEmpty() || !w->StatusPanel[1]->text().contains('\r'));
    w->Button2Click();
    QVERIFY(w->Memo1->toPlainText().isEmpty());
    QVERIFY(w->Memo2->toPlainText().isEmpty());
  }

  void ReceivedTextShowsInTheStatusBarForLoadedInterfaces() {
    {
      auto w = MakeWindow();
      PickPort(*w, "SIM");
      w->SaveModell(ModelDir() + "/Modell1.INI");
    }
    auto w = MakeWindow();
    w->ConnectIFC(true);
    w->edSenden->setText("?20010000");
    w->btnSendenClick();
    QTRY_COMPARE(w->StatusPanel[1]->text(), QString("#2001[HDX01.1.3]"));
  }

  void LogLinesCarryDateAndTime() {
    auto w = MakeWindow();
    w->Button2Click();
    ReportMessage("Hallo Bus", 1);
    const QString line = LastLine(w->Memo1);
    QVERIFY2(line.endsWith("| Hallo Bus"), qPrintable(line));
    const QString today = QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat);
    QVERIFY2(line.startsWith(today + " "), qPrintable(line));
    QVERIFY(line.contains(':'));
    w->AddLogLine("ohne Zeit", 0);
    QCOMPARE(LastLine(w->Memo1), QString("ohne Zeit"));
  }

  void ConnectFollowsAVanishingPort() {
    TFakeBus fake(SystemClock());
    auto w = MakeWindow(false);
    w->ModulsList().OnInterfaceCreated = [&fake](TRS485IFC& ifc) {
      ifc.BusMaster().ComPort().SetLineCreator([&fake] { return fake.MakeLine(); });
    };
    w->FormActivate();
    w->cboPort->setEditText("/dev/ttyFAKE0");
    w->ConnectIFC(true);
    QVERIFY(w->chbConnect->isChecked());
    fake.Unplug();
    w->btnSendenClick();  // the next write finds the device gone
    QTRY_VERIFY(w->SelectedIFC()->BusMaster().WaitingForDevice());
    QVERIFY(!w->SelectedIFC()->Active());
    QVERIFY(w->cboTimeOut->isEnabled());
    // "Connect" stays ticked while the interface waits for its device; unticking ends the wait.
    QVERIFY(w->chbConnect->isChecked());
    w->chbConnect->click();
    QVERIFY(!w->chbConnect->isChecked());
    QVERIFY(!w->SelectedIFC()->BusMaster().WaitingForDevice());
  }

  void CloseEmptiesTheModelAndDestroyRestoresTheSink() {
    std::vector<std::string> before;
    TMessageHandlerScope outer(
        [&before](const std::string& text, uint8_t) { before.push_back(text); });
    auto w = MakeWindow();
    w->btnTestClick();
    ReportMessage("ins Fenster", 1);
    QVERIFY(before.empty());
    w->show();
    QVERIFY(w->close());
    QCOMPARE(w->ModulsList().Count(), 0);
    QCOMPARE(w->StatusPanel[1]->text(), QString("Herunterfahren ................"));
    w.reset();
    ReportMessage("wieder draussen", 1);
    QCOMPARE(before, std::vector<std::string>{"wieder draussen"});
  }

  // Test tools and screen readers find the window's controls by name: every label and control
  // the window builds has an object name, and every control that takes input or shows the
  // model tells a screen reader what it is, by its own name or by the label in front of it.
  void EveryControlIsNamedAndTellsWhatItIs() {
    auto w = MakeWindow();
    QList<QWidget*> widgets = w->centralWidget()->findChildren<QWidget*>();
    widgets += w->statusBar()->findChildren<QWidget*>();
    const QList<QLabel*> labels = w->findChildren<QLabel*>();
    // The parts a control makes of itself (a combo box's edit field, a view's scroll bars).
    const auto inner = [&w](const QWidget* widget) {
      for (const QWidget* p = widget->parentWidget(); p && p != w.get(); p = p->parentWidget())
        if (qobject_cast<const QAbstractScrollArea*>(p) || qobject_cast<const QComboBox*>(p) ||
            qobject_cast<const QAbstractSpinBox*>(p))
          return true;
      return false;
    };
    int checked = 0;
    for (QWidget* widget : widgets) {
      if (inner(widget) || widget->objectName().startsWith("qt_")) continue;
      const QString what = widget->metaObject()->className();
      const bool control =
          qobject_cast<QLineEdit*>(widget) || qobject_cast<QComboBox*>(widget) ||
          qobject_cast<QAbstractSpinBox*>(widget) || qobject_cast<QAbstractItemView*>(widget) ||
          qobject_cast<QPlainTextEdit*>(widget) || qobject_cast<QAbstractButton*>(widget);
      if (!control && !qobject_cast<QLabel*>(widget)) continue;
      ++checked;
      QVERIFY2(!widget->objectName().isEmpty(),
               qPrintable(what + " " + widget->property("text").toString()));
      if (!control) continue;
      const auto button = qobject_cast<QAbstractButton*>(widget);
      // A button's caption names it, unless it is a mere sign.
      if (button && button->text().size() > 1) continue;
      const bool labelled = std::any_of(labels.begin(), labels.end(),
                                        [widget](QLabel* l) { return l->buddy() == widget; });
      QVERIFY2(labelled || !widget->accessibleName().isEmpty(), qPrintable(widget->objectName()));
    }
    QVERIFY(checked > 20);
  }

  void AboutBoxShowsTheVersionLineThenTheBuild() {
    auto w = MakeWindow();
    Notices.clear();
    w->Ueber1Click();
    QCOMPARE(Notices.size(), 1u);
    const QStringList lines = QString::fromStdString(Notices[0]).split("\r\n");
    QCOMPARE(lines.size(), 8);
    QVERIFY(lines[3].isEmpty());
    QCOMPARE(lines[4], QString("KavorConfig.exe: 1.2.2.1 (01.01.2018 17:55:00) "));
    QVERIFY(lines[5].isEmpty());
    QCOMPARE(lines[6], QString("Version ") + KAVOR_EXPECTED_VERSION);
    QVERIFY(lines[7].startsWith(QString("Erstellt mit Qt ") + QT_VERSION_STR));
  }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
