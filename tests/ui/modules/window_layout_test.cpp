// The windows as a user sees them: every control inside its page or panel, no two controls on
// top of each other, no caption cut off, the port table without scroll bars. With
// KAVOR_WINDOW_PICTURES set to a folder, the windows are also saved there as pictures, bound to
// modules on the simulated bus with some outputs on.

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <memory>

#include "modules/hdx01.h"
#include "modules/ifc_ports.h"
#include "modules/mxb01.h"
#include "modules/mxb02.h"
#include "modules/rs485_dummy.h"
#include "sim/sim_simple_cards.h"
#include "sim/sim_switch_cards.h"
#include "sim/sim_throttle_card.h"
#include "support/main_thread.h"
#include "ui/controls/btn_kette.h"
#include "ui/controls/lumi.h"
#include "ui/controls/lumi_kette.h"
#include "ui/controls/speedi.h"
#include "ui/modules/frm_dummy.h"
#include "ui/modules/frm_hdx01.h"
#include "ui/modules/frm_ifc485.h"
#include "ui/modules/frm_mxb01.h"
#include "ui/modules/frm_mxb02.h"
#include "ui/modules/module_forms.h"
#include "ui/modules/sim_ifc_fixture.h"

namespace {

QString Describe(const QWidget* w) {
  return QStringLiteral("%1 %2 at (%3,%4) %5x%6")
      .arg(w->metaObject()->className(), w->objectName())
      .arg(w->x())
      .arg(w->y())
      .arg(w->width())
      .arg(w->height());
}

QList<QWidget*> VisibleChildren(const QWidget* container) {
  QList<QWidget*> children;
  for (QWidget* child : container->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
    if (child->isVisible() && !child->isWindow()) children << child;
  return children;
}

// Faults of one page or panel, as readable lines.
QStringList LayoutFaults(const QWidget* container) {
  QStringList faults;
  const QList<QWidget*> children = VisibleChildren(container);
  for (int i = 0; i < children.size(); ++i) {
    const QWidget* child = children[i];
    if (!container->rect().contains(child->geometry()))
      faults << Describe(child) + " leaves " + Describe(container);
    for (int j = i + 1; j < children.size(); ++j)
      if (child->geometry().intersects(children[j]->geometry()))
        faults << Describe(child) + " overlaps " + Describe(children[j]);
    // Captions must fit: a control narrower or lower than it wants to be cuts its text.
    const bool hasCaption = qobject_cast<const QLabel*>(child) ||
                            qobject_cast<const QCheckBox*>(child) ||
                            qobject_cast<const QPushButton*>(child);
    if (hasCaption) {
      const QSize wanted = child->sizeHint();
      const bool tooNarrow = qobject_cast<const QPushButton*>(child)
                                 ? child->fontMetrics().horizontalAdvance(
                                       static_cast<const QPushButton*>(child)->text()) +
                                           6 >
                                       child->width()
                                 : wanted.width() > child->width();
      if (tooNarrow || wanted.height() > child->height() + 4)
        faults << Describe(child) + " cuts its caption (wants " + QString::number(wanted.width()) +
                      "x" + QString::number(wanted.height()) + ")";
    }
    if (const auto* edit = qobject_cast<const QLineEdit*>(child)) {
      if (edit->fontMetrics().horizontalAdvance(edit->text()) + 8 > edit->width())
        faults << Describe(child) + " cuts its text " + edit->text();
    }
  }
  return faults;
}

QStringList PageFaults(QTabWidget* pages) {
  QStringList faults;
  for (int i = 0; i < pages->count(); ++i) {
    pages->setCurrentIndex(i);
    QCoreApplication::processEvents();
    faults << LayoutFaults(pages->widget(i));
  }
  pages->setCurrentIndex(0);
  return faults;
}

// Lamp rows hold their buttons completely, lamp n over button n.
QStringList LampRowFaults(const QWidget* form) {
  QStringList faults;
  for (const TLumiKette* row : form->findChildren<TLumiKette*>()) {
    const auto* buttons = row->findChild<TBtnKette*>();
    if (!buttons) continue;
    if (!row->rect().contains(buttons->geometry()))
      faults << Describe(buttons) + " leaves " + Describe(row);
    for (int n = 0; n < buttons->BtnAnzahl(); ++n) {
      const QRect button = buttons->Button(n)->geometry().translated(buttons->pos());
      const QRect lamp = row->LampRect(n);
      if (lamp.right() < button.left() || lamp.left() > button.right())
        faults
            << QStringLiteral("%1: lamp %2 is not over its button").arg(row->objectName()).arg(n);
    }
  }
  return faults;
}

#define ExpectNone(faults)                                   \
  do {                                                       \
    const QStringList found = (faults);                      \
    QVERIFY2(found.isEmpty(), qPrintable(found.join('\n'))); \
  } while (false)

void SavePicture(QWidget& form, const QString& name) {
  const QString folder = qEnvironmentVariable("KAVOR_WINDOW_PICTURES");
  if (folder.isEmpty()) return;
  QDir().mkpath(folder);
  QVERIFY(form.grab().save(QDir(folder).filePath(name)));
}

}  // namespace

class TWindowLayoutTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { InstallQtMainThreadWaker(); }
  void cleanupTestCase() { RemoveQtMainThreadWaker(); }

