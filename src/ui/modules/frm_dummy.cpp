#include "ui/modules/frm_dummy.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QStatusBar>
#include <QTabWidget>
#include <QVBoxLayout>

// The boxes show the module's own flags on every activation, as in the other module windows:
// a window that showed them unchecked while the module is live and polling would tell the user
// the opposite of what the module does.
TfrmDummy::TfrmDummy() {
  setObjectName("frmDummy");
  setWindowTitle(tr("Dummy Slave"));
  SetOuterSize(234, 195);

  PageControl1 = CreatePages(TabSheet1, TabSheet2);

  PlaceAddressLine(TabSheet1);

  SetupStatusBar(3);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(PageControl1, 1);
  layout->addWidget(StatusBar1);
  SetModul(nullptr);
}
