#include "ui/main_window.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTreeWidget>
#include <algorithm>

#include "bus/bus_interface.h"
#include "bus/serial_factory.h"
#include "model/moduls_list.h"
#include "model/traffic_log.h"
#include "support/conversions.h"
#include "support/diagnostics.h"
#include "support/message_sink.h"
#include "support/paths.h"
#include "ui/main_window_internal.h"

using namespace main_window_detail;

// ---- interface group -------------------------------------------------------------------------

std::string TfrmVelmoraConfig::PortText() const {
  return Trim(S(cboPort->currentText()));
}

void TfrmVelmoraConfig::ShowIFCData(TRS485IFC* ifc) {
  Lock();
  try {
    if (!ifc) {
      lblIFC->setText("");
      chbConnect->setChecked(false);
      grpInterface->setEnabled(false);
      grpTest->setEnabled(false);
    } else {
      grpInterface->setEnabled(true);
      grpTest->setEnabled(true);
      const std::string name = "IFC(" + std::to_string(ifc->IfcNumber()) + ") ";
      lblIFC->setText(Q(name));
      // The status bar's second panel shows what was received last; while the device is gone
      // nothing is, and it says what the interface waits for.
      if (ifc->BusMaster().WaitingForDevice())
        SetStatus(1, name + S(tr(kWaitingForDevice)));
      else if (StatusPanel[1]->text().contains(tr(kWaitingForDevice)))
        SetStatus(1, "");
      int index = cboBaud->findText(QString::number(ifc->Baud()));
      cboBaud->setCurrentIndex(index >= 0 ? index : cboBaud->findText("9600"));
      const std::string port = ifc->Port();
      index = cboPort->findText(Q(port));
      if (index >= 0) {
        cboPort->setCurrentIndex(index);
      } else if (IsDevicePath(port) || !ifc->UsbIdentity().Empty()) {
        // A typed path is not in the list but is what the interface uses. So is the name of a
        // USB adapter that may be back under another one: the connect looks for it there.
        cboPort->setCurrentIndex(-1);
        cboPort->setEditText(Q(port));
      } else {
        cboPort->setCurrentIndex(0);
      }
      index = cboTimeOut->findText(QString::number(ifc->Timeout()));
      cboTimeOut->setCurrentIndex(index >= 0 ? index : 1);
      ifc->SetTimeout(
          static_cast<uint32_t>(std::max(TextToInt(S(cboTimeOut->currentText()), 200), 0)));
      index = cboPollPrior->findText(QString::number(ifc->PollPriority()));
      cboPollPrior->setCurrentIndex(index >= 0 ? index : 3);
      ifc->SetPollPriority(
          static_cast<uint32_t>(std::max(TextToInt(S(cboPollPrior->currentText()), 10), 1)));
      // Waiting for a vanished device is still being connected: unticking ends it.
      chbConnect->setChecked(ifc->Active() || ifc->BusMaster().WaitingForDevice());
    }
  } catch (const std::exception& e) {
    ReportMessage(std::string("TfrmVelmoraConfig.ShowIFCData: ") + e.what(), 1);
  }
  Unlock();
  UpdateIFCControls();
}

void TfrmVelmoraConfig::UpdateIFCControls() {
  TRS485IFC* ifc = SelectedIFC();
  if (!ifc) {
    for (QWidget* w : std::initializer_list<QWidget*>{cboBaud, cboPort, cboTimeOut, cboPollPrior,
                                                      edSenden, btnSenden, chbIFCEnabled})
      w->setEnabled(false);
  } else {
    const std::string port = PortText();
    chbConnect->setEnabled(!port.empty() && port != kNoPort);
    const bool disconnected = !ifc->Active();
    for (QWidget* w : std::initializer_list<QWidget*>{cboBaud, cboPort, cboTimeOut, cboPollPrior})
      w->setEnabled(disconnected);
    edSenden->setEnabled(!disconnected);
    btnSenden->setEnabled(!disconnected);
    chbIFCEnabled->setEnabled(true);
    Lock();
    chbIFCEnabled->setChecked(ifc->Enabled());
    Unlock();
  }
  SetStatus(2, ModellDir + PathDelimiter() + ModellName);
  UpdateModifiedMark();
}

void TfrmVelmoraConfig::TakeTypedPort() {
  TRS485IFC* ifc = SelectedIFC();
  if (ifc && PortText() != ifc->Port()) IFCDataChange(cboPort);
}

void TfrmVelmoraConfig::IFCDataChange(QObject* sender) {
  if (UpdateLock > 0) return;
  TRS485IFC* ifc = SelectedIFC();
  if (!ifc) return;
  Lock();
  try {
    ifc->SetActive(false);
    if (sender == cboBaud) {
      ifc->SetBaud(static_cast<uint32_t>(std::max(TextToInt(S(cboBaud->currentText()), 9600), 0)));
    } else if (sender == cboPort) {
      ifc->SetPort(PortText());
      // The port the user picks is taken as picked: the adapter behind it is learnt at the
      // connect, and the one before is no longer looked for.
      ifc->SetUsbIdentity(TUsbIdentity());
      ifc->SetUsbSocket({});
    } else if (sender == cboTimeOut) {
      ifc->SetTimeout(
          static_cast<uint32_t>(std::max(TextToInt(S(cboTimeOut->currentText()), 200), 0)));
    } else if (sender == cboPollPrior) {
      ifc->SetPollPriority(
          static_cast<uint32_t>(std::max(TextToInt(S(cboPollPrior->currentText()), 10), 1)));
    }
  } catch (const std::exception& e) {
    ReportMessage(std::string("TfrmVelmoraConfig.IFCDataChange: ") + e.what(), 1);
  }
  Unlock();
  ShowIFCData(ifc);
  UpdateIFCControls();
  RefreshTree();
}

