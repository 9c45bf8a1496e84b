#include "ui/modules/frm_mxb02.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QStatusBar>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>
#include <string>
#include <utility>
#include <vector>

#include "bus/bus_master.h"
#include "modules/mxb02.h"
#include "support/conversions.h"
#include "support/diagnostics.h"
#include "support/message_sink.h"
#include "ui/controls/btn_kette.h"
#include "ui/controls/colors.h"
#include "ui/controls/lumi_kette.h"
#include "ui/controls/tree_helpers.h"
#include "ui/modules/up_down.h"

namespace {

constexpr int kPortRole = Qt::UserRole;
constexpr int kRowHeight = 18;
constexpr int kColumnWidths[TfrmMXB02::colCount] = {32, 30, 30, 50, 50, 30, 30};
const char* const kColumnTitles[TfrmMXB02::colCount] = {"Port", "ON", "INV", "TV1",
                                                        "TV2",  "BL", "MF"};

// Cells with grid lines, and rows low enough that all sixteen fit without a scroll bar.
class TGridDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    QStyledItemDelegate::paint(painter, option, index);
    painter->save();
    painter->setPen(option.palette.color(QPalette::Mid));
    const QRect& r = option.rect;
    painter->drawLine(r.topRight(), r.bottomRight());
    painter->drawLine(r.bottomLeft(), r.bottomRight());
    painter->restore();
  }

  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.setHeight(kRowHeight);
    return size;
  }
};

// Holds the window's update lock and stops a tree from redrawing for one change; a failure
// inside goes to the message sink instead of into the event loop.
template <class TChange>
void LockedChange(TfrmModulBase& form, QTreeWidget* tree, const char* operation,
                  const TChange& change) {
  form.BeginUpdate();
  if (tree) tree->setUpdatesEnabled(false);
  try {
    change();
  } catch (const std::exception& e) {
    ReportMessage(std::string(operation) + ":" + e.what());
  } catch (...) {
    ReportMessage(std::string(operation) + ":unknown failure");
  }
  if (tree) tree->setUpdatesEnabled(true);
  form.EndUpdate();
}

QPushButton* MakeFlagButton(QWidget* parent, const char* name, int left) {
  auto* button = new QPushButton("?", parent);
  button->setObjectName(name);
  button->setGeometry(left, 3, 25, 21);
  return button;
}

void MakeSpinner(QWidget* parent, const char* editName, const char* upDownName, int left,
                 QLineEdit*& edit, TUpDown*& upDown) {
  edit = new QLineEdit("0", parent);
  edit->setObjectName(editName);
  edit->setReadOnly(true);
  edit->setAlignment(Qt::AlignRight);
  // Wide enough for "12750", the longest pulse time.
  edit->setGeometry(left, 3, 43, 21);
  upDown = new TUpDown(parent);
  upDown->setObjectName(upDownName);
  upDown->setGeometry(left + 43, 3, 12, 21);
  upDown->SetMin(0);
  upDown->SetMax(255 * TfrmMXB02::kTVUnit);
  upDown->SetIncrement(TfrmMXB02::kTVUnit);
  upDown->SetPosition(0);
  upDown->SetAssociate(edit);
}

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& text, int left, int top,
                        int width) {
  auto* button = new QPushButton(text, parent);
  button->setObjectName(name);
  button->setGeometry(left, top, width, 21);
  return button;
}

QString BitText(uint32_t word, int bit) {
  return GetBit(word, static_cast<unsigned>(bit)) ? QStringLiteral("1") : QStringLiteral("0");
}

}  // namespace

