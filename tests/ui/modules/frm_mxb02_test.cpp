#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <algorithm>
#include <initializer_list>

#include "modules/mxb02.h"
#include "sim/sim_switch_cards.h"
#include "support/main_thread.h"
#include "ui/controls/btn_kette.h"
#include "ui/controls/lumi_kette.h"
#include "ui/modules/frm_mxb02.h"
#include "ui/modules/sim_ifc_fixture.h"
#include "ui/modules/up_down.h"

using TLines = std::vector<std::string>;
Q_DECLARE_METATYPE(TLines)

namespace {

// A type-2 card at $32 on a connected interface with its window bound.
struct TMXB02Setup {
  TMXB02Setup() {
    Sim.Connect();
    Form.SetModul(&Modul);
  }
  // Ticks "Aktiv " as the user does: the module goes live and reads the card's settings.
  void GoLive() {
    ActivateWindow(Form);
    Form.chbAktiv->click();
    Sim.Settle();
  }
  QTreeWidgetItem* Row(int port) const { return Form.VST1->topLevelItem(port); }
  void Select(std::initializer_list<int> ports) {
    Form.VST1->clearSelection();
    for (int port : ports)
      Row(port)->setSelected(true);
  }
  QString Cell(int port, int column) const { return Row(port)->text(column); }

  TSimIfcFixture Sim;
  TSimMXB02& Card = Sim.Bus.CardAs<TSimMXB02>(0x32);
  TMXB02& Modul = Sim.Add<TMXB02>(0x32);
  TfrmMXB02 Form;
};

std::size_t Count(const TLines& lines, const std::string& line) {
  return static_cast<std::size_t>(std::count(lines.begin(), lines.end(), line));
}

}  // namespace

