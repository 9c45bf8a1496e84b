#include "ui/modules/frm_hdx01.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "bus/bus_interface.h"
#include "fakes/recording_sink.h"
#include "model/ini_file.h"
#include "modules/hdx01.h"
#include "sim/sim_bus.h"
#include "sim/sim_serial_line.h"
#include "sim/sim_throttle_card.h"
#include "support/main_thread.h"
#include "support/message_sink.h"
#include "ui/controls/colors.h"
#include "ui/controls/lumi.h"
#include "ui/controls/speedi.h"
#include "ui/modules/module_forms.h"

namespace {

using TLines = std::vector<std::string>;

// Every line the PC put on the simulated bus, without the resynchronisation prefix and the CR.
struct TTap {
  std::mutex Mutex;
  TLines Writes;
};

class TTapLine : public TSerialLine {
 public:
  TTapLine(std::unique_ptr<TSerialLine> inner, std::shared_ptr<TTap> tap)
      : FInner(std::move(inner)), FTap(std::move(tap)) {}
  void Open(const std::string& port, uint32_t baud) override { FInner->Open(port, baud); }
  void Close() override { FInner->Close(); }
  bool IsOpen() const override { return FInner->IsOpen(); }
  bool Write(const std::string& bytes) override {
    std::string line = bytes;
    if (line.rfind("\xA7\r", 0) == 0) line.erase(0, 2);
    while (!line.empty() && line.back() == '\r')
      line.pop_back();
    {
      std::lock_guard<std::mutex> lock(FTap->Mutex);
      FTap->Writes.push_back(line);
    }
    return FInner->Write(bytes);
  }
  void SetDTR(bool on) override { FInner->SetDTR(on); }
  TReadResult Read(int64_t maxWaitUs) override { return FInner->Read(maxWaitUs); }
  void Interrupt() override { FInner->Interrupt(); }
  std::string Error() const override { return FInner->Error(); }

 private:
  std::unique_ptr<TSerialLine> FInner;
  std::shared_ptr<TTap> FTap;
};

// A throttle card at $20 on a connected simulated bus, its module, and the window bound to it.
// Members go in reverse order: the window first, then the interface, then the bus.
struct TRig {
  TRig() {
    Card.SetDetectors(0);
    Card.SetLightBarriers(0);
    Ifc.BusMaster().ComPort().SetLineCreator(
        [this] { return std::make_unique<TTapLine>(MakeSimSerialLine(Bus), Tap); });
    Ifc.SetTimeout(50);
    std::unique_ptr<TBusModule> owned = std::make_unique<THDX01>(&Ifc.BusMaster(), 0x20);
    M = static_cast<THDX01*>(owned.get());
    Ifc.AddModule(owned);
    Ifc.SetActive(true);
    Form = std::make_unique<TfrmHDX01>();
    Form->SetModul(M);
  }
  ~TRig() {
    Form.reset();
    Ifc.BusMaster().WaitQueueEmpty(std::chrono::seconds(2));
    Ifc.SetActive(false);
  }

  // The lines sent since the last call that start with `prefix`, once every queued one is out.
  TLines Sent(const std::string& prefix) {
    if (!Ifc.BusMaster().WaitQueueEmpty(std::chrono::seconds(3)))
      qWarning("the bus did not empty its queue");
    std::lock_guard<std::mutex> lock(Tap->Mutex);
    TLines lines;
    for (const std::string& line : Tap->Writes)
      if (line.rfind(prefix, 0) == 0) lines.push_back(line);
    Tap->Writes.clear();
    return lines;
  }
  TLines SentThrottles() { return Sent("!2020"); }

  // Makes the module's image agree with what the throttle controls show, so that only the
  // changes a test makes differ.
  void SyncThrottles() {
    Form->TimerOutputTimer();
    SentThrottles();
  }

  TSpeedi& Speedi(int nr) { return *Form->SpeediAt(nr - 1); }