TfrmMXB02::TfrmMXB02() {
  setObjectName("frmMXB02");
  setWindowTitle("MXB02");
  SetOuterSize(291, 472);

  PageControl1 = CreatePages(TabSheet1, TabSheet2);

  // Page "Aktion".
  Label1->setParent(TabSheet1);
  Label1->move(8, 12);
  Label1->adjustSize();
  edAdresse->setParent(TabSheet1);
  edAdresse->setGeometry(Label1->x() + Label1->width() + 4, 8, 41, 21);
  chbAktiv->setText(tr("Aktiv "));
  for (QCheckBox* box : {chbAktiv, chbPolling}) {
    box->setParent(TabSheet1);
    box->setLayoutDirection(Qt::RightToLeft);  // caption left of the box
  }
  chbAktiv->move(8, 38);
  chbAktiv->adjustSize();
  chbPolling->move(8, 58);
  chbPolling->adjustSize();
  // The two boxes line up on their right edges, where the boxes are.
  const int boxesRight = std::max(chbAktiv->width(), chbPolling->width());
  chbAktiv->setFixedWidth(boxesRight);
  chbPolling->setFixedWidth(boxesRight);

  Label2 = new QLabel(tr("Direkt"), TabSheet1);
  Label2->setObjectName("Label2");
  Label2->move(8, 88);
  Label2->adjustSize();
  LumiKette1 = MakeLampRow(TabSheet1, "LumiKette1", clLime, 16, 104, 196, BtnKette1, "BtnKette1");
  // The caption stands above the lamps, too far for a screen reader to take it as the name.
  BtnKette1->setAccessibleName(Label2->text());
  Label3 = new QLabel(tr("Impuls"), TabSheet1);
  Label3->setObjectName("Label3");
  Label3->move(8, 164);
  Label3->adjustSize();
  LumiKette2 = MakeLampRow(TabSheet1, "LumiKette2", clYellow, 16, 180, 196, BtnKette2, "BtnKette2");
  BtnKette2->setAccessibleName(Label3->text());

  // Page "Einstellung": each setting control stands above the column it changes.
  btnON = MakeFlagButton(TabSheet2, "btnON", 36);
  btnINV = MakeFlagButton(TabSheet2, "btnINV", 64);
  MakeSpinner(TabSheet2, "edTV1", "UpDown1", 92, edTV1, UpDown1);
  MakeSpinner(TabSheet2, "edTv2", "UpDown2", 148, edTv2, UpDown2);
  btnBL = MakeFlagButton(TabSheet2, "btnBL", 204);
  btnMF = MakeFlagButton(TabSheet2, "btnMF", 232);
  // Each setting control is named by the head of the column it stands above; its caption shows
  // only the value.
  const std::pair<QWidget*, const char*> columnOf[] = {
      {btnON, kColumnTitles[colON]},  {btnINV, kColumnTitles[colINV]},
      {edTV1, kColumnTitles[colTV1]}, {edTv2, kColumnTitles[colTV2]},
      {btnBL, kColumnTitles[colBL]},  {btnMF, kColumnTitles[colMF]}};
  for (const auto& [control, title] : columnOf)
    control->setAccessibleName(QString::fromLatin1(title));

  VST1 = new QTreeWidget(TabSheet2);
  VST1->setObjectName("VST1");
  VST1->setAccessibleName(tr("Ports"));
  VST1->setGeometry(0, 28, 265, 333);
  VST1->setColumnCount(colCount);
  QStringList titles;
  for (const char* title : kColumnTitles)
    titles << title;
  VST1->setHeaderLabels(titles);
  VST1->header()->setStretchLastSection(false);
  VST1->header()->setSectionsMovable(false);
  VST1->header()->setMinimumSectionSize(16);
  for (int column = 0; column < colCount; ++column) {
    VST1->header()->setSectionResizeMode(column, QHeaderView::Fixed);
    VST1->setColumnWidth(column, kColumnWidths[column]);
    VST1->headerItem()->setTextAlignment(column, Qt::AlignCenter);
  }
  VST1->setRootIsDecorated(false);
  VST1->setIndentation(0);
  VST1->setUniformRowHeights(true);
  VST1->setItemDelegate(new TGridDelegate(VST1));
  VST1->setSelectionMode(QAbstractItemView::ExtendedSelection);
  VST1->setSelectionBehavior(QAbstractItemView::SelectRows);
  VST1->setAllColumnsShowFocus(true);

  // The middle button takes the room up to the third: its caption is the longest.
  btnLoadAVRDump = MakeButton(TabSheet2, "btnLoadAVRDump", tr("Laden AVR"), 0, 365, 85);
  btnSaveDumpToEE = MakeButton(TabSheet2, "btnSaveDumpToEE", tr("Speichern AVR"), 88, 365, 89);
  btnResetFirmWare = MakeButton(TabSheet2, "btnResetFirmWare", tr("Restore AVR"), 180, 365, 85);

  SetupStatusBar(2);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(PageControl1, 1);
  layout->addWidget(StatusBar1);

  connect(BtnKette1, &TBtnKette::OnBtnNrClick, this, &TfrmMXB02::BtnKette1BtnNrClick);
  connect(BtnKette2, &TBtnKette::OnBtnNrClick, this, &TfrmMXB02::BtnKette2BtnNrClick);
  for (QPushButton* button : {btnON, btnINV, btnBL, btnMF})
    connect(button, &QPushButton::clicked, this, [this, button] { btnFlagsClick(button); });
  connect(edTV1, &QLineEdit::textChanged, this, [this] { edTVChange(edTV1); });
  connect(edTv2, &QLineEdit::textChanged, this, [this] { edTVChange(edTv2); });
  // Selecting with the keyboard shows the settings as a click does.
  connect(VST1, &QTreeWidget::itemClicked, this, [this] { VST1Click(); });
  connect(VST1, &QTreeWidget::itemSelectionChanged, this, [this] { VST1Click(); });
  connect(btnLoadAVRDump, &QPushButton::clicked, this, [this] { btnLoadAVRDumpClick(); });
  connect(btnSaveDumpToEE, &QPushButton::clicked, this, [this] { btnSaveDumpToEEClick(); });
  connect(btnResetFirmWare, &QPushButton::clicked, this, [this] { btnResetFirmWareClick(); });

  PageControl1->setCurrentWidget(TabSheet1);
}

