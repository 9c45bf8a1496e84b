#include <QAbstractButton>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "modules/mxb01.h"
#include "sim/sim_switch_cards.h"
#include "support/main_thread.h"
#include "support/message_sink.h"
#include "ui/controls/btn_kette.h"
#include "ui/controls/lumi_kette.h"
#include "ui/modules/frm_mxb01.h"
#include "ui/modules/sim_ifc_fixture.h"

using TLines = std::vector<std::string>;
Q_DECLARE_METATYPE(TLines)

namespace {

QString LitLamps(const TLumiKette& row) {
  QString lit;
  for (int i = 0; i < row.LEDAnzahl(); ++i)
    lit += row.LampLit(i) ? u'1' : u'0';
  return lit;
}

// A type-1 card at $1E on a connected interface, its window bound, polling off so that only
// the window's lines reach the bus.
struct TMXB01Setup {
  explicit TMXB01Setup(bool aktiv, uint16_t outputs = 0, uint16_t pulseMs = 100) {
    Card.SetOutputs(outputs);
    Card.SetPulseTimeMs(pulseMs);
    Sim.Connect();
    Form.SetModul(&Modul);
    if (aktiv) Modul.SetAktiv(true);  // asks for the outputs and the pulse time
    Sim.Sent();
  }
  TSimIfcFixture Sim;
  TSimMXB01& Card = Sim.Bus.CardAs<TSimMXB01>(0x1E);
  TMXB01& Modul = Sim.Add<TMXB01>(0x1E, false);
  TfrmMXB01 Form;
};

}  // namespace