void TfrmVelmoraConfig::ConnectIFC(bool connect) {
  Lock();
  VSTModuls->setUpdatesEnabled(false);
  TRS485IFC* ifc = SelectedIFC();
  if (ifc) {
    try {
      ifc->SetActive(false);
      if (connect) {
        ifc->SetBaud(
            static_cast<uint32_t>(std::max(TextToInt(S(cboBaud->currentText()), 9600), 0)));
        ifc->SetPort(PortText());
        ifc->SetActive(true);
      }
    } catch (const std::exception& e) {
      ShowNotice(e.what());
    }
    chbConnect->setChecked(ifc->Active());
  }
  VSTModuls->setUpdatesEnabled(true);
  Unlock();
  if (ifc) ShowIFCData(ifc);
  UpdateIFCControls();
  RefreshTree();
}

void TfrmVelmoraConfig::chbConnectClick() {
  if (UpdateLock > 0) return;
  ConnectIFC(chbConnect->isChecked());
}

void TfrmVelmoraConfig::chbIFCEnabledClick() {
  if (UpdateLock > 0) return;
  if (TRS485IFC* ifc = SelectedIFC()) {
    ifc->SetEnabled(chbIFCEnabled->isChecked());
    // Clearing the flag also disconnected it.
    ShowIFCData(ifc);
    RefreshTree();
  }
  UpdateIFCControls();
}

void TfrmVelmoraConfig::BindInterface(TRS485IFC* ifc, bool showReceived) {
  if (!ifc) return;
  QPointer<TfrmVelmoraConfig> self(this);
  if (showReceived)
    ifc->BusMaster().SetOnReceived([self](const std::string& text) {
      if (self) self->ShowReceived(text);
    });
  // Every exchange goes into the statistics of the tree and the traffic monitor.
  ifc->BusMaster().SetOnExchanges([self](const TExchangeBatch& batch) {
    if (self && self->FTraffic) self->FTraffic->Add(batch);
  });
  // The port vanished, or came back (perhaps under a new name): "Connect", the port and the
  // tree show it at once.
  auto show = [self, ifc] {
    if (!self) return;
    if (self->SelectedIFC() == ifc) self->ShowIFCData(ifc);
    self->RefreshTree();
  };
  ifc->BusMaster().OnConnectionLost = show;
  ifc->BusMaster().OnReconnected = show;
}

void TfrmVelmoraConfig::NewIFC() {
  CommitTreeEditor();
  Lock();
  VSTModuls->setUpdatesEnabled(false);
  VSTModuls->clear();
  try {
    TModulsItem* item = ModulsList().AddIFC("TRS485IFC");
    if (item) BindInterface(item->IFC, false);
    RebuildTree();
    SelectItem(item);
  } catch (const std::exception& e) {
    ReportMessage(std::string("TfrmVelmoraConfig.NewIFC: ") + e.what(), 1);
  }
  VSTModuls->setUpdatesEnabled(true);
  Unlock();
  ShowIFCData(SelectedIFC());
  UpdateIFCControls();
}

void TfrmVelmoraConfig::FillPortList() {
  Lock();
  cboPort->clear();
  std::vector<TPortInfo> real = EnumRealComPorts();
  real.erase(std::remove_if(real.begin(), real.end(),
                            [](const TPortInfo& p) { return IsPseudoTerminal(p.Name); }),
             real.end());
  std::vector<TPortInfo> ports = real;
  // Not the real ports once more: each is opened to see whether it can be, which takes long
  // on some systems.
  for (const TPortInfo& port : RegisteredPortInfos()) {
    const bool isReal = std::any_of(real.begin(), real.end(),
                                    [&](const TPortInfo& r) { return r.Name == port.Name; });
    if (!isReal && !IsPseudoTerminal(port.Name)) ports.push_back(port);
  }
  for (const TPortInfo& port : ports) {
    cboPort->addItem(Q(port.Name));
    cboPort->setItemData(cboPort->count() - 1, Q(port.Description), kPortDescriptionRole);
    cboPort->setItemData(cboPort->count() - 1, Q(port.Description), Qt::ToolTipRole);
  }
  // The popup is as wide as the longest entry, so that each adapter's identity can be read.
  cboPort->view()->setMinimumWidth(cboPort->view()->sizeHintForColumn(0) +
                                   2 * cboPort->view()->frameWidth() + 24);
  Unlock();
  if (real.empty()) ShowNotice(S(tr("kein Serielles Port vorhanden!")));
  Lock();
  cboPort->insertItem(0, kNoPort);
  cboPort->setCurrentIndex(0);
  Unlock();
}
