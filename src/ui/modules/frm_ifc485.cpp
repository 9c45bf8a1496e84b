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

  PageControl1 = CreatePages(TabSheet1, TabSheet2);

  PlaceAddressLine(TabSheet1);

  Label2 = new QLabel(tr("Direkt"), TabSheet1);
  Label2->setObjectName("Label2");
  Label2->move(8, 84);
  Label2->adjustSize();
  LumiKette1 = MakeLampRow(TabSheet1, "LumiKette1", clLime, 8, 100, 105, BtnKette1, "BtnKette1");
  // The caption stands above the lamps, too far for a screen reader to take it as the name.
  BtnKette1->setAccessibleName(Label2->text());

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