TMXB02* TfrmMXB02::MXB02() const {
  return dynamic_cast<TMXB02*>(Modul());
}

int TfrmMXB02::NodePort(const QTreeWidgetItem* node) {
  if (!node) return -1;
  bool ok = false;
  const int port = node->data(0, kPortRole).toInt(&ok);
  return ok ? port : -1;
}

void TfrmMXB02::SetModul(TBaseModul* modul) {
  TfrmModulBase::SetModul(modul);
  FillVST1();
  if (MXB02()) ModulDataChanged();
}

void TfrmMXB02::DetachModul() {
  TfrmModulBase::DetachModul();
  // The rows must not keep pointing at a module that is about to go.
  FillVST1();
}

void TfrmMXB02::FillVST1() {
  LockedChange(*this, VST1, "", [this] {
    VST1->clear();
    for (int port = 0; port < TMXB02::kPortCount; ++port) {
      QTreeWidgetItem* node = AddTreeNode(VST1, Modul(), nullptr);
      node->setData(0, kPortRole, port);
      for (int column = 0; column < colCount; ++column)
        node->setTextAlignment(column, Qt::AlignCenter);
      RefreshNode(node);
    }
  });
}

QString TfrmMXB02::VST1GetText(const QTreeWidgetItem* node, int column) const {
  const TMXB02* modul = MXB02();
  if (!modul) return {};
  const int p = NodePort(node);
  if (p < 0 || p >= TMXB02::kPortCount) {
    DebugOutText("index " + std::to_string(p) + "!");
    return {};
  }
  switch (column) {
    case colPort:
      return QString::number(p);
    case colON:
      return BitText(modul->Ports, p);
    case colINV:
      return BitText(modul->Invertiert, p);
    case colTV1:
      return QString::number(modul->GetTVTrigger1(p) * kTVUnit);
    case colTV2:
      return QString::number(modul->GetTVTrigger2(p) * kTVUnit);
    case colBL:
      return BitText(modul->Typ1, p);
    case colMF:
      return BitText(modul->Typ2, p);
    default:
      return {};
  }
}

void TfrmMXB02::RefreshNode(QTreeWidgetItem* node) {
  // Unchanged texts are not written again, so a refresh repaints only what changed.
  for (int column = 0; column < colCount; ++column)
    node->setText(column, VST1GetText(node, column));
}

void TfrmMXB02::RefreshVST1() {
  for (QTreeWidgetItem* node : TreeNodes(VST1))
    RefreshNode(node);
}

void TfrmMXB02::FormActivateExtra() {
  const TBaseModul* modul = Modul();
  if (!modul) return;
  const int ifc = modul->BusMaster ? modul->BusMaster->IfcNumber() : 0;
  setWindowTitle(QString::fromStdString("MXB02 [$" + IntToHexText(ifc, 2) + "/$" +
                                        IntToHexText(modul->Adresse, 2) + "] "));
}

void TfrmMXB02::AktivClickExtra() {
  TMXB02* modul = MXB02();
  if (!modul || FDumpRequested || !modul->Aktiv) return;
  FDumpRequested = true;
  modul->LoadDump();
}

void TfrmMXB02::ModulDataChanged() {
  TMXB02* modul = MXB02();
  if (!modul) return;
  LockedChange(*this, nullptr, "TfrmMXB02.ModulDataChanged", [this, modul] {
    if (modul->Ports != LumiKette1->LEDValue()) LumiKette1->SetLEDValue(modul->Ports);
    RefreshVST1();
    // A flag button turns the bit its caption shows: a caption left from before the card's
    // settings were read would turn it the wrong way.
    ShowSelectedSettings();
  });
}