class TFrmMXB01Test : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { InstallQtMainThreadWaker(); }
  void cleanupTestCase() { RemoveQtMainThreadWaker(); }

  void BindingShowsThePulseTime() {
    TSimIfcFixture sim;
    TMXB01& modul = sim.Add<TMXB01>(0x1E);
    modul.TVTrigger.fill(400);
    TfrmMXB01 form;
    QCOMPARE(form.edTVTrigger->text(), QStringLiteral("0"));
    QCOMPARE(form.windowTitle(), QStringLiteral("MXB01"));
    form.SetModul(&modul);
    QCOMPARE(form.edTVTrigger->text(), QStringLiteral("400"));
    QCOMPARE(int(form.TVTriggerCache()), 400);
    QCOMPARE(form.edAdresse->text(), QStringLiteral("$1E"));
  }

  void DirektRow_data() {
    QTest::addColumn<bool>("aktiv");
    QTest::addColumn<int>("outputs");
    QTest::addColumn<QString>("lamps");
    QTest::addColumn<TLines>("sent");
    QTest::addColumn<int>("card");
    // Inactive: the lamp flips, nothing else.
    QTest::newRow("inactive, off") << false << 0x0000 << "0000010000000000" << TLines{} << 0x0000;
    QTest::newRow("inactive, card on")
        << false << 0x0020 << "0000010000000000" << TLines{} << 0x0020;
    QTest::newRow("active, off: on")
        << true << 0x0001 << "1000010000000000" << TLines{"!1E150001"} << 0x0021;
    QTest::newRow("active, on: off")
        << true << 0x0021 << "1000000000000000" << TLines{"!1E150000"} << 0x0001;
  }
  void DirektRow() {
    QFETCH(bool, aktiv);
    QFETCH(int, outputs);
    QFETCH(QString, lamps);
    QFETCH(TLines, sent);
    QFETCH(int, card);
    TMXB01Setup s(aktiv, static_cast<uint16_t>(outputs));
    s.Form.BtnKette1->Button(5)->click();
    QCOMPARE(LitLamps(*s.Form.LumiKette1), lamps);
    QCOMPARE(s.Sim.Sent(), sent);
    QCOMPARE(int(s.Card.Outputs()), card);
    QCOMPARE(int(s.Modul.Ports), aktiv ? card : 0);
  }

  void ImpulsRow_data() {
    QTest::addColumn<bool>("aktiv");
    QTest::addColumn<TLines>("sent");
    QTest::newRow("inactive") << false << TLines{};
    QTest::newRow("active") << true << TLines{"!1E320001"};
  }
  void ImpulsRow() {
    QFETCH(bool, aktiv);
    QFETCH(TLines, sent);
    TMXB01Setup s(aktiv, 0, 5000);  // a long pulse, still running when the test looks
    s.Form.BtnKette2->Button(2)->click();
    QCOMPARE(LitLamps(*s.Form.LumiKette2), QStringLiteral("0010000000000000"));
    QCOMPARE(s.Sim.Sent(), sent);
    QCOMPARE(s.Card.Output(2), aktiv);
    // The pulsed output lights in the "Direkt" row after the refresh.
    QCOMPARE(s.Form.LumiKette1->LampLit(2), aktiv);
    // The pulse row's lamp only marks the click: refreshes leave it alone.
    s.Form.ModulDataChanged();
    QVERIFY(s.Form.LumiKette2->LampLit(2));
  }

  void DoubleClickAsksForTheOutputs_data() {
    QTest::addColumn<bool>("aktiv");
    QTest::newRow("inactive") << false;
    QTest::newRow("active") << true;
  }
  void DoubleClickAsksForTheOutputs() {
    QFETCH(bool, aktiv);
    TMXB01Setup s(aktiv);
    s.Card.SetOutputs(0x8001);
    s.Form.show();
    QTest::mouseDClick(s.Form.LumiKette1, Qt::LeftButton, {}, QPoint(100, 8));
    QCOMPARE(s.Sim.Sent(), TLines{"?1E200000"});
    QCOMPARE(LitLamps(*s.Form.LumiKette1), QStringLiteral("1000000000000001"));
  }

  void Update_data() {
    QTest::addColumn<int>("cardMs");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<TLines>("sent");
    QTest::addColumn<int>("result");
    QTest::addColumn<bool>("refused");
    QTest::newRow("new value is sent") << 100 << "250" << TLines{"!1E5000FA"} << 250 << false;
    QTest::newRow("same value: only asks") << 250 << "250" << TLines{"?1E500000"} << 250 << false;
    QTest::newRow("letters: only asks") << 100 << "abc" << TLines{"?1E500000"} << 100 << false;
    QTest::newRow("blanks around") << 100 << " 300 " << TLines{"!1E50012C"} << 300 << false;
    QTest::newRow("yes word is 1") << 100 << "ja" << TLines{"!1E500001"} << 1 << false;
    QTest::newRow("0") << 100 << "0" << TLines{"!1E500000"} << 0 << false;
    QTest::newRow("65535") << 100 << "65535" << TLines{"!1E50FFFF"} << 65535 << false;
    QTest::newRow("70000 refused") << 100 << "70000" << TLines{} << 100 << true;
    QTest::newRow("65536 refused") << 100 << "65536" << TLines{} << 100 << true;
    QTest::newRow("negative refused") << 100 << "-1" << TLines{} << 100 << true;
    QTest::newRow("beyond 32 bits refused") << 100 << "99999999999" << TLines{} << 100 << true;
    QTest::newRow("beyond 32 bits with decimals refused")
        << 100 << "99999999999.5" << TLines{} << 100 << true;
    QTest::newRow("beyond 32 bits as a power of ten refused")
        << 100 << "1e10" << TLines{} << 100 << true;
  }
  void Update() {
    QFETCH(int, cardMs);
    QFETCH(QString, typed);
    QFETCH(TLines, sent);
    QFETCH(int, result);
    QFETCH(bool, refused);
    std::vector<std::string> notices;
    SetNoticeHandler([&notices](const std::string& text) { notices.push_back(text); });
    TMXB01Setup s(true, 0, static_cast<uint16_t>(cardMs));
    QCOMPARE(s.Form.edTVTrigger->text(), QString::number(cardMs));

    s.Form.edTVTrigger->setText(typed);
    s.Form.btnTVTrigger->click();
    QCOMPARE(s.Sim.Sent(), sent);
    QCOMPARE(int(s.Card.PulseTimeMs()), result);
    QCOMPARE(s.Modul.GetTVTrigger(0), result);
    // A new duration goes into every entry; answers write only the first.
    if (!sent.empty() && sent[0][0] == '!')
      for (int i = 1; i < TMXB01::kPortCount; ++i)
        QCOMPARE(s.Modul.GetTVTrigger(i), result);
    SetNoticeHandler(nullptr);
    QCOMPARE(notices.size(), refused ? 1u : 0u);
    if (refused) {
      QVERIFY(notices[0].find("0") != std::string::npos);
      QVERIFY(notices[0].find("65535") != std::string::npos);
    }
  }

  // An inactive module takes the new duration but sends nothing.
  void UpdateWhileInactiveSendsNothing() {
    TMXB01Setup s(false);
    s.Form.edTVTrigger->setText("500");
    s.Form.btnTVTrigger->click();
    QCOMPARE(s.Sim.Sent(), TLines{});
    QCOMPARE(s.Modul.GetTVTrigger(0), 500);
    QCOMPARE(int(s.Card.PulseTimeMs()), 100);
  }

  // What the user is typing survives answers that do not change the duration.
  void TypedDurationSurvivesOtherAnswers() {
    TMXB01Setup s(true, 0x0003, 100);
    s.Form.edTVTrigger->setText("12");
    s.Modul.RequestPorts();
    s.Modul.RequestTVTrigger();
    s.Sim.Sent();
    QCOMPARE(s.Form.edTVTrigger->text(), QStringLiteral("12"));
    s.Card.SetPulseTimeMs(700);
    s.Modul.RequestTVTrigger();
    s.Sim.Sent();
    QCOMPARE(s.Form.edTVTrigger->text(), QStringLiteral("700"));
    QCOMPARE(int(s.Form.TVTriggerCache()), 700);
  }

  void NoModuleNothingHappens() {
    int notices = 0;
    SetNoticeHandler([&notices](const std::string&) { ++notices; });
    TfrmMXB01 form;
    form.BtnKette1->Button(4)->click();
    form.BtnKette2->Button(4)->click();
    form.edTVTrigger->setText("70000");
    form.btnTVTrigger->click();  // no module, no message either
    SetNoticeHandler(nullptr);
    QCOMPARE(notices, 0);
    QCOMPARE(form.LumiKette1->LEDValue(), 0);
    QCOMPARE(form.LumiKette2->LEDValue(), 0);
  }
};

QTEST_MAIN(TFrmMXB01Test)
#include "frm_mxb01_test.moc"
