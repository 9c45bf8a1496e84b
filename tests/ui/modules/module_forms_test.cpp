#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <algorithm>
#include <memory>

#include "modules/ifc_ports.h"
#include "modules/mxb01.h"
#include "modules/mxb02.h"
#include "modules/rs485_dummy.h"
#include "sim/sim_simple_cards.h"
#include "support/main_thread.h"
#include "ui/controls/btn_kette.h"
#include "ui/controls/lumi.h"
#include "ui/controls/lumi_kette.h"
#include "ui/controls/speedi.h"
#include "ui/modules/frm_dummy.h"
#include "ui/modules/frm_ifc485.h"
#include "ui/modules/frm_mxb01.h"
#include "ui/modules/frm_mxb02.h"
#include "ui/modules/module_forms.h"
#include "ui/modules/sim_ifc_fixture.h"
#include "ui/modules/up_down.h"

using TLines = std::vector<std::string>;
Q_DECLARE_METATYPE(TLines)

namespace {

// A module of any class name, for the window choice.
class TNamedModul : public TBaseModul {
 public:
  TNamedModul(TSer485BusMaster* busMaster, const char* name)
      : TBaseModul(busMaster, 0x10), FName(name) {}
  const char* ClassName() const override { return FName; }

 private:
  const char* FName;
};

std::unique_ptr<TBaseModul> MakeModul(TSer485BusMaster* busMaster, const QString& className) {
  if (className == "TIFCPorts") return std::make_unique<TIFCPorts>(busMaster, 0x7F);
  if (className == "TMXB01") return std::make_unique<TMXB01>(busMaster, 0x1E);
  if (className == "TMXB02") return std::make_unique<TMXB02>(busMaster, 0x32);
  return std::make_unique<TRS485Dummy>(busMaster, 0x40);
}

// Counts the refreshes the window runs.
class TCountingIFC485 : public TfrmIFC485 {
 public:
  int Refreshes = 0;
  void ModulDataChanged() override {
    ++Refreshes;
    TfrmIFC485::ModulDataChanged();
  }
};

QString LitLamps(const TLumiKette& row) {
  QString lit;
  for (int i = 0; i < row.LEDAnzahl(); ++i)
    lit += row.LampLit(i) ? u'1' : u'0';
  return lit;
}

}  // namespace

class TModuleFormsTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { InstallQtMainThreadWaker(); }
  void cleanupTestCase() { RemoveQtMainThreadWaker(); }

  void WindowForTheClass_data() {
    QTest::addColumn<QString>("className");
    QTest::addColumn<QString>("window");
    QTest::newRow("type 1") << "TMXB01"
                            << "TfrmMXB01";
    QTest::newRow("type 2") << "TMXB02"
                            << "TfrmMXB02";
    QTest::newRow("port expansion") << "TIFCPorts"
                                    << "TfrmIFC485";
    QTest::newRow("unknown type") << "TRS485Dummy"
                                  << "TfrmDummy";
    QTest::newRow("any case") << "tmxb02"
                              << "TfrmMXB02";
    QTest::newRow("blanks around") << " TIFCPORTS "
                                   << "TfrmIFC485";
    QTest::newRow("other T class") << "TLX"
                                   << "TfrmDummy";
    QTest::newRow("too short") << "T"
                               << "";
    QTest::newRow("no T") << "MXB01"
                          << "";
    QTest::newRow("empty") << ""
                           << "";
  }
  void WindowForTheClass() {
    QFETCH(QString, className);
    QFETCH(QString, window);
    const QByteArray name = className.toLatin1();
    TNamedModul modul(nullptr, name.constData());
    std::unique_ptr<TfrmModulBase> form(CreateModulFormFor(&modul));
    if (window.isEmpty()) {
      QVERIFY(!form);
      return;
    }
    QVERIFY(form);
    QCOMPARE(QString(form->metaObject()->className()), window);
    QCOMPARE(form->Modul(), &modul);
    QVERIFY(!form->isVisible());
    QCOMPARE(form->edAdresse->text(), QStringLiteral("$10"));
  }

  // Test tools and screen readers find every part of a card window by name; every control tells
  // a screen reader what it is, by its own name, its caption or the label standing before it,
  // and can be reached with Tab; every lamp tells whether it is lit.
  void EveryPartIsNamedAndReachable_data() {
    QTest::addColumn<QString>("className");
    QTest::newRow("throttles") << "THDX01";
    QTest::newRow("type 1") << "TMXB01";
    QTest::newRow("type 2") << "TMXB02";
    QTest::newRow("port expansion") << "TIFCPorts";
    QTest::newRow("unknown type") << "TRS485Dummy";
  }
  void EveryPartIsNamedAndReachable() {
    QFETCH(QString, className);
    const QByteArray name = className.toLatin1();
    TNamedModul modul(nullptr, name.constData());
    std::unique_ptr<TfrmModulBase> form(CreateModulFormFor(&modul));
    QVERIFY(form);
    const QList<QLabel*> labels = form->findChildren<QLabel*>();
    // The parts a control makes of itself (a combo box's edit field, a view's scroll bars).
    const auto inner = [&form](const QWidget* widget) {
      for (const QWidget* p = widget->parentWidget(); p && p != form.get(); p = p->parentWidget())
        if (qobject_cast<const QAbstractScrollArea*>(p) || qobject_cast<const QComboBox*>(p))
          return true;
      return false;
    };
    // Buttons whose row or throttle takes the focus and presses them by key, and the arrows
    // beside an edit box whose Up and Down keys step it.
    const auto pressedByOwner = [](const QWidget* widget) {
      const QObject* owner = widget->parent();
      return qobject_cast<const TBtnKette*>(owner) || qobject_cast<const TSpeedi*>(owner) ||
             qobject_cast<const TUpDown*>(owner);
    };
    int controls = 0;
    for (QWidget* widget : form->findChildren<QWidget*>()) {
      if (inner(widget) || widget->objectName().startsWith("qt_")) continue;
      const QString what = QString(widget->metaObject()->className()) + " " +
                           widget->property("text").toString() + " in " +
                           widget->parent()->objectName();
      QVERIFY2(!widget->objectName().isEmpty(), qPrintable(what));
      if (qobject_cast<TLumi*>(widget) || qobject_cast<TLumiKette*>(widget))
        QVERIFY2(!widget->accessibleDescription().isEmpty(), qPrintable(widget->objectName()));
      const auto button = qobject_cast<QAbstractButton*>(widget);
      const bool control =
          button || qobject_cast<QLineEdit*>(widget) || qobject_cast<QComboBox*>(widget) ||
          qobject_cast<QAbstractSlider*>(widget) || qobject_cast<QAbstractItemView*>(widget) ||
          qobject_cast<TBtnKette*>(widget) || qobject_cast<TSpeedi*>(widget);
      if (!control) continue;
      ++controls;
      const QString where = widget->objectName() + " in " + widget->parent()->objectName();
      if (!pressedByOwner(widget))
        QVERIFY2(widget->focusPolicy() & Qt::TabFocus, qPrintable(where));
      // A caption names a button, unless it is a mere sign or a number.
      bool ok = false;
      if (button && button->text().size() > 1 && (button->text().toInt(&ok), !ok)) continue;
      // Screen readers take a buddy's caption only from a label beside it, not from one above.
      const bool labelled = std::any_of(labels.begin(), labels.end(), [widget](QLabel* l) {
        return l->buddy() == widget && l->parent() == widget->parent();
      });
      // The numbered buttons of a row are named by their numbers, the arrows by the edit box.
      const bool numbered = qobject_cast<const TBtnKette*>(widget->parent()) ||
                            qobject_cast<const TUpDown*>(widget->parent());
      QVERIFY2(labelled || !widget->accessibleName().isEmpty() || numbered, qPrintable(where));
    }
    QVERIFY(controls >= 3);
    // Tab reaches the page tabs before anything on a page, as in every tabbed window.
    if (const auto* pages = form->findChild<QTabWidget*>()) {
      bool tabsPassed = false;
      for (QWidget* w = form->nextInFocusChain(); w != form.get(); w = w->nextInFocusChain()) {
        if (w == pages->tabBar()) tabsPassed = true;
        if ((w->focusPolicy() & Qt::TabFocus) && pages->isAncestorOf(w) && !inner(w))
          QVERIFY2(tabsPassed || w == pages || w == pages->tabBar(), qPrintable(w->objectName()));
      }
    }
  }

  void NoModuleNoWindow() { QVERIFY(!CreateModulFormFor(nullptr)); }

  void ModulesOwnWindows_data() {
    QTest::addColumn<QString>("className");
    QTest::addColumn<QString>("title");
    QTest::newRow("port expansion") << "TIFCPorts"
                                    << "IFC485";
    QTest::newRow("unknown type") << "TRS485Dummy"
                                  << "Dummy Slave";
    QTest::newRow("type 1") << "TMXB01"
                            << "MXB01";
    QTest::newRow("type 2") << "TMXB02"
                            << "MXB02";
  }

  // Every activation shows the module's flags as they stand, without sending anything. The
  // window of a module of unknown type does so too.
  void ActivationShowsTheFlags_data() { ModulesOwnWindows_data(); }
  void ActivationShowsTheFlags() {
    QFETCH(QString, className);
    QFETCH(QString, title);
    TSimIfcFixture sim;
    QVERIFY(sim.Connect());
    std::unique_ptr<TBaseModul> modul = MakeModul(&sim.Ifc.BusMaster(), className);
    std::unique_ptr<TfrmModulBase> form(CreateModulFormFor(modul.get()));
    QVERIFY(form);
    QCOMPARE(form->windowTitle(), title);

    struct TFlags {
      bool Aktiv, Polling;
    };
    for (const TFlags flags :
         {TFlags{false, true}, TFlags{true, true}, TFlags{true, false}, TFlags{false, false}}) {
      modul->Aktiv = flags.Aktiv;
      modul->Polling = flags.Polling;
      ActivateWindow(*form);
      QCOMPARE(form->chbAktiv->isChecked(), flags.Aktiv);
      QCOMPARE(form->chbPolling->isChecked(), flags.Polling);
      QVERIFY(!form->Updating());
    }
    modul->Aktiv = false;
    QCOMPARE(sim.Sent(), TLines{});
  }

  void TickingAktivMakesTheModuleLive_data() { ModulesOwnWindows_data(); }
  void TickingAktivMakesTheModuleLive() {
    QFETCH(QString, className);
    TSimIfcFixture sim;
    QVERIFY(sim.Connect());
    std::unique_ptr<TBaseModul> modul = MakeModul(&sim.Ifc.BusMaster(), className);
    std::unique_ptr<TfrmModulBase> form(CreateModulFormFor(modul.get()));
    ActivateWindow(*form);
    form->chbAktiv->click();
    QVERIFY(modul->Aktiv);
    QVERIFY(form->chbAktiv->isChecked());
    form->chbAktiv->click();
    QVERIFY(!modul->Aktiv);
    QVERIFY(!form->chbAktiv->isChecked());

    form->chbPolling->click();
    QVERIFY(!modul->Polling);
    form->chbPolling->click();
    QVERIFY(modul->Polling);
    sim.Sent();
  }

  void ButtonWithoutModuleDoesNothing() {
    TfrmIFC485 form;
    form.BtnKette1->Button(3)->click();
    QCOMPARE(LitLamps(*form.LumiKette1), QStringLiteral("00000000"));
    form.chbAktiv->click();  // no module: nothing to make live, nothing to crash
    form.LumiKette1DblClick(form.LumiKette1);
    QVERIFY(!form.Modul());
  }

  void IFC485ButtonThree_data() {
    QTest::addColumn<bool>("aktiv");
    QTest::addColumn<TLines>("sent");
    QTest::addColumn<int>("card");
    QTest::newRow("inactive: lamp only") << false << TLines{} << 0x00;
    QTest::newRow("active: output toggled") << true << TLines{"!7F130001"} << 0x08;
  }
  void IFC485ButtonThree() {
    QFETCH(bool, aktiv);
    QFETCH(TLines, sent);
    QFETCH(int, card);
    TSimIfcFixture sim;
    TIFCPorts& modul = sim.Add<TIFCPorts>(0x7F, false);
    QVERIFY(sim.Connect());
    TfrmIFC485 form;
    form.SetModul(&modul);
    modul.SetAktiv(aktiv);
    sim.Sent();

    form.BtnKette1->Button(3)->click();
    QCOMPARE(LitLamps(*form.LumiKette1), QStringLiteral("00010000"));
    QCOMPARE(sim.Sent(), sent);
    QCOMPARE(int(modul.Ports), card);
    QCOMPARE(int(sim.Bus.CardAs<TSimPortExpansion>(0x7F).Outputs()), card);
    // The next refresh shows the module's value, whatever the lamp showed.
    form.ModulDataChanged();
    QCOMPARE(form.LumiKette1->LEDValue(), card);

    // Clicking again switches it back off on a live module.
    form.BtnKette1->Button(3)->click();
    QCOMPARE(sim.Sent(), aktiv ? TLines{"!7F130000"} : TLines{});
    QCOMPARE(int(sim.Bus.CardAs<TSimPortExpansion>(0x7F).Outputs()), 0);
  }

  // The double-click asks the card for its outputs whether the module is live or not, and the
  // answer reaches the lamps.
  void IFC485DoubleClickAsksTheCard_data() {
    QTest::addColumn<bool>("aktiv");
    QTest::newRow("inactive") << false;
    QTest::newRow("active") << true;
  }
  void IFC485DoubleClickAsksTheCard() {
    QFETCH(bool, aktiv);
    TSimIfcFixture sim;
    sim.Bus.Add<TSimPortExpansion>(0x05).SetOutputs(0x81);
    TIFCPorts& modul = sim.Add<TIFCPorts>(0x05, false);
    QVERIFY(sim.Connect());
    modul.Aktiv = aktiv;
    TfrmIFC485 form;
    form.SetModul(&modul);
    form.show();
    QTest::mouseDClick(form.LumiKette1, Qt::LeftButton, {}, QPoint(50, 8));
    QCOMPARE(sim.Sent(), TLines{"?05200000"});
    QCOMPARE(LitLamps(*form.LumiKette1), QStringLiteral("10000001"));
  }

  void IFC485DoubleClickWhileDisconnectedSendsNothing() {
    TSimIfcFixture sim;
    TIFCPorts& modul = sim.Add<TIFCPorts>(0x7F);
    TfrmIFC485 form;
    form.SetModul(&modul);
    form.LumiKette1DblClick(form.LumiKette1);
    QCOMPARE(sim.Bus.FaultCounts().Commands, uint64_t(0));
  }

  void LampsFollowThePolledCard() {
    TSimIfcFixture sim;
    auto& card = sim.Bus.CardAs<TSimPortExpansion>(0x7F);
    card.SetOutputs(0x5A);
    sim.Ifc.SetPollPriority(1);
    QVERIFY(sim.Connect());
    TIFCPorts& modul = sim.Add<TIFCPorts>(0x7F);
    TfrmIFC485 form;
    form.SetModul(&modul);
    modul.SetAktiv(true);
    QTRY_COMPARE(LitLamps(*form.LumiKette1), QStringLiteral("01011010"));
    card.SetOutputs(0x0F);
    QTRY_COMPARE(LitLamps(*form.LumiKette1), QStringLiteral("11110000"));
  }

  // However many answers the module decodes in one go, the window draws once, with the last
  // state.
  void ManyAnswersOneRefresh() {
    TSimIfcFixture sim;
    auto& card = sim.Bus.CardAs<TSimPortExpansion>(0x7F);
    card.SetOutputs(0x24);
    TIFCPorts& modul = sim.Add<TIFCPorts>(0x7F, false);
    QVERIFY(sim.Connect());
    TCountingIFC485 form;
    form.SetModul(&modul);
    QCoreApplication::processEvents();
    form.Refreshes = 0;
    for (int i = 0; i < 20; ++i)
      QVERIFY(modul.QueueCommand("?7F200000"));
    QVERIFY(sim.Ifc.BusMaster().WaitQueueEmpty(std::chrono::seconds(5)));
    QCOMPARE(form.Refreshes, 0);
    QVERIFY(form.RefreshPending());
    QCoreApplication::processEvents();
    QCOMPARE(form.Refreshes, 1);
    QCOMPARE(form.LumiKette1->LEDValue(), 0x24);
    QCoreApplication::processEvents();
    QCOMPARE(form.Refreshes, 1);
  }

  // A window bound to a module of another type ignores it rather than reading it as its own.
  void WindowIgnoresAModuleOfAnotherType() {
    TSimIfcFixture sim;
    TMXB01& modul = sim.Add<TMXB01>(0x1E);
    modul.Aktiv = true;
    modul.Ports = 0xFFFF;
    TfrmIFC485 form;
    form.SetModul(&modul);
    form.ModulDataChanged();
    form.BtnKette1->Button(1)->click();
    QCOMPARE(form.LumiKette1->LEDValue(), 0);
    QCOMPARE(int(modul.Ports), 0xFFFF);
  }
};

QTEST_MAIN(TModuleFormsTest)
#include "module_forms_test.moc"
