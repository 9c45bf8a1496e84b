// The main window never loses the user's model: the title mark of unsaved changes, the question
// before the model is dropped, the notice of a partial load and the question before a save over
// such a file, unknown card types, lower-case ".ini" files, and the throttle window driving its
// card after a model load.
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <deque>
#include <memory>

#include "bus/bus_interface.h"
#include "bus/serial_factory.h"
#include "model/ini_file.h"
#include "model/moduls_list.h"
#include "modules/base_modul.h"
#include "sim/sim_bus.h"
#include "sim/sim_serial_line.h"
#include "sim/sim_throttle_card.h"
#include "support/files.h"
#include "support/main_thread.h"
#include "support/message_sink.h"
#include "support/paths.h"
#include "ui/controls/speedi.h"
#include "ui/controls/tree_helpers.h"
#include "ui/main_window.h"
#include "ui/modules/frm_hdx01.h"
#include "ui/modules/sim_ifc_fixture.h"

namespace {

using TAnswer = TfrmVelmoraConfig::TAnswer;

const char* const kBroken =
    "[Modell]\r\nCaption=Teil\r\n\r\n"
    "[Settings_IFK0]\r\nClassName=TSer485BusIFC\r\nIFCNr=0\r\nModulCount=2\r\n\r\n"
    "[Modul_0_0]\r\nAdresse=$1E\r\nClassName=TMXB01\r\nIFCNr=0\r\n\r\n"
    "[Modul_0_1]\r\nAdresse=300\r\nClassName=TMXB01\r\nIFCNr=0\r\n\r\n"
    "[Settings_IFK1]\r\nClassName=TSer485BusIFC\r\nIFCNr=1\r\n\r\n";

std::string ReadAll(const std::string& path) {
  std::string bytes;
  ReadFileBytes(path, bytes);
  return bytes;
}

}  // namespace

class ModelProtectionTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<QTemporaryDir> Dir;
  std::unique_ptr<TSimBus> Bus;
  std::unique_ptr<TLineLog> Lines;
  std::vector<std::string> Notices;
  std::vector<std::string> Questions;
  std::deque<TAnswer> Answers;  // given in turn; "Nein" once they are used up

  std::string Path(const std::string& name) const { return Dir->path().toStdString() + "/" + name; }

  std::unique_ptr<TfrmVelmoraConfig> MakeWindow() {
    auto w = std::make_unique<TfrmVelmoraConfig>(Path("Modell1"));
    w->QuestionBox = [this](const std::string& question, bool withCancel) {
      Questions.push_back(question + (withCancel ? " [Ja|Nein|Abbrechen]" : " [Ja|Nein]"));
      if (Answers.empty()) return TfrmVelmoraConfig::anNein;
      const TAnswer answer = Answers.front();
      Answers.pop_front();
      return answer;
    };
    SetNoticeHandler([this](const std::string& text) { Notices.push_back(text); });
    w->FormActivate();
    Notices.clear();
    return w;
  }

  static bool Marked(const TfrmVelmoraConfig& w) {
    return w.windowTitle() == QString("*") + TfrmVelmoraConfig::kCaption;
  }
  static bool Clean(const TfrmVelmoraConfig& w) {
    return w.windowTitle() == QString(TfrmVelmoraConfig::kCaption);
  }
  static std::string Question(const char* text, bool withCancel = true) {
    return std::string(text) + (withCancel ? " [Ja|Nein|Abbrechen]" : " [Ja|Nein]");
  }

  // A model file "anlage.ini" (lower-case extension) with one interface and one card, loaded.
  std::unique_ptr<TfrmVelmoraConfig> WindowOnLowerCaseFile() {
    WriteFileAtomically(Path("anlage.ini"),
                        "[Modell]\r\nCaption=Anlage\r\nDescription=Bahnhof\r\n\r\n"
                        "[Settings_IFK0]\r\nClassName=TSer485BusIFC\r\nCom=-KEIN-\r\nBaud=9600\r\n"
                        "ModulCount=1\r\nIFCNr=0\r\nTimeout=200\r\nPollPriority=10\r\n\r\n"
                        "[Modul_0_0]\r\nAdresse=$31\r\nClassName=TMXB01\r\nIFCNr=0\r\n\r\n");
    auto w = MakeWindow();
    w->LoadModell(Path("anlage.ini"));
    return w;
  }

  void EditNote(TfrmVelmoraConfig& w, const QString& note) {
    TRS485IFC* ifc = w.ModulsList().IFCByIndex(0);
    TModulsItem* item = w.ModulsList().ItemOfModul(dynamic_cast<TBaseModul*>(ifc->Item(0)));
    FindTreeNode(w.VSTModuls, item)->setText(5, note);
  }

 private slots:
  void initTestCase() {
    InstallQtMainThreadWaker();
    RegisterSerialLine("SIM", "Simulierter Bus", [this] {
      return std::make_unique<TRecordingLine>(MakeSimSerialLine(*Bus), *Lines);
    });
  }
  void cleanupTestCase() {
    UnregisterSerialLine("SIM");
    RemoveQtMainThreadWaker();
  }
  void init() {
    Dir = std::make_unique<QTemporaryDir>();
    QVERIFY(Dir->isValid());
    Lines = std::make_unique<TLineLog>();
    Bus = std::make_unique<TSimBus>();
    Bus->AddDefaultCards();
    Notices.clear();
    Questions.clear();
    Answers.clear();
  }

  void TitleMarksEveryChangeUntilSaved() {
    auto w = MakeWindow();
    QVERIFY(Clean(*w));
    const std::string file = Path("anlage.INI");
    const auto selectModule = [&w] {
      TRS485IFC* ifc = w->SelectedIFC();
      w->SelectItem(w->ModulsList().ItemOfModul(dynamic_cast<TBaseModul*>(ifc->Item(0))));
    };
    const std::vector<std::pair<const char*, std::function<void()>>> changes = {
        {"developer test modules", [&] { w->btnTestClick(); }},
        {"note", [&] { EditNote(*w, "Weichen West"); }},
        {"model description", [&] { w->edDescr->setText("Schattenbahnhof"); }},
        {"model caption", [&] { w->edCaption->setText("Anlage Ost"); }},
        {"time-out", [&] { w->cboTimeOut->setCurrentIndex(4); }},
        {"poll ratio", [&] { w->cboPollPrior->setCurrentIndex(0); }},
        {"baud rate", [&] { w->cboBaud->setCurrentIndex(1); }},
        {"port", [&] { w->cboPort->setCurrentIndex(w->cboPort->findText("SIM")); }},
        {"new interface", [&] { w->tbtnIFCNeuClick(); }},
        {"removal",
         [&] {
           w->SelectItem(w->ModulsList().IFCItem(0));
           selectModule();
           w->tbtnModulDELClick();
         }},
    };
    for (const auto& [name, change] : changes) {
      change();
      QVERIFY2(Marked(*w), name);
      QVERIFY(w->SaveModell(file));
      QVERIFY2(Clean(*w), name);
    }
    // Typing a change away again leaves nothing to save.
    w->edDescr->setText("Bahnhof");
    QVERIFY(Marked(*w));
    w->edDescr->setText("Schattenbahnhof");
    QVERIFY(Clean(*w));
    // A load makes it clean too.
    w->edDescr->setText("anders");
    w->LoadModell(file);  // the question is answered "Nein"
    QVERIFY(Clean(*w));
    QCOMPARE(w->edDescr->text(), QString("Schattenbahnhof"));
  }

  void AnAddressChangeIsAChange() {
    auto w = MakeWindow();
    w->cboPort->setCurrentIndex(w->cboPort->findText("SIM"));
    w->ConnectIFC(true);
    QVERIFY(w->SelectedIFC()->Active());
    w->InputBox = [](const std::string&, const std::string&, const std::string&) {
      return std::optional<std::string>("TMXB01,$1E");
    };
    w->mnuModulAddClick();
    QVERIFY(w->SaveModell(Path("adresse.INI")));
    TModulsItem* item =
        w->ModulsList().ItemOfModul(dynamic_cast<TBaseModul*>(w->SelectedIFC()->Item(0)));
    item->Modul->SetAktiv(true);
    w->SelectItem(item);
    w->InputBox = [](const std::string&, const std::string&, const std::string&) {
      return std::optional<std::string>("$21");
    };
    QVERIFY(Clean(*w));
    w->popModulAdrAendClick();
    QCOMPARE(item->Modul->Adresse, 0x21);
    QVERIFY(Marked(*w));
    w->SelectedIFC()->SetActive(false);
  }

  void QuestionOnClose_data() {
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("saveFails");
    QTest::newRow("Ja") << int(TfrmVelmoraConfig::anJa) << false;
    QTest::newRow("Ja, Speichern scheitert") << int(TfrmVelmoraConfig::anJa) << true;
    QTest::newRow("Nein") << int(TfrmVelmoraConfig::anNein) << false;
    QTest::newRow("Abbrechen") << int(TfrmVelmoraConfig::anAbbrechen) << false;
  }
  void QuestionOnClose() {
    QFETCH(int, answer);
    QFETCH(bool, saveFails);
    auto w = WindowOnLowerCaseFile();
    w->show();
    const std::string file = Path("anlage.ini");
    const std::string before = ReadAll(file);
    EditNote(*w, "Weichen West");
    QVERIFY(Marked(*w));
    if (saveFails) {
      // Folders in the way of the file, under either spelling: the save cannot write it.
      QVERIFY(QFile::remove(QString::fromStdString(file)));
      QVERIFY(QDir().mkdir(QString::fromStdString(file)));
      QVERIFY(QDir().mkdir(QString::fromStdString(Path("anlage.INI"))));
    }
    Answers = {TAnswer(answer)};
    const bool closed = w->close();
    QCOMPARE(Questions,
             std::vector<std::string>{Question(TfrmVelmoraConfig::kSaveChangesQuestion)});
    const bool goesAhead =
        answer == TfrmVelmoraConfig::anNein || (answer == TfrmVelmoraConfig::anJa && !saveFails);
    QCOMPARE(closed, goesAhead);
    QVERIFY(!FileExists(Path("anlage.INI")));
    if (goesAhead) {
      QCOMPARE(w->ModulsList().Count(), 0);
    } else {
      // Everything as it was, window open.
      QVERIFY(w->isVisible());
      QVERIFY(Marked(*w));
      QCOMPARE(w->ModulsList().Count(), 2);
      QVERIFY(w->StatusPanel[1]->text() != "Herunterfahren ................");
      QVERIFY(w->VSTModuls->topLevelItemCount() == 1);
    }
    if (!saveFails) {
      const std::string after = ReadAll(file);
      if (answer == TfrmVelmoraConfig::anJa)
        QVERIFY(after.find("Hinweis=Weichen West") != std::string::npos);
      else
        QCOMPARE(after, before);
    }
    if (!closed) {
      Answers = {TfrmVelmoraConfig::anNein};
      QVERIFY(w->close());
    }
  }

  // What is still being typed when the window is closed (a note in its editor, a device path
  // in the port box) is as much the user's work as what was entered: the window asks, and "Ja"
  // saves it.
  void ATextStillBeingTypedIsAskedAboutOnClose_data() {
    QTest::addColumn<bool>("note");
    QTest::addColumn<QString>("saved");
    QTest::newRow("note in its editor") << true << "Hinweis=Weichen West";
    QTest::newRow("device path in the port box") << false << "Com=/dev/ttyKAVOR7";
  }
  void ATextStillBeingTypedIsAskedAboutOnClose() {
    QFETCH(bool, note);
    QFETCH(QString, saved);
    auto w = WindowOnLowerCaseFile();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    QLineEdit* editor = nullptr;
    if (note) {
      TRS485IFC* ifc = w->ModulsList().IFCByIndex(0);
      QTreeWidgetItem* node = FindTreeNode(
          w->VSTModuls, w->ModulsList().ItemOfModul(dynamic_cast<TBaseModul*>(ifc->Item(0))));
      QVERIFY(node);
      w->VSTModuls->setCurrentItem(node, 5);
      w->VSTModuls->editItem(node, 5);
      editor = qobject_cast<QLineEdit*>(w->VSTModuls->indexWidget(w->VSTModuls->currentIndex()));
      QVERIFY(editor);
      editor->selectAll();
      QTest::keyClicks(editor, "Weichen West");
    } else {
      editor = w->cboPort->lineEdit();
      QVERIFY(editor);
      editor->setFocus();
      QTRY_VERIFY(editor->hasFocus());
      editor->selectAll();
      QTest::keyClicks(editor, "/dev/ttyKAVOR7");
    }
    QVERIFY(!Marked(*w));
    Answers = {TfrmVelmoraConfig::anJa};
    QVERIFY(w->close());
    QCOMPARE(Questions,
             std::vector<std::string>{Question(TfrmVelmoraConfig::kSaveChangesQuestion)});
    const std::string file = ReadAll(Path("anlage.ini"));
    QVERIFY2(file.find(saved.toStdString()) != std::string::npos, file.c_str());
  }

  // A tool button takes no focus from the note's editor; whatever it does to the tree must not
  // throw away what is being typed there.
  void ANoteStillBeingTypedSurvivesWhatRebuildsTheTree_data() {
    QTest::addColumn<QString>("action");
    QTest::newRow("new interface") << "new interface";
    QTest::newRow("module added") << "module added";
    QTest::newRow("developer test modules") << "developer test modules";
  }
  void ANoteStillBeingTypedSurvivesWhatRebuildsTheTree() {
    QFETCH(QString, action);
    auto w = WindowOnLowerCaseFile();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    TBaseModul* modul = dynamic_cast<TBaseModul*>(w->ModulsList().IFCByIndex(0)->Item(0));
    QTreeWidgetItem* node = FindTreeNode(w->VSTModuls, w->ModulsList().ItemOfModul(modul));
    QVERIFY(node);
    w->VSTModuls->setCurrentItem(node, 5);
    w->VSTModuls->editItem(node, 5);
    auto* editor =
        qobject_cast<QLineEdit*>(w->VSTModuls->indexWidget(w->VSTModuls->currentIndex()));
    QVERIFY(editor);
    editor->selectAll();
    QTest::keyClicks(editor, "Weichen West");
    if (action == "new interface") {
      w->tbtnIFCNeu->trigger();
    } else if (action == "module added") {
      w->InputBox = [](const std::string&, const std::string&, const std::string&) {
        return std::optional<std::string>("TMXB02,$40");
      };
      w->mnuModulAddClick();
    } else {
      w->btnTestClick();
    }
    QCOMPARE(modul->Hinweis, std::string("Weichen West"));
    QCOMPARE(FindTreeNode(w->VSTModuls, w->ModulsList().ItemOfModul(modul))->text(5),
             QString("Weichen West"));
    QVERIFY(Marked(*w));
    Answers = {TfrmVelmoraConfig::anNein};
    QVERIFY(w->close());
  }

  void NoQuestionWithoutChanges() {
    // Neither the first start (with its default model) nor loading asks anything.
    auto w = WindowOnLowerCaseFile();
    QVERIFY(Questions.empty());
    QVERIFY(Clean(*w));
    w->show();
    w->LoadModell(Path("anlage.ini"));
    QVERIFY(w->close());
    QVERIFY(Questions.empty());
  }

  void QuestionOnLoad_data() {
    QTest::addColumn<int>("answer");
    QTest::newRow("Ja") << int(TfrmVelmoraConfig::anJa);
    QTest::newRow("Nein") << int(TfrmVelmoraConfig::anNein);
    QTest::newRow("Abbrechen") << int(TfrmVelmoraConfig::anAbbrechen);
  }
  void QuestionOnLoad() {
    QFETCH(int, answer);
    auto w = WindowOnLowerCaseFile();
    const std::string file = Path("anlage.ini");
    const std::string before = ReadAll(file);
    const std::string other = Path("zwei.INI");
    WriteFileAtomically(other,
                        "[Settings_IFK0]\r\nClassName=TRS485IFC\r\nIFCNr=0\r\n\r\n"
                        "[Settings_IFK1]\r\nClassName=TRS485IFC\r\nIFCNr=1\r\n\r\n");
    EditNote(*w, "Weichen West");
    Answers = {TAnswer(answer)};
    w->LoadModell(other);
    QCOMPARE(Questions,
             std::vector<std::string>{Question(TfrmVelmoraConfig::kSaveChangesQuestion)});
    if (answer == TfrmVelmoraConfig::anAbbrechen) {
      QCOMPARE(w->ModulsList().IFCCount(), 1);
      QCOMPARE(w->ModellName, std::string("anlage"));
      QVERIFY(Marked(*w));
      QCOMPARE(ReadAll(file), before);
      return;
    }
    QCOMPARE(w->ModulsList().IFCCount(), 2);
    QCOMPARE(w->ModellName, std::string("zwei"));
    QVERIFY(Clean(*w));
    if (answer == TfrmVelmoraConfig::anJa)
      QVERIFY(ReadAll(file).find("Hinweis=Weichen West") != std::string::npos);
    else
      QCOMPARE(ReadAll(file), before);
    QVERIFY(!FileExists(Path("anlage.INI")));
  }

  void PartialLoadIsNoticedAndItsFileIsNotOverwrittenUnasked() {
    const std::string file = Path("teil.ini");
    WriteFileAtomically(file, kBroken);
    auto w = MakeWindow();
    w->LoadModell(file);
    QCOMPARE(Notices.size(), 1u);
    const std::string& notice = Notices[0];
    for (const std::string& part : {std::string("nur teilweise geladen"), file,
                                    std::string("[Modul_0_1]"), std::string("Adresse=300")})
      QVERIFY2(notice.find(part) != std::string::npos, notice.c_str());
    QVERIFY(w->Memo1->toPlainText().contains("[Modul_0_1] Adresse=300"));
    QCOMPARE(w->ModulsList().IFCCount(), 1);
    QVERIFY(Clean(*w));

    // Saving over it asks, and "Nein" keeps the file.
    QVERIFY(!w->SaveModell(file));
    QCOMPARE(Questions,
             std::vector<std::string>{Question(TfrmVelmoraConfig::kPartialSaveQuestion, false)});
    QCOMPARE(ReadAll(file), std::string(kBroken));
    // So does closing with changes: "Ja" to saving them, "Nein" to losing the rest of the file,
    // and the window stays.
    w->show();
    EditNote(*w, "neu");
    Questions.clear();
    Answers = {TfrmVelmoraConfig::anJa, TfrmVelmoraConfig::anNein};
    QVERIFY(!w->close());
    QCOMPARE(Questions,
             (std::vector<std::string>{Question(TfrmVelmoraConfig::kSaveChangesQuestion),
                                       Question(TfrmVelmoraConfig::kPartialSaveQuestion, false)}));
    QCOMPARE(ReadAll(file), std::string(kBroken));
    QVERIFY(w->isVisible());
    // Another file is saved without a question.
    Questions.clear();
    QVERIFY(w->SaveModell(Path("anders.ini")));
    QVERIFY(Questions.empty());
    QVERIFY(FileExists(Path("anders.INI")));
    // "Ja" writes into the file it came from, not beside it; then it is the model's own.
    Answers = {TfrmVelmoraConfig::anJa};
    QVERIFY(w->SaveModell(file));
    QCOMPARE(Questions.size(), 1u);
    QVERIFY(!FileExists(Path("teil.INI")));
    QVERIFY(ReadAll(file).find("Hinweis=neu") != std::string::npos);
    QVERIFY(w->SaveModell(file));
    QCOMPARE(Questions.size(), 1u);
    QVERIFY(w->close());
  }

  // A save that fails leaves the model with the file it had: neither the status bar nor the card
  // backup nor the next save takes a file that was never written for the model's own.
  void AFailedSaveKeepsTheModelsFile() {
    auto w = MakeWindow();
    QVERIFY(w->SaveModell(Path("eigen.ini")));
    const std::string own = w->ModellFile();
    QCOMPARE(own, Path("eigen.INI"));
    w->edDescr->setText("Bahnhof Nord");
    // No folder can be made under a file.
    QVERIFY(!w->SaveModell(own + "/unter/anderes.ini"));
    QVERIFY(w->Memo1->toPlainText().contains("SaveModell"));
    QCOMPARE(w->ModellFile(), own);
    QVERIFY(Marked(*w));
    QVERIFY(w->SaveModell(own));
    QVERIFY(Clean(*w));
    QVERIFY(ReadAll(own).find("Description=Bahnhof Nord") != std::string::npos);
  }

  // The save writes "<name>.INI" whatever extension the name had ("Anlage v1.2" is
  // "Anlage v1.INI"); the file dialog asked only about the name as typed. Another model's file
  // under the name written is asked about, and "Nein" keeps it; the model's own file is not.
  void SavingOverAnotherModelUnderAnotherNameAsks_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("written");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("asked");
    QTest::newRow("dot in the name, Nein")
        << "Anlage v1.2"
        << "Anlage v1.INI" << int(TfrmVelmoraConfig::anNein) << true;
    QTest::newRow("dot in the name, Ja") << "Anlage v1.2"
                                         << "Anlage v1.INI" << int(TfrmVelmoraConfig::anJa) << true;
    QTest::newRow("no extension, Nein")
        << "Anlage v1"
        << "Anlage v1.INI" << int(TfrmVelmoraConfig::anNein) << true;
    QTest::newRow("the file's own name")
        << "Anlage v1.INI"
        << "Anlage v1.INI" << int(TfrmVelmoraConfig::anNein) << false;
    QTest::newRow("the model's own file")
        << "anlage"
        << "anlage.ini" << int(TfrmVelmoraConfig::anNein) << false;
  }
  void SavingOverAnotherModelUnderAnotherNameAsks() {
    QFETCH(QString, typed);
    QFETCH(QString, written);
    QFETCH(int, answer);
    QFETCH(bool, asked);
    const std::string other =
        "[Modell]\r\nCaption=Version 1\r\n\r\n"
        "[Settings_IFK0]\r\nClassName=TSer485BusIFC\r\nIFCNr=0\r\nModulCount=1\r\n\r\n"
        "[Modul_0_0]\r\nAdresse=$40\r\nClassName=TMXB02\r\nIFCNr=0\r\n\r\n";
    WriteFileAtomically(Path("Anlage v1.INI"), other);
    auto w = WindowOnLowerCaseFile();
    EditNote(*w, "Weichen West");
    const std::string target = Path(written.toStdString());
    const std::string before = ReadAll(target);
    Answers = {TAnswer(answer)};
    const bool saved = w->SaveModell(Path(typed.toStdString()));
    QCOMPARE(Questions.size(), asked ? 1u : 0u);
    if (asked)
      QVERIFY2(Questions[0].find(target) != std::string::npos &&
                   Questions[0].find("[Ja|Nein]") != std::string::npos,
               Questions[0].c_str());
    const bool goesAhead = !asked || answer == TfrmVelmoraConfig::anJa;
    QCOMPARE(saved, goesAhead);
    if (goesAhead) {
      QVERIFY(ReadAll(target).find("Hinweis=Weichen West") != std::string::npos);
      QVERIFY(Clean(*w));
    } else {
      QCOMPARE(ReadAll(target), before);
      QCOMPARE(w->ModellName, std::string("anlage"));
      QVERIFY(Marked(*w));
    }
    QCOMPARE(ReadAll(Path("anlage.ini")).find("Hinweis=Weichen West") != std::string::npos,
             written == "anlage.ini");
  }

  void UnknownCardTypesKeepTheirClassName() {
    const std::string file = Path("fremd.INI");
    WriteFileAtomically(
        file,
        "[Settings_IFK0]\r\nClassName=TSer485BusIFC\r\nIFCNr=0\r\nModulCount=2\r\n\r\n"
        "[Modul_0_0]\r\nAdresse=$40\r\nClassName=TGBM16\r\n\r\n"
        "[Modul_0_1]\r\nAdresse=$41\r\nClassName=TMXB01\r\n\r\n");
    auto w = MakeWindow();
    w->LoadModell(file);
    QTreeWidgetItem* root = w->VSTModuls->topLevelItem(0);
    QCOMPARE(root->childCount(), 2);
    QCOMPARE(root->child(0)->text(0), QString("TGBM16"));
    QCOMPARE(root->child(1)->text(0), QString("TMXB01"));
    // What the developer adds as unknown stays "TRS485Dummy".
    w->InputBox = [](const std::string&, const std::string&, const std::string&) {
      return std::optional<std::string>("TDummy,$42");
    };
    w->mnuModulAddClick();
    root = w->VSTModuls->topLevelItem(0);
    QCOMPARE(root->child(2)->text(0), QString("TRS485Dummy"));
    QVERIFY(w->SaveModell(file));
    TIniFile ini;
    QVERIFY(ini.LoadFromFile(file));
    QCOMPARE(ini.ReadString("Modul_0_0", "ClassName", ""), std::string("TGBM16"));
    QCOMPARE(ini.ReadString("Modul_0_2", "ClassName", ""), std::string("TRS485Dummy"));
  }

  void ThrottleWindowDrivesItsCardAfterAModelLoad() {
    const std::string file = Path("fahren.INI");
    WriteFileAtomically(
        file,
        "[Settings_IFK0]\r\nClassName=TSer485BusIFC\r\nCom=SIM\r\nBaud=19200\r\n"
        "ModulCount=1\r\nIFCNr=0\r\nEnabled=-1\r\nTimeout=200\r\nPollPriority=10\r\n\r\n"
        "[Modul_0_0]\r\nAdresse=$20\r\nClassName=THDX01\r\nIFCNr=0\r\nPolling=0\r\n\r\n");
    auto w = MakeWindow();
    w->LoadModell(file);
    TModulsItem* item = w->ModulsList().ItemOfModul(
        dynamic_cast<TBaseModul*>(w->ModulsList().IFCByIndex(0)->Item(0)));
    QVERIFY(item && item->Modul->Aktiv);
    w->ShowModulForm(item);
    auto* form = dynamic_cast<TfrmHDX01*>(item->Form);
    QVERIFY(form);
    form->hide();
    QVERIFY2(form->TimerOutput->isActive(), "the card is live: the window sends");
    QCOMPARE(w->cboPort->currentText(), QString("SIM"));
    w->ConnectIFC(true);
    QVERIFY(w->SelectedIFC()->Active());
    auto& card = Bus->CardAs<TSimHDX01>(0x20);
    form->SpeediAt(0)->findChild<QSlider*>("tbSpeed")->setValue(5);
    QVERIFY(QTest::qWaitFor([&] { return card.Throttle(1) == 0x85; }, 5000));
    bool sent = false;
    for (const std::string& line : Lines->Take())
      sent = sent || line.find("!20200185") != std::string::npos;
    QVERIFY2(sent, "the throttle line reached the card");
    // However the card stops being live, the window stops sending.
    item->Modul->SetAktiv(false);
    QTRY_VERIFY(!form->TimerOutput->isActive());
    w->SelectedIFC()->SetActive(false);
  }
};

QTEST_MAIN(ModelProtectionTest)
#include "model_protection_test.moc"