void TfrmMXB02::BtnKette1BtnNrClick(QObject*, int btnNr) {
  TMXB02* modul = MXB02();
  if (!modul) return;
  LumiKette1->ToggleLED(btnNr);
  if (modul->Aktiv) modul->SwitchPort(btnNr, LumiKette1->LampLit(btnNr), false);
}

void TfrmMXB02::BtnKette2BtnNrClick(QObject*, int btnNr) {
  TMXB02* modul = MXB02();
  if (!modul) return;
  LumiKette2->ToggleLED(btnNr);
  if (modul->Aktiv) modul->TriggerPort(btnNr);
}

void TfrmMXB02::VST1Click() {
  if (!MXB02()) return;
  LockedChange(*this, nullptr, "TfrmMXB02.VST1Click", [this] { ShowSelectedSettings(); });
}

void TfrmMXB02::ShowSelectedSettings() {
  const TMXB02* modul = MXB02();
  if (!modul) return;
  TvstHelper helper;
  ForEachSelectedNode(VST1, &TvstHelper::Collect, &helper);
  if (helper.Nodes.empty()) return;
  const int p = NodePort(helper.Nodes.back());
  if (p < 0 || p >= TMXB02::kPortCount) return;
  btnON->setText(BitText(modul->Ports, p));
  btnINV->setText(BitText(modul->Invertiert, p));
  btnBL->setText(BitText(modul->Typ1, p));
  btnMF->setText(BitText(modul->Typ2, p));
  UpDown1->SetPosition(modul->GetTVTrigger1(p) * kTVUnit);
  UpDown2->SetPosition(modul->GetTVTrigger2(p) * kTVUnit);
}

void TfrmMXB02::btnFlagsClick(QObject* sender) {
  TMXB02* modul = MXB02();
  if (!modul) return;
  QPushButton* button = nullptr;
  uint16_t word = 0;
  void (TMXB02::*setter)(uint16_t) = nullptr;
  if (sender == btnON) {
    button = btnON, word = modul->Ports, setter = &TMXB02::SetPorts;
  } else if (sender == btnINV) {
    button = btnINV, word = modul->Invertiert, setter = &TMXB02::SetInvertiert;
  } else if (sender == btnBL) {
    button = btnBL, word = modul->Typ1, setter = &TMXB02::SetTyp1;
  } else if (sender == btnMF) {
    button = btnMF, word = modul->Typ2, setter = &TMXB02::SetTyp2;
  } else {
    return;
  }
  const std::vector<QTreeWidgetItem*> nodes = TvstHelper::Selected(VST1);
  if (nodes.empty()) return;
  const bool on = button->text() != "1";
  button->setText(on ? "1" : "0");
  uint32_t w = word;
  for (const QTreeWidgetItem* node : nodes) {
    const int p = NodePort(node);
    if (p < 0 || p >= TMXB02::kPortCount) continue;
    w = on ? SetBit(w, static_cast<unsigned>(p)) : ClearBit(w, static_cast<unsigned>(p));
  }
  (modul->*setter)(static_cast<uint16_t>(w));
  RefreshVST1();
}

void TfrmMXB02::edTVChange(QObject* sender) {
  TMXB02* modul = MXB02();
  if (!modul || Updating() || (sender != edTV1 && sender != edTv2)) return;
  LockedChange(*this, VST1, "TfrmMXB02.edTVChange", [this, modul, sender] {
    for (QTreeWidgetItem* node : TvstHelper::Selected(VST1)) {
      const int p = NodePort(node);
      if (sender == edTV1)
        modul->SetTVTrigger1(p, UpDown1->Position() / kTVUnit);
      else
        modul->SetTVTrigger2(p, UpDown2->Position() / kTVUnit);
      RefreshNode(node);
    }
  });
}

void TfrmMXB02::btnLoadAVRDumpClick() {
  if (TMXB02* modul = MXB02()) modul->LoadDump();
}

void TfrmMXB02::btnSaveDumpToEEClick() {
  if (TMXB02* modul = MXB02()) modul->SaveDumpToEE();
}

void TfrmMXB02::btnResetFirmWareClick() {
  if (TMXB02* modul = MXB02()) modul->RestoreFirmware();
}