  TRecordingSink Sink;
  TSimBus Bus;
  TSimHDX01& Card = Bus.Add<TSimHDX01>(0x20);
  std::shared_ptr<TTap> Tap = std::make_shared<TTap>();
  TRS485IFC Ifc;
  THDX01* M = nullptr;
  std::unique_ptr<TfrmHDX01> Form;
};

QToolButton* DirectionButton(TSpeedi& speedi, const char* name) {
  return speedi.findChild<QToolButton*>(QString::fromLatin1(name));
}

std::vector<int> Selections(const std::array<QComboBox*, 8>& lists) {
  std::vector<int> result;
  for (const QComboBox* combo : lists)
    result.push_back(combo->currentIndex());
  return result;
}

void Select(const std::array<QComboBox*, 8>& lists, const std::vector<int>& indexes) {
  for (std::size_t i = 0; i < lists.size(); ++i)
    lists[i]->setCurrentIndex(indexes[i]);
}

// Catches the notices the user would have to acknowledge.
struct TNotices {
  TNotices() {
    FPrevious = SetNoticeHandler([this](const std::string& text) { Texts.push_back(text); });
  }
  ~TNotices() { SetNoticeHandler(FPrevious); }
  TLines Texts;

 private:
  TNoticeHandler FPrevious;
};

}  // namespace

namespace QTest {
template <>
char* toString(const TLines& lines) {
  std::string text;
  for (const std::string& line : lines)
    text += (text.empty() ? "" : " ") + line;
  return qstrdup(("{" + text + "}").c_str());
}
template <>
char* toString(const std::vector<int>& values) {
  std::string text;
  for (int value : values)
    text += (text.empty() ? "" : " ") + std::to_string(value);
  return qstrdup(("{" + text + "}").c_str());
}
template <>
char* toString(const std::string& text) {
  return qstrdup(("\"" + text + "\"").c_str());
}
}  // namespace QTest