  void IFC485() {
    TSimIfcFixture sim;
    sim.Bus.CardAs<TSimPortExpansion>(0x7F).SetOutputs(0x29);
    QVERIFY(sim.Connect());
    TIFCPorts& modul = sim.Add<TIFCPorts>(0x7F);
    std::unique_ptr<TfrmModulBase> form(CreateModulFormFor(&modul));
    auto* ifc = static_cast<TfrmIFC485*>(form.get());
    modul.SetAktiv(true);
    ifc->LumiKette1DblClick(ifc->LumiKette1);
    sim.Settle();
    form->show();
    ActivateWindow(*form);
    QCOMPARE(ifc->LumiKette1->LEDValue(), 0x29);
    ExpectNone(PageFaults(ifc->PageControl1));
    ExpectNone(LampRowFaults(form.get()));
    SavePicture(*form, "window_ifc485.png");
  }

  void Dummy() {
    TSimIfcFixture sim;
    QVERIFY(sim.Connect());
    TRS485Dummy& modul = sim.Add<TRS485Dummy>(0x40);
    modul.SetAktiv(true);
    std::unique_ptr<TfrmModulBase> form(CreateModulFormFor(&modul));
    form->show();
    ActivateWindow(*form);
    QVERIFY(form->chbAktiv->isChecked());
    ExpectNone(PageFaults(static_cast<TfrmDummy*>(form.get())->PageControl1));
    SavePicture(*form, "window_dummy.png");
  }

  void MXB01() {
    TSimIfcFixture sim;
    auto& card = sim.Bus.CardAs<TSimMXB01>(0x1E);
    card.SetOutputs(0x0A0F);
    QVERIFY(sim.Connect());
    TMXB01& modul = sim.Add<TMXB01>(0x1E);
    std::unique_ptr<TfrmModulBase> form(CreateModulFormFor(&modul));
    auto* mxb01 = static_cast<TfrmMXB01*>(form.get());
    form->show();
    ActivateWindow(*form);
    form->chbAktiv->click();
    sim.Settle();
    mxb01->BtnKette2->Button(9)->click();
    sim.Settle();
    QCOMPARE(mxb01->edTVTrigger->text(), QStringLiteral("250"));
    QVERIFY(mxb01->LumiKette1->LampLit(9));
    QStringList faults;
    for (QWidget* panel : {mxb01->Panel1, mxb01->Panel2, mxb01->Panel3, mxb01->Panel4})
      faults << LayoutFaults(panel);
    // The panels and the status bar all fit into the window.
    for (QWidget* part :
         {static_cast<QWidget*>(mxb01->Panel4), static_cast<QWidget*>(form->StatusBar1)})
      if (!form->rect().contains(part->geometry())) faults << Describe(part) + " leaves the window";
    ExpectNone(faults);
    ExpectNone(LampRowFaults(form.get()));
    SavePicture(*form, "window_mxb01.png");
  }

  void HDX01() {
    TSimIfcFixture sim;
    auto& card = sim.Bus.CardAs<TSimHDX01>(0x20);
    card.SetDetectors(0x2);
    card.SetLightBarriers(0xB5);
    card.SetAssignment(3, 1);
    card.SetAssignment(6, 4);
    QVERIFY(sim.Connect());
    THDX01& modul = sim.Add<THDX01>(0x20);
    std::unique_ptr<TfrmModulBase> form(CreateModulFormFor(&modul));
    auto* hdx = static_cast<TfrmHDX01*>(form.get());
    form->show();
    ActivateWindow(*form);
    form->chbAktiv->click();
    sim.Settle();
    hdx->Speedi1->findChild<QSlider*>("tbSpeed")->setValue(12);
    hdx->Speedi1->findChild<QToolButton*>("btnVor")->click();
    hdx->Speedi3->findChild<QSlider*>("tbSpeed")->setValue(5);
    hdx->Speedi3->findChild<QToolButton*>("btnRueck")->click();
    QVERIFY(QTest::qWaitFor([&] { return card.Speed(1) == 12 && card.Speed(3) == 5; }, 5000));
    hdx->cboLSList[0]->setCurrentIndex(2);
    hdx->cboLSList[4]->setCurrentIndex(1);
    sim.Settle();
    QVERIFY(hdx->ledGBM2->LEDEin());
    QStringList faults = PageFaults(hdx->PageControl1);
    for (QWidget* panel : {static_cast<QWidget*>(hdx->Panel1), static_cast<QWidget*>(hdx->pnlR1),
                           static_cast<QWidget*>(hdx->Panel3)})
      faults << LayoutFaults(panel);
    ExpectNone(faults);
    SavePicture(*form, "window_hdx01.png");
    hdx->PageControl1->setCurrentIndex(1);
    hdx->btnLSZ_LoadEEPROM->click();
    QCoreApplication::processEvents();
    SavePicture(*form, "window_hdx01_settings.png");
    form->DetachModul();
  }

