#include "ui/modules/frm_ifc485.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QStatusBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include "modules/ifc_ports.h"
#include "ui/controls/btn_kette.h"
#include "ui/controls/colors.h"
#include "ui/controls/lumi_kette.h"

TfrmIFC485::TfrmIFC485() {
  setObjectName("frmIFC485");
  setWindowTitle("IFC485");
  SetOuterSize(214, 267);

  PageControl1 = new QTabWidget(this);
  PageControl1->setObjectName("PageControl1");
  TabSheet1 = new QWidget;
  TabSheet1->setObjectName("TabSheet1");
  TabSheet2 = new QWidget;
  TabSheet2->setObjectName("TabSheet2");
  PageControl1->addTab(TabSheet1, "Aktion");
  PageControl1->addTab(TabSheet2, "Einstellung");

  Label1->setParent(TabSheet1);
  Label1->move(8, 12);
  Label1->adjustSize();
  edAdresse->setParent(TabSheet1);
  edAdresse->setGeometry(Label1->x() + Label1->width() + 4, 8, 41, 21);
  chbAktiv->setParent(TabSheet1);
  chbAktiv->move(8, 36);
  chbAktiv->adjustSize();
  chbPolling->setParent(TabSheet1);
  chbPolling->move(8, 56);
  chbPolling->adjustSize();

  Label2 = new QLabel("Direkt", TabSheet1);
  Label2->setObjectName("Label2");
  Label2->move(8, 84);
  Label2->adjustSize();
  LumiKette1 = new TLumiKette(TabSheet1);
  LumiKette1->setObjectName("LumiKette1");
  LumiKette1->SetLEDAnzahl(8);
  LumiKette1->SetLEDValue(0);
  LumiKette1->SetLEDFarbeEin(clLime);
  LumiKette1->SetLEDFarbeAus(clSilver);
  LumiKette1->SetLEDStyle(TLumi::stRectangle);
  LumiKette1->setGeometry(8, 100, 105, 49);
  BtnKette1 = new TBtnKette(LumiKette1);
  BtnKette1->setObjectName("BtnKette1");
  BtnKette1->SetBtnAnzahl(8);
  BtnKette1->SetBtnZusatzEnable(false);
  BtnKette1->move(0, 20);

  SetupStatusBar(3);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(PageControl1, 1);
  layout->addWidget(StatusBar1);

  connect(BtnKette1, &TBtnKette::OnBtnNrClick, this, &TfrmIFC485::BtnKette1BtnNrClick);
  connect(LumiKette1, &TLumiKette::OnDblClick, this, &TfrmIFC485::LumiKette1DblClick);
  SetModul(nullptr);
}

TIFCPorts* TfrmIFC485::IFCPorts() const {
  return dynamic_cast<TIFCPorts*>(Modul());
}

void TfrmIFC485::SetModul(TBaseModul* modul) {
  TfrmModulBase::SetModul(modul);
  ModulDataChanged();
}

void TfrmIFC485::ModulDataChanged() {
  TIFCPorts* modul = IFCPorts();
  if (!modul) return;
  if (modul->Ports != LumiKette1->LEDValue()) LumiKette1->SetLEDValue(modul->Ports);
}

void TfrmIFC485::BtnKette1BtnNrClick(QObject*, int btnNr) {
  TIFCPorts* modul = IFCPorts();
  if (!modul) return;
  LumiKette1->ToggleLED(btnNr);
  if (modul->Aktiv) modul->TogglePort(btnNr);
}

void TfrmIFC485::LumiKette1DblClick(QObject*) {
  RequestModulState();
}