class TfrmHDX01Test : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { InstallQtMainThreadWaker(); }
  void cleanupTestCase() { RemoveQtMainThreadWaker(); }

  void CreatedAsTheUserFirstSeesIt() {
    TfrmHDX01 form;
    QCOMPARE(form.PageControl1->currentIndex(), 0);
    QVERIFY(!form.TimerOutput->isActive());
    QCOMPARE(Selections(form.cboZLSList), (std::vector<int>{0, 0, 1, 1, 2, 2, 3, 3}));
    for (QComboBox* combo : form.cboLSList) {
      QVERIFY(combo->isEditable());
      QCOMPARE(combo->count(), 3);
      QCOMPARE(combo->currentText(), QStringLiteral("AUS"));
    }
  }

  void ClicksWithoutModuleDoNothing() {
    TfrmHDX01 form;
    TNotices notices;
    form.chbGouped->setChecked(true);
    form.SpeediAt(1)->findChild<QSlider*>("tbSpeed")->setValue(9);
    QCOMPARE(form.SpeediAt(0)->Speed(), 0);
    form.btnLSZ_LoadFile->click();
    form.btnLSZ_LoadEEPROM->click();
    form.TimerOutputTimer();
    form.chbAktiv->click();
    QVERIFY(!form.TimerOutput->isActive());
    QVERIFY(notices.Texts.empty());
  }

  void GroupModeReachesEveryThrottleInOneTick_data() {
    QTest::addColumn<bool>("grouped");
    QTest::newRow("Gruppe") << true;
    QTest::newRow("alone") << false;
  }
  void GroupModeReachesEveryThrottleInOneTick() {
    QFETCH(bool, grouped);
    TRig rig;
    rig.SyncThrottles();
    rig.Form->chbGouped->setChecked(grouped);

    rig.Speedi(2).findChild<QSlider*>("tbSpeed")->setValue(10);
    for (int nr = 1; nr <= 4; ++nr)
      QCOMPARE(rig.Speedi(nr).Speed(), grouped || nr == 2 ? 10 : 0);
    rig.Form->TimerOutputTimer();
    const TLines speeds =
        grouped ? TLines{"!2020018A", "!2020028A", "!2020038A", "!2020048A"} : TLines{"!2020028A"};
    QCOMPARE(rig.SentThrottles(), speeds);
    QCOMPARE(rig.Card.Throttle(grouped ? 4 : 2), uint8_t{0x8A});

    DirectionButton(rig.Speedi(3), "btnVor")->click();
    for (int nr = 1; nr <= 4; ++nr)
      QCOMPARE(rig.Speedi(nr).ButtonStatus(), grouped || nr == 3 ? 3 : 2);
    rig.Form->TimerOutputTimer();
    const TLines directions =
        grouped ? TLines{"!202001CA", "!202002CA", "!202003CA", "!202004CA"} : TLines{"!202003C0"};
    QCOMPARE(rig.SentThrottles(), directions);
  }

  void DirectionButtonSendsOnceAndThenNothing() {
    TRig rig;
    rig.Speedi(1).SetSpeed(5);
    rig.SyncThrottles();
    QCOMPARE(rig.M->Fahrstufe[0], uint8_t{5});
    QCOMPARE(rig.M->Richtung[0], uint8_t{2});

    DirectionButton(rig.Speedi(1), "btnVor")->click();
    rig.Form->TimerOutputTimer();
    QCOMPARE(rig.SentThrottles(), TLines{"!202001C5"});
    rig.Form->TimerOutputTimer();
    rig.Form->TimerOutputTimer();
    QCOMPARE(rig.SentThrottles(), TLines{});
    QCOMPARE(rig.Card.Direction(1), 3);
    QCOMPARE(rig.Card.Speed(1), 5);
  }

  void CardReportShowsReverseAndIsNotSentBack() {
    TRig rig;
    rig.SyncThrottles();
    // The card's echo of a throttle line is its report, and goes to the module's handler.
    rig.Ifc.AddCommand("!20200341", rig.M->AnswerHandler());
    QVERIFY(QTest::qWaitFor([&] { return rig.Speedi(3).ButtonStatus() == 1; }, 3000));
    QVERIFY(DirectionButton(rig.Speedi(3), "btnRueck")->isChecked());
    QCOMPARE(rig.Speedi(3).Speed(), 1);
    rig.SentThrottles();
    rig.Form->TimerOutputTimer();
    QCOMPARE(rig.SentThrottles(), TLines{});
  }

  void TickRightAfterACardReportDoesNotSendTheOldDisplay() {
    TRig rig;
    rig.SyncThrottles();
    // The report arrives and the timer ticks before the window's redraw had its turn.
    rig.M->ProcessAnswer("!20200200", "#20200247\r\n");
    rig.Form->TimerOutputTimer();
    QCOMPARE(rig.SentThrottles(), TLines{});
    QCOMPARE(rig.Speedi(2).Speed(), 7);
    QCOMPARE(rig.Speedi(2).ButtonStatus(), 1);
  }

  void ReportLeavesTheThrottleTheUserIsTypingIn() {
    TRig rig;
    rig.Form->show();
    QApplication::setActiveWindow(rig.Form.get());
    auto* edit = rig.Speedi(3).findChild<QLineEdit*>("edSpeed");
    edit->setFocus();
    QVERIFY(QTest::qWaitFor([&] { return edit->hasFocus(); }, 2000));
    rig.M->ProcessAnswer("!20200000", "#20200049\r\n");
    QVERIFY(QTest::qWaitFor([&] { return rig.Speedi(1).Speed() == 9; }, 2000));
    QCOMPARE(rig.Speedi(1).ButtonStatus(), 1);
    QCOMPARE(rig.Speedi(3).Speed(), 0);
    QCOMPARE(rig.Speedi(3).ButtonStatus(), 2);
    // On the control itself, where keys choose a direction, nothing is being typed: it follows.
    rig.Speedi(1).setFocus();
    QVERIFY(QTest::qWaitFor([&] { return rig.Speedi(1).hasFocus(); }, 2000));
    rig.M->ProcessAnswer("!20200000", "#20200085\r\n");
    QVERIFY(QTest::qWaitFor([&] { return rig.Speedi(1).Speed() == 5; }, 2000));
    QCOMPARE(rig.Speedi(1).ButtonStatus(), 2);
    rig.Form->hide();
  }

  void FirstTickAfterAktivSendsCodeTwoOnce() {
    TRig rig;
    rig.Speedi(2).SetSpeed(7);
    rig.Form->chbAktiv->click();
    QVERIFY(rig.M->Aktiv);
    QVERIFY(rig.Form->chbAktiv->isChecked());
    QVERIFY(rig.Form->TimerOutput->isActive());
    QVERIFY(QTest::qWaitFor([&] { return rig.Card.Throttle(4) == 0x80; }, 3000));
    QTest::qWait(3 * TfrmHDX01::TimerOutputInterval);
    QCOMPARE(rig.SentThrottles(), (TLines{"!20200180", "!20200287", "!20200380", "!20200480"}));

    rig.Form->chbAktiv->click();
    QVERIFY(!rig.M->Aktiv);
    QVERIFY(!rig.Form->TimerOutput->isActive());
    rig.Speedi(1).findChild<QSlider*>("tbSpeed")->setValue(4);
    QTest::qWait(2 * TfrmHDX01::TimerOutputInterval);
    QCOMPARE(rig.SentThrottles(), TLines{});
  }

  void StopEventListSendsOnlyAChosenEntry_data() {
    QTest::addColumn<bool>("aktiv");
    QTest::addColumn<QString>("typed");  // empty: chosen from the list
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("sent");
    QTest::newRow("FSTOP chosen") << true << QString() << "FSTOP"
                                  << "!20520103";
    QTest::newRow("fstop typed") << true << "fstop"
                                 << "FSTOP"
                                 << "!20520103";
    QTest::newRow("unknown typed") << true << "HALT"
                                   << "AUS"
                                   << "";
    QTest::newRow("inactive") << false << QString() << "FSTOP"
                              << "";
  }
  void StopEventListSendsOnlyAChosenEntry() {
    QFETCH(bool, aktiv);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(QString, sent);
    TRig rig;
    rig.M->SetAktiv(aktiv);
    rig.Sent("!2052");
    QComboBox* combo = rig.Form->cboLSList[0];
    if (typed.isEmpty()) {
      combo->setCurrentIndex(2);
      emit combo->activated(2);
    } else {
      combo->lineEdit()->clear();
      QTest::keyClicks(combo->lineEdit(), typed);
      QTest::keyClick(combo->lineEdit(), Qt::Key_Return);
    }
    QCOMPARE(combo->currentText(), shown);
    QCOMPARE(rig.Sent("!2052"), sent.isEmpty() ? TLines{} : TLines{sent.toStdString()});
    QCOMPARE(rig.Card.StopEvent(1), static_cast<uint8_t>(sent.isEmpty() ? 0 : 3));
  }

  // The lists show the stop event the card holds, as it reports it: on going live, after a
  // choice the card took, and when the card refuses one.
  void StopEventListsFollowTheCard() {
    TRig rig;
    rig.Card.SetStopEvent(3, TSimHDX01::kStopHard);
    rig.Card.SetStopEvent(8, TSimHDX01::kStopBrake);
    rig.M->SetAktiv(true);
    auto shown = [&] {
      QStringList texts;
      for (const QComboBox* combo : rig.Form->cboLSList)
        texts << combo->currentText();
      return texts.join(' ');
    };
    QTRY_COMPARE(shown(), QStringLiteral("AUS AUS FSTOP AUS AUS AUS AUS BSTOP"));
    QCOMPARE(rig.Sent("!2052"), TLines{});

    QComboBox* combo = rig.Form->cboLSList[1];
    combo->setCurrentIndex(1);
    emit combo->activated(1);
    QCOMPARE(rig.Sent("!2052"), TLines{"!20520201"});
    QTRY_COMPARE(rig.M->GetSensorStop(2), 1);
    QCoreApplication::processEvents();
    QCOMPARE(shown(), QStringLiteral("AUS BSTOP FSTOP AUS AUS AUS AUS BSTOP"));

    // The card's report wins over a list nobody is working in.
    rig.M->ProcessAnswer("?20520300", "#20520300\r\n");
    QTRY_COMPARE(shown(), QStringLiteral("AUS BSTOP AUS AUS AUS AUS AUS BSTOP"));
  }

  void LoadEEPROMShowsTheCardsAssignments() {
    TRig rig;
    const std::vector<int> card{4, 3, 2, 1, 1, 2, 3, 4};
    for (int i = 0; i < 8; ++i)
      rig.Card.SetAssignment(i + 1, static_cast<uint8_t>(card[i]));
    const std::vector<int> before{3, 3, 3, 3, 0, 0, 0, 0};
    Select(rig.Form->cboZLSList, before);

    // A silent card leaves every assignment at 0: no list may change.
    TSimFaults silent;
    silent.Silent = true;
    rig.Bus.SetFaults(0x20, silent);
    rig.Form->btnLSZ_LoadEEPROM->click();
    QCOMPARE(rig.Sent("?2053").size(), std::size_t{8});
    QCOMPARE(Selections(rig.Form->cboZLSList), before);

    rig.Bus.ClearFaults();
    bool servedMeanwhile = false;
    QTimer::singleShot(100, [&] { servedMeanwhile = true; });
    QElapsedTimer watch;
    watch.start();
    rig.Form->btnLSZ_LoadEEPROM->click();
    QVERIFY(watch.elapsed() >= TfrmHDX01::LoadEEPROMWait);
    QVERIFY(servedMeanwhile);
    QCOMPARE(Selections(rig.Form->cboZLSList), (std::vector<int>{3, 2, 1, 0, 0, 1, 2, 3}));
    QCOMPARE(rig.Sent("?2053"), (TLines{"?20530100", "?20530200", "?20530300", "?20530400",
                                        "?20530500", "?20530600", "?20530700", "?20530800"}));
  }

  void LoadEEPROMSurvivesTheModuleGoingDuringTheWait() {
    TRig rig;
    // Slow answers: the module goes long before the last one arrives.
    rig.Bus.SetAnswerDelayUs(20'000);
    rig.Card.SetAssignment(8, 1);
    QTimer::singleShot(30, [&] { rig.Form->DetachModul(); });
    rig.Form->btnLSZ_LoadEEPROM->click();
    QVERIFY(!rig.Form->Modul());
    QCOMPARE(rig.M->SenZuord[7], uint8_t{1});
    QCOMPARE(rig.Form->cboZLSList[7]->currentIndex(), 3);
    QVERIFY(!rig.M->OnSpeedChanged && !rig.M->OnGBMChanged && !rig.M->OnLSChanged &&
            !rig.M->OnSettingsChanged && !rig.M->OnDataChanged);
  }

  void SaveEEPROMWritesEverySelectionAlsoWhileInactive() {
    TRig rig;
    QVERIFY(!rig.M->Aktiv);
    Select(rig.Form->cboZLSList, {3, 2, -1, 0, 1, 1, 2, 0});
    rig.Form->btnLSZ_SaveEEPROM->click();
    QCOMPARE(rig.Sent("!2053"), (TLines{"!20530104", "!20530203", "!20530401", "!20530502",
                                        "!20530602", "!20530703", "!20530801"}));
    QCOMPARE(rig.Card.Assignment(1), uint8_t{4});
    // No selection: the card keeps its own.
    QCOMPARE(rig.Card.Assignment(3), uint8_t{2});
    QCOMPARE(rig.Card.Assignment(8), uint8_t{1});
  }

  void SaveFileThenLoadFileRestoresTheSelections() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    TRig rig;
    rig.Form->SetAssignmentDir(dir.path().toStdString());
    const std::string fileName = rig.Form->AssignmentFileName();
    QCOMPARE(QString::fromStdString(fileName), QDir(dir.path()).filePath("HDX01_20.ini"));
    {
      TIniFile other;
      other.WriteString("Notiz", "Text", "bleibt");
      other.SaveToFile(fileName);
    }

    const std::vector<int> saved{0, 0, 1, 1, 2, 2, 3, 3};
    Select(rig.Form->cboZLSList, saved);
    rig.Form->btnLSZ_SaveFile->click();
    TIniFile ini;
    QVERIFY(ini.LoadFromFile(fileName));
    for (int n = 1; n <= 8; ++n)
      QCOMPARE(ini.ReadInteger("LS_FR_ZUORD", "LS" + std::to_string(n), -1), int64_t{(n + 1) / 2});
    QCOMPARE(ini.ReadString("Notiz", "Text", ""), std::string("bleibt"));

    Select(rig.Form->cboZLSList, {3, 3, 3, 3, 3, 3, 3, 3});
    rig.Form->btnLSZ_LoadFile->click();
    QCOMPARE(Selections(rig.Form->cboZLSList), saved);
    QVERIFY(rig.Sink.Lines().empty());
  }

  void LoadFileTakesOnlyThrottleNumbers() {
    QTemporaryDir dir;
    TRig rig;
    rig.Form->SetAssignmentDir(dir.path().toStdString());
    QFile file(QString::fromStdString(rig.Form->AssignmentFileName()));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[LS_FR_ZUORD]\r\nLS1=4\r\nLS2=5\r\nLS3=0\r\nLS4=-2\r\nLS5=zwei\r\nLS6=$2\r\n");
    file.close();
    Select(rig.Form->cboZLSList, {1, 1, 1, 1, 1, 0, 1, 1});
    rig.Form->btnLSZ_LoadFile->click();
    QCOMPARE(Selections(rig.Form->cboZLSList), (std::vector<int>{3, 1, 1, 1, 1, 1, 1, 1}));
  }

  void LoadFileWithoutTheFileSaysSoAndChangesNothing() {
    QTemporaryDir dir;
    TRig rig;
    rig.Form->SetAssignmentDir(dir.path().toStdString());
    Select(rig.Form->cboZLSList, {3, 2, 1, 0, 3, 2, 1, 0});
    TNotices notices;
    rig.Form->btnLSZ_LoadFile->click();
    QCOMPARE(notices.Texts, TLines{"Can not Open File: " +
                                   QDir(dir.path()).filePath("HDX01_20.ini").toStdString()});
    QCOMPARE(Selections(rig.Form->cboZLSList), (std::vector<int>{3, 2, 1, 0, 3, 2, 1, 0}));
  }

  void SaveFileThatCannotBeWrittenIsReported() {
    QTemporaryDir dir;
    TRig rig;
    // A folder below a plain file can never be created.
    QFile blocker(QDir(dir.path()).filePath("datei"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    rig.Form->SetAssignmentDir(QDir(dir.path()).filePath("datei/unter").toStdString());
    rig.Form->btnLSZ_SaveFile->click();
    QCOMPARE(rig.Sink.Count("TfrmHDX01.btnLSZ_SaveFileClick: "), std::size_t{1});
  }

  void LampsFollowDetectorsAndLightBarriers() {
    TRig rig;
    for (int i = 0; i < 8; ++i)
      QVERIFY2(!rig.Form->LumiLSList[i]->LEDEin(), "image 0: all clear");
    for (uint8_t step : {uint8_t{0x5}, uint8_t{0xA}}) {
      const uint8_t barriers = static_cast<uint8_t>(step * 0x11 ^ 0x0F);
      rig.Card.SetDetectors(step);
      rig.Card.SetLightBarriers(barriers);
      auto shown = [&] {
        for (int j = 0; j < 4; ++j)
          if (rig.Form->GBMLampAt(j)->LEDEin() != bool((step >> j) & 1)) return false;
        for (int i = 0; i < 8; ++i)
          if (rig.Form->LumiLSList[i]->LEDEin() != bool((barriers >> i) & 1)) return false;
        return true;
      };
      QVERIFY(QTest::qWaitFor(shown, 3000));
    }
    QCOMPARE(rig.Form->GBMLampAt(1)->LampColor(), clRed);
    QCOMPARE(rig.Form->GBMLampAt(0)->LampColor(), clLime);
    QCOMPARE(rig.Form->LumiLSList[0]->LampColor(), clLime);
    QCOMPARE(rig.Form->LumiLSList[1]->LampColor(), clYellow);
  }

  void BindingShowsTheImageAtOnce() {
    THDX01 m(nullptr, 0x21);
    m.Sensoren = 0x81;
    m.GBM = 0x4;
    m.SenZuord = {0, 4, 0, 0, 0, 0, 0, 1};
    m.Fahrstufe = {0, 12, 0, 0};
    m.Richtung = {0, 3, 0, 1};
    m.SensorStop = {0, 0, 0, 0, 2, 0, 1, 0};
    // Bound the way the main window binds it.
    std::unique_ptr<TfrmModulBase> created(CreateModulFormFor(&m));
    auto* hdx = dynamic_cast<TfrmHDX01*>(created.get());
    QVERIFY(hdx);
    TfrmHDX01& form = *hdx;
    QCOMPARE(form.edAdresse->text(), QStringLiteral("$21"));
    QVERIFY(form.LumiLSList[0]->LEDEin() && form.LumiLSList[7]->LEDEin());
    QVERIFY(!form.LumiLSList[1]->LEDEin());
    QVERIFY(form.GBMLampAt(2)->LEDEin() && !form.GBMLampAt(0)->LEDEin());
    QCOMPARE(Selections(form.cboZLSList), (std::vector<int>{0, 3, 1, 1, 2, 2, 3, 0}));
    QCOMPARE(form.SpeediAt(1)->Speed(), 12);
    QCOMPARE(form.SpeediAt(1)->ButtonStatus(), 3);
    QCOMPARE(form.SpeediAt(3)->ButtonStatus(), 1);
    QCOMPARE(form.SpeediAt(0)->ButtonStatus(), 2);
    QCOMPARE(form.cboLSList[0]->currentText(), QStringLiteral("AUS"));
    QCOMPARE(form.cboLSList[4]->currentText(), QStringLiteral("FSTOP"));
    QCOMPARE(form.cboLSList[6]->currentText(), QStringLiteral("BSTOP"));
    created.reset();
    QVERIFY(!m.OnSpeedChanged && !m.OnGBMChanged && !m.OnLSChanged && !m.OnSettingsChanged);
  }

  void ClickOnAThrottleLabelAsksForTheDetectors() {
    TRig rig;
    rig.Sent("?2010");
    QLabel* label = rig.Form->findChild<QLabel*>("Label5");
    QVERIFY(label);
    QCOMPARE(label->text(), QStringLiteral("FR3"));
    QTest::mouseClick(label, Qt::LeftButton);
    // Inactive: nothing is asked.
    QCOMPARE(rig.Sent("?2010"), TLines{});
    rig.M->SetAktiv(true);
    rig.Sent("?2010");
    QTest::mouseClick(label, Qt::LeftButton);
    QCOMPARE(rig.Sent("?2010"), TLines{"?20100000"});
  }
};

QTEST_MAIN(TfrmHDX01Test)
#include "frm_hdx01_test.moc"