class TFrmMXB02Test : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { InstallQtMainThreadWaker(); }
  void cleanupTestCase() { RemoveQtMainThreadWaker(); }

  void TableHasARowPerOutput() {
    TMXB02Setup s;
    QCOMPARE(s.Form.PageControl1->currentWidget(), s.Form.TabSheet1);
    QCOMPARE(s.Form.VST1->topLevelItemCount(), 16);
    QStringList titles;
    for (int column = 0; column < s.Form.VST1->columnCount(); ++column)
      titles << s.Form.VST1->headerItem()->text(column);
    QCOMPARE(titles, QStringList({"Port", "ON", "INV", "TV1", "TV2", "BL", "MF"}));
    QCOMPARE(s.Form.VST1->selectionMode(), QAbstractItemView::ExtendedSelection);
    // A new module's defaults: every output inverted, pulse times 3 and 8 units.
    for (int port = 0; port < 16; ++port) {
      QCOMPARE(TfrmMXB02::NodePort(s.Row(port)), port);
      QStringList cells;
      for (int column = 0; column < TfrmMXB02::colCount; ++column)
        cells << s.Cell(port, column);
      QCOMPARE(cells, QStringList({QString::number(port), "0", "1", "150", "400", "0", "0"}));
    }
    // Binding again does not add rows.
    s.Form.SetModul(&s.Modul);
    QCOMPARE(s.Form.VST1->topLevelItemCount(), 16);
  }

  void CaptionNamesInterfaceAndAddress() {
    TMXB02Setup s;
    s.Sim.Ifc.SetIfcNumber(1);
    QCOMPARE(s.Form.windowTitle(), QStringLiteral("MXB02"));
    ActivateWindow(s.Form);
    QCOMPARE(s.Form.windowTitle(), QStringLiteral("MXB02 [$01/$32] "));
    s.Sim.Ifc.SetIfcNumber(0x1A);
    ActivateWindow(s.Form);
    QCOMPARE(s.Form.windowTitle(), QStringLiteral("MXB02 [$1A/$32] "));
  }

  // The first tick of "Aktiv " reads the settings memory once; later ticks do not.
  void FirstActivationReadsTheSettingsOnce() {
    TMXB02Setup s;
    TSimMXB02Config config = TSimMXB02Config::Factory();
    config.Flags1 = 0x00F0;
    config.Inversion = 0x0003;
    config.PulseTime1[9] = 20;
    s.Card.SetConfig(config);
    s.Card.SetOutputs(0x0201);
    s.GoLive();
    QVERIFY(s.Modul.Aktiv);
    QVERIFY(s.Form.DumpRequested());
    QCOMPARE(Count(s.Sim.Sent(), "?32030000"), 1u);
    QCOMPARE(s.Cell(4, TfrmMXB02::colBL), QStringLiteral("1"));
    QCOMPARE(s.Cell(3, TfrmMXB02::colBL), QStringLiteral("0"));
    QCOMPARE(s.Cell(1, TfrmMXB02::colINV), QStringLiteral("1"));
    QCOMPARE(s.Cell(2, TfrmMXB02::colINV), QStringLiteral("0"));
    QCOMPARE(s.Cell(9, TfrmMXB02::colTV1), QStringLiteral("1000"));
    QCOMPARE(s.Cell(9, TfrmMXB02::colON), QStringLiteral("1"));
    QCOMPARE(s.Form.LumiKette1->LEDValue(), 0x0201);

    s.Form.chbAktiv->click();
    QVERIFY(!s.Modul.Aktiv);
    s.Form.chbAktiv->click();
    QVERIFY(s.Modul.Aktiv);
    QCOMPARE(Count(s.Sim.Sent(), "?32030000"), 0u);
  }

  void FlagButtonsOverTwoRows_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("code");
    QTest::newRow("ON") << "btnON"
                        << "20";
    QTest::newRow("INV") << "btnINV"
                         << "0A";
    QTest::newRow("BL") << "btnBL"
                        << "0B";
    QTest::newRow("MF") << "btnMF"
                        << "0C";
  }
  void FlagButtonsOverTwoRows() {
    QFETCH(QString, button);
    QFETCH(QString, code);
    TMXB02Setup s;
    TSimMXB02Config config = TSimMXB02Config::Factory();
    config.Inversion = 0x8001;
    config.Flags1 = 0x8001;
    config.Flags2 = 0x8001;
    s.Card.SetConfig(config);
    s.Card.SetOutputs(0x8001);
    s.GoLive();
    s.Sim.Sent();
    auto* flag = s.Form.findChild<QPushButton*>(button);
    QVERIFY(flag);
    QCOMPARE(flag->text(), QStringLiteral("?"));
    const int column = button == "btnON"    ? TfrmMXB02::colON
                       : button == "btnINV" ? TfrmMXB02::colINV
                       : button == "btnBL"  ? TfrmMXB02::colBL
                                            : TfrmMXB02::colMF;
    // What the card holds for the button's word.
    auto cardWord = [&]() -> int {
      const TSimMXB02Config c = s.Card.Config();
      if (button == "btnON") return s.Card.Outputs();
      if (button == "btnINV") return c.Inversion;
      if (button == "btnBL") return c.Flags1;
      return c.Flags2;
    };
    auto modulWord = [&]() -> int {
      if (button == "btnON") return s.Modul.Ports;
      if (button == "btnINV") return s.Modul.Invertiert;
      if (button == "btnBL") return s.Modul.Typ1;
      return s.Modul.Typ2;
    };

    s.Select({2, 5});
    flag->click();
    QCOMPARE(flag->text(), QStringLiteral("1"));
    QCOMPARE(modulWord(), 0x8025);
    QCOMPARE(s.Sim.Sent(), TLines{"!32" + code.toStdString() + "8025"});
    QCOMPARE(cardWord(), 0x8025);
    QCOMPARE(s.Cell(2, column), QStringLiteral("1"));
    QCOMPARE(s.Cell(5, column), QStringLiteral("1"));
    QCOMPARE(s.Cell(3, column), QStringLiteral("0"));

    flag->click();
    QCOMPARE(flag->text(), QStringLiteral("0"));
    QCOMPARE(modulWord(), 0x8001);
    QCOMPARE(s.Sim.Sent(), TLines{"!32" + code.toStdString() + "8001"});
    QCOMPARE(cardWord(), 0x8001);
    QCOMPARE(s.Cell(2, column), QStringLiteral("0"));
    QCOMPARE(s.Cell(5, column), QStringLiteral("0"));
    QCOMPARE(s.Cell(15, column), QStringLiteral("1"));

    // With nothing selected the button does nothing at all.
    s.Form.VST1->clearSelection();
    flag->click();
    QCOMPARE(flag->text(), QStringLiteral("0"));
    QCOMPARE(modulWord(), 0x8001);
    QCOMPARE(s.Sim.Sent(), TLines{});
  }

  void FlagButtonWithoutSelectionKeepsItsCaption() {
    TMXB02Setup s;
    s.GoLive();
    s.Sim.Sent();
    for (QPushButton* flag : {s.Form.btnON, s.Form.btnINV, s.Form.btnBL, s.Form.btnMF}) {
      flag->click();
      QCOMPARE(flag->text(), QStringLiteral("?"));
    }
    QCOMPARE(s.Modul.Invertiert, uint16_t(0));
    QCOMPARE(s.Sim.Sent(), TLines{});
  }

  // Clicking into the table shows the last selected row's settings and sends nothing.
  void ClickShowsTheLastSelectedRow() {
    TMXB02Setup s;
    s.GoLive();
    s.Modul.Ports = 0x0080;
    s.Modul.Invertiert = 0xFF7F;
    s.Modul.Typ1 = 0x0080;
    s.Modul.Typ2 = 0xFF7F;
    s.Modul.TVTrigger1[7] = 9;
    s.Modul.TVTrigger2[7] = 20;
    s.Sim.Sent();
    s.Form.show();
    s.Form.PageControl1->setCurrentWidget(s.Form.TabSheet2);
    s.Select({1, 3});
    const QPoint row7 = s.Form.VST1->visualItemRect(s.Row(7)).center();
    QTest::mouseClick(s.Form.VST1->viewport(), Qt::LeftButton, Qt::ControlModifier, row7);
    QCOMPARE(TvstHelperSelectedPorts(s), QList<int>({1, 3, 7}));
    QCOMPARE(s.Form.btnON->text(), QStringLiteral("1"));
    QCOMPARE(s.Form.btnINV->text(), QStringLiteral("0"));
    QCOMPARE(s.Form.btnBL->text(), QStringLiteral("1"));
    QCOMPARE(s.Form.btnMF->text(), QStringLiteral("0"));
    QCOMPARE(s.Form.UpDown1->Position(), 450);
    QCOMPARE(s.Form.edTV1->text(), QStringLiteral("450"));
    QCOMPARE(s.Form.UpDown2->Position(), 1000);
    QCOMPARE(s.Form.edTv2->text(), QStringLiteral("1000"));
    QCOMPARE(s.Sim.Sent(), TLines{});
    QCOMPARE(s.Modul.TVTrigger1[1], 3);
    QCOMPARE(s.Modul.TVTrigger2[3], 8);
  }

  // The settings shown above the table are the selected row's as the module now holds them:
  // a click on a flag button turns the bit the user sees, also after the card's settings were
  // read again.
  void SettingsAboveTheTableFollowTheCard() {
    TMXB02Setup s;
    TSimMXB02Config config = TSimMXB02Config::Factory();
    config.Inversion = 0xFFFF;
    s.Card.SetConfig(config);
    s.GoLive();
    s.Select({3});
    s.Form.VST1Click();
    QCOMPARE(s.Form.btnINV->text(), QStringLiteral("1"));
    QCOMPARE(s.Form.btnBL->text(), QStringLiteral("0"));
    QCOMPARE(s.Form.UpDown1->Position(), 150);

    config.Inversion = 0x0000;
    config.Flags1 = 0x0008;
    config.PulseTime1[3] = 7;
    s.Card.SetConfig(config);
    s.Form.btnLoadAVRDump->click();
    s.Sim.Settle();
    QTRY_COMPARE(s.Cell(3, TfrmMXB02::colINV), QStringLiteral("0"));
    QCOMPARE(s.Form.btnINV->text(), QStringLiteral("0"));
    QCOMPARE(s.Form.btnBL->text(), QStringLiteral("1"));
    QCOMPARE(s.Form.UpDown1->Position(), 350);
    s.Sim.Sent();

    s.Form.btnINV->click();
    QCOMPARE(s.Form.btnINV->text(), QStringLiteral("1"));
    QCOMPARE(s.Sim.Sent(), TLines{"!320A0008"});
    QCOMPARE(s.Card.Config().Inversion, uint16_t(0x0008));
  }

  // One step of a spinner sets the same pulse time on every selected output.
  void SpinnerWritesEverySelectedRow_data() {
    QTest::addColumn<bool>("first");
    QTest::addColumn<bool>("up");
    QTest::addColumn<int>("units");
    QTest::addColumn<TLines>("sent");
    QTest::newRow("TV1 up") << true << true << 4 << TLines{"!32800408", "!32840408"};
    QTest::newRow("TV1 down") << true << false << 2 << TLines{"!32800208", "!32840208"};
    QTest::newRow("TV2 up") << false << true << 9 << TLines{"!32800309", "!32840309"};
    QTest::newRow("TV2 down") << false << false << 7 << TLines{"!32800307", "!32840307"};
  }
  void SpinnerWritesEverySelectedRow() {
    QFETCH(bool, first);
    QFETCH(bool, up);
    QFETCH(int, units);
    QFETCH(TLines, sent);
    TMXB02Setup s;
    s.GoLive();
    s.Sim.Sent();
    s.Select({0, 4});
    s.Form.VST1Click();
    TUpDown* spinner = first ? s.Form.UpDown1 : s.Form.UpDown2;
    QCOMPARE(spinner->Position(), first ? 150 : 400);
    (up ? spinner->BtnUp() : spinner->BtnDown())->click();
    QCOMPARE(spinner->Position(), units * TfrmMXB02::kTVUnit);
    QCOMPARE(s.Sim.Sent(), sent);
    const int column = first ? TfrmMXB02::colTV1 : TfrmMXB02::colTV2;
    for (int port = 0; port < 16; ++port) {
      const bool selected = port == 0 || port == 4;
      const int expected = selected ? units : (first ? 3 : 8);
      QCOMPARE(first ? s.Modul.TVTrigger1[port] : s.Modul.TVTrigger2[port], expected);
      QCOMPARE(s.Cell(port, column), QString::number(expected * TfrmMXB02::kTVUnit));
      const TSimMXB02Config card = s.Card.Config();
      QCOMPARE(int(first ? card.PulseTime1[port] : card.PulseTime2[port]), expected);
    }
  }

  void SpinnerKeepsToTheRange() {
    TMXB02Setup s;
    QCOMPARE(s.Form.UpDown1->Min(), 0);
    QCOMPARE(s.Form.UpDown1->Max(), 12750);
    QCOMPARE(s.Form.UpDown1->Increment(), 50);
    QVERIFY(s.Form.edTV1->isReadOnly());
    s.Form.UpDown1->BtnDown()->click();
    QCOMPARE(s.Form.edTV1->text(), QStringLiteral("0"));
    s.Form.UpDown1->SetPosition(12700);
    s.Form.UpDown1->BtnUp()->click();
    s.Form.UpDown1->BtnUp()->click();
    QCOMPARE(s.Form.edTV1->text(), QStringLiteral("12750"));
    // The arrow keys in the box step as the arrows do.
    QTest::keyClick(s.Form.edTV1, Qt::Key_Down);
    QCOMPARE(s.Form.edTV1->text(), QStringLiteral("12700"));
  }

  void MemoryButtons_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<std::string>("line");
    QTest::newRow("Laden AVR") << "btnLoadAVRDump" << std::string("?32030000");
    QTest::newRow("Speichern AVR") << "btnSaveDumpToEE" << std::string("!32040404");
    QTest::newRow("Restore AVR") << "btnResetFirmWare" << std::string("!32030303");
  }
  void MemoryButtons() {
    QFETCH(QString, button);
    QFETCH(std::string, line);
    TMXB02Setup s;
    auto* memory = s.Form.findChild<QPushButton*>(button);
    QVERIFY(memory);
    memory->click();  // inactive: nothing
    QCOMPARE(s.Sim.Sent(), TLines{});

    s.GoLive();
    s.Select({6});
    s.Form.btnBL->click();  // the working settings now differ from the stored ones
    s.Sim.Sent();
    QCOMPARE(s.Card.Config().Flags1, uint16_t(0x0040));
    memory->click();
    QCOMPARE(s.Sim.Sent(), TLines{line});
    if (button == "btnSaveDumpToEE") QCOMPARE(s.Card.StoredConfig(), s.Card.Config());
    if (button == "btnResetFirmWare") QCOMPARE(s.Card.Config(), TSimMXB02Config::Factory());
    if (button != "btnResetFirmWare") QCOMPARE(s.Card.Config().Flags1, uint16_t(0x0040));
  }

  void OutputRows_data() {
    QTest::addColumn<bool>("aktiv");
    QTest::addColumn<TLines>("sent");
    QTest::newRow("inactive") << false << TLines{};
    QTest::newRow("active") << true << TLines{"!32150001", "!32320001"};
  }
  void OutputRows() {
    QFETCH(bool, aktiv);
    QFETCH(TLines, sent);
    TMXB02Setup s;
    if (aktiv) s.GoLive();
    s.Sim.Sent();
    s.Form.BtnKette1->Button(5)->click();
    s.Form.BtnKette2->Button(2)->click();
    QVERIFY(s.Form.LumiKette2->LampLit(2));
    QCOMPARE(s.Sim.Sent(), sent);
    QCOMPARE(s.Card.Output(5), aktiv);
    QCOMPARE(s.Form.LumiKette1->LampLit(5), true);
  }

  void NoModuleNothingHappens() {
    TfrmMXB02 form;
    QCOMPARE(form.VST1->topLevelItemCount(), 0);
    form.SetModul(nullptr);
    QCOMPARE(form.VST1->topLevelItemCount(), 16);
    form.VST1->topLevelItem(3)->setSelected(true);
    form.btnINV->click();
    QCOMPARE(form.btnINV->text(), QStringLiteral("?"));
    QCOMPARE(form.VST1->topLevelItem(3)->text(0), QString());
    form.btnLoadAVRDump->click();
    form.BtnKette1->Button(1)->click();
    QCOMPARE(form.LumiKette1->LEDValue(), 0);
  }

 private:
  static QList<int> TvstHelperSelectedPorts(const TMXB02Setup& s) {
    QList<int> ports;
    for (int port = 0; port < 16; ++port)
      if (s.Row(port)->isSelected()) ports << port;
    return ports;
  }
};

QTEST_MAIN(TFrmMXB02Test)
#include "frm_mxb02_test.moc"