  void MXB02() {
    TSimIfcFixture sim;
    auto& card = sim.Bus.CardAs<TSimMXB02>(0x32);
    TSimMXB02Config config = TSimMXB02Config::Factory();
    config.Inversion = 0x00F0;
    config.Flags1 = 0x0F00;
    config.Flags2 = 0x3000;
    config.PulseTime1[3] = 255;
    config.PulseTime2[3] = 200;
    card.SetConfig(config);
    card.SetOutputs(0x8421);
    QVERIFY(sim.Connect());
    TMXB02& modul = sim.Add<TMXB02>(0x32);
    std::unique_ptr<TfrmModulBase> form(CreateModulFormFor(&modul));
    auto* mxb02 = static_cast<TfrmMXB02*>(form.get());
    form->show();
    ActivateWindow(*form);
    form->chbAktiv->click();
    sim.Settle();
    QCOMPARE(mxb02->LumiKette1->LEDValue(), 0x8421);
    ExpectNone(PageFaults(mxb02->PageControl1));
    ExpectNone(LampRowFaults(form.get()));
    SavePicture(*form, "window_mxb02.png");

    mxb02->PageControl1->setCurrentWidget(mxb02->TabSheet2);
    mxb02->VST1->topLevelItem(1)->setSelected(true);
    mxb02->VST1->topLevelItem(3)->setSelected(true);
    mxb02->VST1Click();
    QCoreApplication::processEvents();
    QCOMPARE(mxb02->edTV1->text(), QStringLiteral("12750"));
    ExpectNone(LayoutFaults(mxb02->TabSheet2));
    // All sixteen rows and seven columns in view, every cell's text whole.
    QVERIFY(!mxb02->VST1->verticalScrollBar()->isVisible());
    QVERIFY(!mxb02->VST1->horizontalScrollBar()->isVisible());
    const QRect lastRow = mxb02->VST1->visualItemRect(mxb02->VST1->topLevelItem(15));
    QVERIFY(mxb02->VST1->viewport()->rect().contains(lastRow));
    const QFontMetrics metrics = mxb02->VST1->fontMetrics();
    for (int column = 0; column < TfrmMXB02::colCount; ++column) {
      const int width = mxb02->VST1->columnWidth(column);
      QVERIFY2(metrics.horizontalAdvance(mxb02->VST1->headerItem()->text(column)) + 4 <= width,
               qPrintable(mxb02->VST1->headerItem()->text(column)));
      QVERIFY(metrics.horizontalAdvance(QStringLiteral("12750")) + 4 <= width ||
              column == TfrmMXB02::colPort || column == TfrmMXB02::colON ||
              column == TfrmMXB02::colINV || column == TfrmMXB02::colBL ||
              column == TfrmMXB02::colMF);
    }
    // Each setting control stands over the column it changes.
    const int left = mxb02->VST1->x() + mxb02->VST1->frameWidth();
    auto columnSpan = [&](int column) {
      const int start = left + mxb02->VST1->header()->sectionPosition(column);
      return std::pair(start, start + mxb02->VST1->columnWidth(column));
    };
    const std::pair<QWidget*, int> over[] = {
        {mxb02->btnON, TfrmMXB02::colON},  {mxb02->btnINV, TfrmMXB02::colINV},
        {mxb02->edTV1, TfrmMXB02::colTV1}, {mxb02->edTv2, TfrmMXB02::colTV2},
        {mxb02->btnBL, TfrmMXB02::colBL},  {mxb02->btnMF, TfrmMXB02::colMF}};
    for (const auto& [control, column] : over) {
      const auto [start, end] = columnSpan(column);
      const int middle = control->geometry().center().x();
      QVERIFY2(middle >= start && middle < end, qPrintable(Describe(control)));
    }
    SavePicture(*form, "window_mxb02_settings.png");
  }
};

QTEST_MAIN(TWindowLayoutTest)
#include "window_layout_test.moc"
