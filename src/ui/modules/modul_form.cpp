#include "ui/modules/modul_form.h"

#include <QCheckBox>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>

#include "modules/base_modul.h"
#include "support/conversions.h"
#include "support/message_sink.h"
#include "ui/controls/btn_kette.h"
#include "ui/controls/colors.h"
#include "ui/controls/lumi_kette.h"

TfrmModulBase::TfrmModulBase() : QWidget(nullptr, Qt::Window) {
  // A module window must not keep the program alive once the main window has closed.
  setAttribute(Qt::WA_QuitOnClose, false);
  QFont small = font();
  small.setPointSize(8);
  setFont(small);

  Label1 = new QLabel(tr("Adresse: "), this);
  Label1->setObjectName("Label1");
  edAdresse = new QLineEdit(this);
  edAdresse->setObjectName("edAdresse");
  edAdresse->setReadOnly(true);
  Label1->setBuddy(edAdresse);
  chbAktiv = new QCheckBox(tr("Aktiv"), this);
  chbAktiv->setObjectName("chbAktiv");
  chbPolling = new QCheckBox(tr("Polling "), this);
  chbPolling->setObjectName("chbPolling");
  chbPolling->setChecked(true);
  StatusBar1 = new QStatusBar(this);
  StatusBar1->setObjectName("StatusBar1");
  StatusBar1->setSizeGripEnabled(false);
  connect(chbAktiv, &QCheckBox::clicked, this, [this] { chbAktivClick(); });
  connect(chbPolling, &QCheckBox::clicked, this, [this] { chbPollingClick(); });
}

TfrmModulBase::~TfrmModulBase() {
  if (FModul) FModul->OnDataChanged = nullptr;
}

void TfrmModulBase::SetModul(TBaseModul* modul) {
  FModul = modul;
  if (!modul) return;
  ShowAddress();
  modul->OnDataChanged = [this](TBaseModul*) { ScheduleRefresh(); };
}

void TfrmModulBase::DetachModul() {
  if (FModul) FModul->OnDataChanged = nullptr;
  FModul = nullptr;
}

void TfrmModulBase::ShowAddress() {
  if (FModul) edAdresse->setText(QString::fromStdString(FModul->AdresseText()));
}

void TfrmModulBase::SetupStatusBar(int panels) {
  for (int i = 0; i < panels; ++i) {
    auto* panel = new QLabel(StatusBar1);
    panel->setObjectName(QString("StatusPanel%1").arg(i));
    panel->setFixedWidth(50);
    StatusBar1->addWidget(panel);
  }
}

void TfrmModulBase::SetOuterSize(int width, int height) {
  // A frame of 4 pixels on each side and a title bar of 19.
  constexpr int kFrameWidth = 8;
  constexpr int kFrameHeight = 27;
  resize(width - kFrameWidth, height - kFrameHeight);
}

void TfrmModulBase::RequestModulState() {
  if (FModul) FModul->QueueCommand("?" + IntToHexText(FModul->Adresse, 2) + "200000");
}

void TfrmModulBase::FormActivate() {
  BeginUpdate();
  try {
    if (FModul) {
      ShowAddress();
      chbAktiv->setChecked(FModul->Aktiv);
      chbPolling->setChecked(FModul->Polling);
    }
    FormActivateExtra();
  } catch (const std::exception& e) {
    // A failure here must not escape into the event loop; the window stays usable.
    ReportMessage(std::string(metaObject()->className()) + ".FormActivate: " + e.what(), 1);
  }
  EndUpdate();
}

void TfrmModulBase::chbAktivClick() {
  if (Updating() || !FModul) return;
  FModul->SetAktiv(chbAktiv->isChecked());
  BeginUpdate();
  chbAktiv->setChecked(FModul->Aktiv);
  EndUpdate();
  AktivClickExtra();
}

void TfrmModulBase::chbPollingClick() {
  if (Updating() || !FModul) return;
  FModul->SetPolling(chbPolling->isChecked());
}

void TfrmModulBase::ScheduleRefresh() {
  if (FRefreshPending) return;
  FRefreshPending = true;
  QMetaObject::invokeMethod(
      this,
      [this] {
        FRefreshPending = false;
        if (FModul) ModulDataChanged();
      },
      Qt::QueuedConnection);
}

bool TfrmModulBase::event(QEvent* e) {
  if (e->type() == QEvent::WindowActivate) FormActivate();
  return QWidget::event(e);
}

QTabWidget* TfrmModulBase::CreatePages(QWidget*& action, QWidget*& settings) {
  auto* pages = new QTabWidget(this);
  pages->setObjectName("PageControl1");
  action = new QWidget;
  action->setObjectName("TabSheet1");
  settings = new QWidget;
  settings->setObjectName("TabSheet2");
  pages->addTab(action, tr("Aktion"));
  pages->addTab(settings, tr("Einstellung"));
  // The address line was made before the pages but stands on the first of them: Tab reaches it
  // after the page tabs, and the rest of the page after it.
  QWidget::setTabOrder(pages->tabBar(), edAdresse);
  QWidget::setTabOrder(edAdresse, chbAktiv);
  QWidget::setTabOrder(chbAktiv, chbPolling);
  return pages;
}

void TfrmModulBase::PlaceAddressLine(QWidget* parent) {
  Label1->setParent(parent);
  Label1->move(8, 12);
  Label1->adjustSize();
  edAdresse->setParent(parent);
  edAdresse->setGeometry(Label1->x() + Label1->width() + 4, 8, 41, 21);
  chbAktiv->setParent(parent);
  chbAktiv->move(8, 36);
  chbAktiv->adjustSize();
  chbPolling->setParent(parent);
  chbPolling->move(8, 56);
  chbPolling->adjustSize();
}

TLumiKette* MakeLampRow(QWidget* parent, const char* name, const QColor& on, int count, int top,
                        int width, TBtnKette*& buttons, const char* buttonsName) {
  auto* row = new TLumiKette(parent);
  row->setObjectName(name);
  row->SetLEDAnzahl(count);
  row->SetLEDValue(0);
  row->SetLEDFarbeEin(on);
  row->SetLEDFarbeAus(clSilver);
  row->SetLEDStyle(TLumi::stRectangle);
  row->setGeometry(8, top, width, 49);
  buttons = new TBtnKette(row);
  buttons->setObjectName(buttonsName);
  buttons->SetBtnAnzahl(count);
  buttons->SetBtnZusatzEnable(false);
  buttons->move(0, 20);
  return row;
}
