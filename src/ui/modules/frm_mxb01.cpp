#include "ui/modules/frm_mxb01.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRegularExpression>
#include <QStatusBar>
#include <QVBoxLayout>
#include <cmath>
#include <string>

#include "modules/mxb01.h"
#include "support/conversions.h"
#include "support/message_sink.h"
#include "ui/controls/btn_kette.h"
#include "ui/controls/colors.h"
#include "ui/controls/lumi_kette.h"

namespace {

QFrame* MakePanel(QWidget* parent, const char* name, int height) {
  auto* panel = new QFrame(parent);
  panel->setObjectName(name);
  panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
  panel->setFixedHeight(height);
  return panel;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, int left, int top) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(name);
  label->move(left, top);
  label->adjustSize();
  return label;
}

}  // namespace

TfrmMXB01::TfrmMXB01() {
  setObjectName("frmMXB01");
  setWindowTitle("MXB01");
  SetOuterSize(232, 377);

  Panel1 = MakePanel(this, "Panel1", 69);
  Label1->setParent(Panel1);
  Label1->move(8, 12);
  Label1->adjustSize();
  edAdresse->setParent(Panel1);
  edAdresse->setGeometry(Label1->x() + Label1->width() + 4, 8, 41, 21);
  chbAktiv->setParent(Panel1);
  chbAktiv->move(8, 40);
  chbAktiv->adjustSize();
  chbPolling->setParent(Panel1);
  chbPolling->move(96, 40);
  chbPolling->adjustSize();

  Panel2 = MakePanel(this, "Panel2", 89);
  Label2 = MakeLabel(Panel2, "Label2", tr("Direkt"), 8, 8);
  LumiKette1 = MakeLampRow(Panel2, "LumiKette1", clLime, 16, 28, 196, BtnKette1, "BtnKette1");
  // The caption stands above the lamps, too far for a screen reader to take it as the name.
  BtnKette1->setAccessibleName(Label2->text());

  Panel3 = MakePanel(this, "Panel3", 85);
  Label3 = MakeLabel(Panel3, "Label3", tr("Impuls"), 8, 8);
  LumiKette2 = MakeLampRow(Panel3, "LumiKette2", clYellow, 16, 28, 196, BtnKette2, "BtnKette2");
  BtnKette2->setAccessibleName(Label3->text());

  Panel4 = MakePanel(this, "Panel4", 49);
  Label4 = MakeLabel(Panel4, "Label4", tr("Impulsdauer (msec) "), 8, 4);
  edTVTrigger = new QLineEdit("0", Panel4);
  edTVTrigger->setObjectName("edTVTrigger");
  edTVTrigger->setGeometry(8, 21, 65, 21);
  Label4->setBuddy(edTVTrigger);
  btnTVTrigger = new QPushButton(tr("Update"), Panel4);
  btnTVTrigger->setObjectName("btnTVTrigger");
  btnTVTrigger->setGeometry(80, 20, 75, 23);

  SetupStatusBar(2);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(Panel1);
  layout->addWidget(Panel2);
  layout->addWidget(Panel3);
  layout->addWidget(Panel4);
  layout->addStretch(1);
  layout->addWidget(StatusBar1);

  connect(BtnKette1, &TBtnKette::OnBtnNrClick, this, &TfrmMXB01::BtnKette1BtnNrClick);
  connect(BtnKette2, &TBtnKette::OnBtnNrClick, this, &TfrmMXB01::BtnKette2BtnNrClick);
  connect(LumiKette1, &TLumiKette::OnDblClick, this, &TfrmMXB01::LumiKette1DblClick);
  connect(btnTVTrigger, &QPushButton::clicked, this, [this] { btnTVTriggerClick(); });
}

TMXB01* TfrmMXB01::MXB01() const {
  return dynamic_cast<TMXB01*>(Modul());
}

void TfrmMXB01::ShowTVTrigger(int32_t value) {
  FTVTrigger = static_cast<uint16_t>(value);
  edTVTrigger->setText(QString::number(FTVTrigger));
}

void TfrmMXB01::SetModul(TBaseModul* modul) {
  TfrmModulBase::SetModul(modul);
  if (TMXB01* mxb01 = MXB01()) {
    ShowTVTrigger(mxb01->GetTVTrigger(0));
    ModulDataChanged();
  }
}

void TfrmMXB01::ModulDataChanged() {
  TMXB01* modul = MXB01();
  if (!modul) return;
  if (modul->Ports != LumiKette1->LEDValue()) LumiKette1->SetLEDValue(modul->Ports);
  if (modul->GetTVTrigger(0) != FTVTrigger) ShowTVTrigger(modul->GetTVTrigger(0));
}

void TfrmMXB01::BtnKette1BtnNrClick(QObject*, int btnNr) {
  TMXB01* modul = MXB01();
  if (!modul) return;
  LumiKette1->ToggleLED(btnNr);
  if (modul->Aktiv) modul->SwitchPort(btnNr, LumiKette1->LampLit(btnNr));
}

void TfrmMXB01::BtnKette2BtnNrClick(QObject*, int btnNr) {
  TMXB01* modul = MXB01();
  if (!modul) return;
  LumiKette2->ToggleLED(btnNr);
  if (modul->Aktiv) modul->TriggerPort(btnNr);
}

void TfrmMXB01::LumiKette1DblClick(QObject*) {
  RequestModulState();
}

void TfrmMXB01::btnTVTriggerClick() {
  TMXB01* modul = MXB01();
  if (!modul) return;
  const int32_t current = modul->GetTVTrigger(0);
  const std::string text = edTVTrigger->text().toStdString();
  int64_t value = TextToIntOrBool(text, current);
  // Whole numbers too large even for the reader must not fall back to the present duration and
  // pass for "ask the card": they are out of range like any other.
  static const QRegularExpression wholeNumber(QStringLiteral("^[+-]?[0-9]+$"));
  const QString trimmed = QString::fromStdString(Trim(text));
  if (wholeNumber.match(trimmed).hasMatch()) {
    const double wide = trimmed.toDouble();
    value = wide < 0 ? -1 : wide > kMaxTVTrigger ? kMaxTVTrigger + 1 : static_cast<int64_t>(wide);
  } else if (TextToIntOrBool(text, -1) == -1 && TextToIntOrBool(text, 0) == 0) {
    // Nor must numbers with decimals or an exponent that the reader refused as too large.
    bool isNumber = false;
    double wide = trimmed.toDouble(&isNumber);
    if (!isNumber) wide = QLocale::system().toDouble(trimmed, &isNumber);
    if (isNumber && !(std::fabs(wide) <= kMaxTVTrigger)) value = wide < 0 ? -1 : kMaxTVTrigger + 1;
  }
  if (value < 0 || value > kMaxTVTrigger) {
    ShowNotice(tr("Impulsdauer %1 ist nicht erlaubt: erlaubt sind 0 bis %2 msec.")
                   .arg(trimmed, QString::number(kMaxTVTrigger))
                   .toStdString());
    return;
  }
  if (value == current)
    modul->RequestTVTrigger();
  else
    modul->SetTVTriggerAll(static_cast<int32_t>(value));
}
