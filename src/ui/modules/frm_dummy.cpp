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
  setWindowTitle("Dummy Slave");
  SetOuterSize(234, 195);

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

  SetupStatusBar(3);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(PageControl1, 1);
  layout->addWidget(StatusBar1);
  SetModul(nullptr);
}
