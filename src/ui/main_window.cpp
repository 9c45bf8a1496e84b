#include "ui/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QSplitter>
#include <QStatusBar>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "bus/bus_interface.h"
#include "bus/serial_factory.h"
#include "model/address_change.h"
#include "model/module_search.h"
#include "model/moduls_list.h"
#include "model/workflow_guard.h"
#include "modules/base_modul.h"
#include "support/conversions.h"
#include "support/diagnostics.h"
#include "support/paths.h"
#include "support/waits.h"
#include "ui/controls/tree_helpers.h"
#include "ui/main_icons.h"
#include "ui/modules/modul_form.h"
#include "ui/modules/module_forms.h"

namespace {

constexpr const char* kNoPort = "-KEIN-";
constexpr int kPortDescriptionRole = Qt::UserRole + 7;

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

std::string S(const QString& text) {
  return text.toStdString();
}

// A line of bus text as a memo or status line: no CR, and no LF that would start an empty line.
std::string OneLine(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text)
    if (c != '\r' && c != '\n') out += c;
  return out;
}

// A report may hold CR LF or a lone CR; the memo wants LF.
QString AsMemoText(const std::string& text) {
  QString out = Q(text);
  out.replace("\r\n", "\n");
  out.replace('\r', '\n');
  return out;
}

// Pseudo-terminals are no bus interfaces; a user who wants one types its path.
bool IsPseudoTerminal(const std::string& name) {
  return name.find("pts/") != std::string::npos || StartsWith(name, "pty") ||
         StartsWith(name, "/dev/pty") || name.find("ptmx") != std::string::npos;
}

// A device path the user typed (or a model holds) rather than a name from the port list.
bool IsDevicePath(const std::string& name) {
  return name.find('/') != std::string::npos || name.find('\\') != std::string::npos;
}

// "date time" in the platform's short form, with seconds: the log is read against bus timing.
QString LogStamp() {
  const QLocale locale = QLocale::system();
  QString timeFormat = locale.timeFormat(QLocale::ShortFormat);
  if (!timeFormat.contains('s')) {
    const int minutes = timeFormat.indexOf("mm");
    if (minutes >= 0) timeFormat.insert(minutes + 2, ":ss");
  }
  const QDateTime now = QDateTime::currentDateTime();
  return locale.toString(now.date(), QLocale::ShortFormat) + " " +
         locale.toString(now.time(), timeFormat);
}

// The port list shows each port with its description; the edit field holds the name alone.
class TPortItemDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

 protected:
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
    QStyledItemDelegate::initStyleOption(option, index);
    const QString description = index.data(kPortDescriptionRole).toString();
    if (!description.isEmpty()) option->text += "   " + description;
  }
};

// Opens an editor only where the window allows editing, and draws the grid: a thin line right of
// and below every cell.
class TTreeEditDelegate : public QStyledItemDelegate {
 public:
  TTreeEditDelegate(TfrmVelmoraConfig* form, QTreeWidget* tree)
      : QStyledItemDelegate(tree), FForm(form), FTree(tree) {}

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    QStyledItemDelegate::paint(painter, option, index);
    painter->save();
    painter->setPen(QColor(212, 212, 212));
    const QRect r = option.rect;
    painter->drawLine(r.topRight(), r.bottomRight());
    painter->drawLine(r.bottomLeft(), r.bottomRight());
    painter->restore();
  }

  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                        const QModelIndex& index) const override {
    if (!FForm->VSTModulsEditing(FTree->itemFromIndex(index), index.column())) return nullptr;
    return QStyledItemDelegate::createEditor(parent, option, index);
  }

 private:
  TfrmVelmoraConfig* FForm;
  QTreeWidget* FTree;
};

TModulsItem* ItemOf(const QTreeWidgetItem* node) {
  return static_cast<TModulsItem*>(NodeObject(node));
}

}  // namespace

TfrmVelmoraConfig::TfrmVelmoraConfig(const std::string& modellDir)
    : QMainWindow(nullptr), FDefaultModellDir(modellDir) {
  setObjectName("frmVelmoraConfig");
  setWindowTitle("KavorConfig");
  setWindowIcon(QIcon(NodeImage(0)));
  InputBox = [this](const std::string& caption, const std::string& prompt,
                    const std::string& preset) -> std::optional<std::string> {
    bool ok = false;
    const QString text =
        QInputDialog::getText(this, Q(caption), Q(prompt), QLineEdit::Normal, Q(preset), &ok);
    if (!ok) return std::nullopt;
    return S(text);
  };
  BuildMenus();
  BuildControls();
  resize(800, 530);
  FormCreate();
}

TfrmVelmoraConfig::~TfrmVelmoraConfig() {
  FormDestroy();
}

TModulsList& TfrmVelmoraConfig::ModulsList() {
  return FDispatcher->ModulsList();
}

// ---- building the window -----------------------------------------------------------------

void TfrmVelmoraConfig::BuildMenus() {
  auto action = [this](const char* name, const QString& text, auto handler) {
    auto* a = new QAction(text, this);
    a->setObjectName(name);
    connect(a, &QAction::triggered, this, handler);
    return a;
  };
  auto close = [this] { this->close(); };
  auto properties = [this] { VSTModulsDblClick(); };
  auto search = [this] { tbtnSuchenClick(); };
  auto remove = [this] { tbtnModulDELClick(); };

  mnuOeffnen1 = action("mnuOeffnen1", "Öffnen", [this] { tbtnLoadFromFileClick(); });
  mnuSpeichern1 = action("mnuSpeichern1", "Speichern", [this] { tbtnSaveToFileClick(); });
  mnuBeenden1 = action("mnuBeenden1", "Beenden", close);
  mnuModulEigenschaften1 = action("mnuModulEigenschaften1", "Modul Eigenschaften", properties);
  ModuleSuchen1 = action("ModuleSuchen1", "Module suchen", search);
  mnuModulEntfernen1 = action("mnuModulEntfernen1", "Modul Entfernen", remove);
  mnuModulAdd = action("mnuModulAdd", "(Modul hinzufügen)", [this] { mnuModulAddClick(); });
  Ueber1 = action("Ueber1", "Über...", [this] { Ueber1Click(); });

  QMenu* datei = menuBar()->addMenu("Datei");
  datei->setObjectName("mnuDatei1");
  datei->addAction(mnuOeffnen1);
  datei->addAction(mnuSpeichern1);
  datei->addSeparator();
  datei->addAction(mnuBeenden1);
  QMenu* module = menuBar()->addMenu("Module");
  module->setObjectName("mnuModule1");
  module->addAction(mnuModulEigenschaften1);
  module->addAction(ModuleSuchen1);
  module->addAction(mnuModulEntfernen1);
  module->addAction(mnuModulAdd);
  QMenu* info = menuBar()->addMenu("Info");
  info->setObjectName("mnuInfo1");
  info->addAction(Ueber1);

  auto tool = [&](const char* name, const char* hint, TToolImage image, auto handler) {
    QAction* a = action(name, hint, handler);
    a->setIcon(ToolImage(image));
    a->setToolTip(hint);
    return a;
  };
  tbtnExit = tool("tbtnExit", "Exit", tiExit, close);
  tbtnLoadFromFile =
      tool("tbtnLoadFromFile", "Modell Öffnen", tiOpen, [this] { tbtnLoadFromFileClick(); });
  tbtnSaveToFile =
      tool("tbtnSaveToFile", "Modell Speichern", tiSave, [this] { tbtnSaveToFileClick(); });
  tbtnIFCNeu = tool("tbtnIFCNeu", "Neues Interface", tiNewIFC, [this] { tbtnIFCNeuClick(); });
  tbtnSuchen = tool("tbtnSuchen", "Module zum Interrface ermitteln", tiSearch, search);
  tbtnModulDEL = tool("tbtnModulDEL", "Interrface/Modul entfernen", tiRemove, remove);
  btnTest = action("btnTest", "(Test, Add div. Module)", [this] { btnTestClick(); });

  ToolBar1 = addToolBar("ToolBar1");
  ToolBar1->setObjectName("ToolBar1");
  ToolBar1->setMovable(false);
  ToolBar1->setIconSize(QSize(24, 24));
  for (QAction* a : {tbtnExit, tbtnLoadFromFile, tbtnSaveToFile, tbtnIFCNeu, tbtnSuchen})
    ToolBar1->addAction(a);
  ToolBar1->addAction(tbtnModulDEL);
  ToolBar1->addSeparator();
  ToolBar1->addAction(btnTest);

  popModulEigenschaften = action("popModulEigenschaften", "Modul Eigenschaften", properties);
  popModuleSuchen = action("popModuleSuchen", "Module suchen", search);
  popModulEntfernen = action("popModulEntfernen", "Modul Entfernen", remove);
  popModulAdrAend =
      action("popModulAdrAend", "Modul Adresse ändern", [this] { popModulAdrAendClick(); });
  PopupMenu1 = new QMenu(this);
  PopupMenu1->setObjectName("PopupMenu1");
  for (QAction* a : {popModulEigenschaften, popModuleSuchen, popModulEntfernen, popModulAdrAend})
    PopupMenu1->addAction(a);
}

void TfrmVelmoraConfig::BuildControls() {
  auto* central = new QWidget(this);
  auto* outer = new QVBoxLayout(central);
  outer->setContentsMargins(4, 2, 4, 0);
  outer->setSpacing(3);

  auto* modelLine = new QHBoxLayout();
  modelLine->addWidget(new QLabel("Modell: ", central));
  edCaption = new QLineEdit("Modell1", central);
  edCaption->setObjectName("edCaption");
  edCaption->setFixedWidth(140);
  modelLine->addWidget(edCaption);
  modelLine->addSpacing(8);
  modelLine->addWidget(new QLabel("Beschr.: ", central));
  edDescr = new QLineEdit("Meine Modellbahn ", central);
  edDescr->setObjectName("edDescr");
  modelLine->addWidget(edDescr, 1);
  outer->addLayout(modelLine);

  Splitter1 = new QSplitter(Qt::Vertical, central);
  Splitter1->setObjectName("Splitter1");
  Splitter1->setChildrenCollapsible(false);
  outer->addWidget(Splitter1, 1);

  // The tree area: the tree, then the interface and test groups.
  auto* treeArea = new QWidget(Splitter1);
  auto* treeLayout = new QVBoxLayout(treeArea);
  treeLayout->setContentsMargins(0, 0, 0, 0);
  treeLayout->setSpacing(3);
  VSTModuls = new QTreeWidget(treeArea);
  VSTModuls->setObjectName("VSTModuls");
  VSTModuls->setColumnCount(6);
  VSTModuls->setHeaderLabels({"IFC/Modul", "Status", "Adr.", "Firmware", "Bezeichnung", "Hinweis"});
  const int widths[6] = {140, 48, 32, 80, 180, 300};
  for (int i = 0; i < 6; ++i)
    VSTModuls->setColumnWidth(i, widths[i]);
  VSTModuls->header()->setSectionsMovable(true);
  VSTModuls->header()->setSectionResizeMode(QHeaderView::Interactive);
  VSTModuls->header()->setStretchLastSection(true);
  VSTModuls->setSelectionBehavior(QAbstractItemView::SelectRows);
  VSTModuls->setSelectionMode(QAbstractItemView::SingleSelection);
  VSTModuls->setEditTriggers(QAbstractItemView::SelectedClicked |
                             QAbstractItemView::EditKeyPressed);
  VSTModuls->setIconSize(TreeIconSize());
  VSTModuls->setIndentation(12);
  VSTModuls->setUniformRowHeights(true);
  VSTModuls->setItemDelegate(new TTreeEditDelegate(this, VSTModuls));
  VSTModuls->setContextMenuPolicy(Qt::CustomContextMenu);
  QFont treeFont = VSTModuls->font();
  treeFont.setPointSizeF(treeFont.pointSizeF() * 0.9);
  VSTModuls->setFont(treeFont);
  treeLayout->addWidget(VSTModuls, 1);
  connect(VSTModuls, &QTreeWidget::itemDoubleClicked, this, [this] { VSTModulsDblClick(); });
  connect(VSTModuls, &QTreeWidget::currentItemChanged, this, [this] { VSTModulsChange(); });
  connect(VSTModuls, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* node, int column) {
    if (UpdateLock == 0) VSTModulsNewText(node, column, node->text(column));
  });
  connect(VSTModuls, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { PopupMenu1->popup(VSTModuls->viewport()->mapToGlobal(at)); });

  grpInterface = new QGroupBox(" Interface ", treeArea);
  grpInterface->setObjectName("grpInterface");
  auto* ifcRow = new QHBoxLayout(grpInterface);
  ifcRow->setContentsMargins(6, 2, 6, 4);
  lblIFC = new QLabel("IFC()  ", grpInterface);
  lblIFC->setObjectName("lblIFC");
  lblIFC->setMinimumWidth(48);
  chbConnect = new QCheckBox("Connect", grpInterface);
  chbConnect->setObjectName("chbConnect");
  cboPort = new QComboBox(grpInterface);
  cboPort->setObjectName("cboPort");
  cboPort->setEditable(true);
  cboPort->setInsertPolicy(QComboBox::NoInsert);
  cboPort->setMinimumWidth(150);
  cboPort->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  cboPort->setItemDelegate(new TPortItemDelegate(cboPort));
  cboBaud = new QComboBox(grpInterface);
  cboBaud->setObjectName("cboBaud");
  cboBaud->addItems({"9600", "19200"});
  cboTimeOut = new QComboBox(grpInterface);
  cboTimeOut->setObjectName("cboTimeOut");
  cboTimeOut->addItems({"100", "200", "300", "400", "500", "600", "800", "1000", "1500", "20000"});
  cboTimeOut->setCurrentIndex(1);
  cboPollPrior = new QComboBox(grpInterface);
  cboPollPrior->setObjectName("cboPollPrior");
  cboPollPrior->addItems({"1", "2", "5", "10", "20", "50", "100"});
  cboPollPrior->setCurrentIndex(3);
  chbIFCEnabled = new QCheckBox("verfügbar", grpInterface);
  chbIFCEnabled->setObjectName("chbIFCEnabled");
  chbIFCEnabled->setVisible(false);
  ifcRow->addWidget(lblIFC);
  ifcRow->addWidget(chbConnect);
  ifcRow->addSpacing(8);
  auto labelled = [&](const char* caption, QWidget* box) {
    ifcRow->addSpacing(6);
    ifcRow->addWidget(new QLabel(caption, grpInterface));
    ifcRow->addWidget(box);
  };
  labelled("COM", cboPort);
  labelled("Baud", cboBaud);
  labelled("Time Out", cboTimeOut);
  labelled("Poll. Priority", cboPollPrior);
  ifcRow->addWidget(chbIFCEnabled);
  ifcRow->addStretch(1);
  treeLayout->addWidget(grpInterface);
  connect(chbConnect, &QCheckBox::clicked, this, [this] { chbConnectClick(); });
  connect(chbIFCEnabled, &QCheckBox::clicked, this, [this] { chbIFCEnabledClick(); });
  for (QComboBox* box : {cboBaud, cboTimeOut, cboPollPrior, cboPort})
    connect(box, &QComboBox::currentIndexChanged, this, [this, box] { IFCDataChange(box); });
  // A typed device path counts once the user leaves the field or presses Enter.
  connect(cboPort->lineEdit(), &QLineEdit::editingFinished, this, [this] {
    TRS485IFC* ifc = SelectedIFC();
    if (ifc && PortText() != ifc->Port()) IFCDataChange(cboPort);
  });
  connect(cboPort, &QComboBox::editTextChanged, this, [this] {
    if (UpdateLock == 0) UpdateIFCControls();
  });

  grpTest = new QGroupBox(" Test ", treeArea);
  grpTest->setObjectName("grpTest");
  auto* testRow = new QHBoxLayout(grpTest);
  testRow->setContentsMargins(6, 2, 6, 4);
  btnSenden = new QPushButton("Send", grpTest);
  btnSenden->setObjectName("btnSenden");
  edLoopCount = new QSpinBox(grpTest);
  edLoopCount->setObjectName("edLoopCount");
  edLoopCount->setRange(1, 9999);
  edLoopCount->setValue(1);
  edSenden = new QLineEdit("?30020000", grpTest);
  edSenden->setObjectName("edSenden");
  testRow->addWidget(btnSenden);
  testRow->addSpacing(6);
  testRow->addWidget(edLoopCount);
  testRow->addWidget(new QLabel("mal", grpTest));
  testRow->addSpacing(6);
  testRow->addWidget(edSenden, 1);
  treeLayout->addWidget(grpTest);
  connect(btnSenden, &QPushButton::clicked, this, [this] { btnSendenClick(); });
  connect(edSenden, &QLineEdit::returnPressed, this, [this] { edSendenKeyUp(Qt::Key_Return); });

  // The memo panes side by side, and the button that empties both in their corner.
  auto* memoArea = new QWidget(Splitter1);
  auto* memoLayout = new QHBoxLayout(memoArea);
  memoLayout->setContentsMargins(0, 0, 0, 0);
  memoLayout->setSpacing(2);
  Splitter2 = new QSplitter(Qt::Horizontal, memoArea);
  Splitter2->setObjectName("Splitter2");
  Memo1 = new QPlainTextEdit(Splitter2);
  Memo1->setObjectName("Memo1");
  Memo2 = new QPlainTextEdit(Splitter2);
  Memo2->setObjectName("Memo2");
  for (QPlainTextEdit* memo : {Memo1, Memo2}) {
    memo->setReadOnly(true);
    memo->setLineWrapMode(QPlainTextEdit::NoWrap);
    memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Every time-out of a missing card adds a log line; a long session must not eat memory.
    memo->setMaximumBlockCount(20000);
  }
  Splitter2->setStretchFactor(0, 1);
  Splitter2->setStretchFactor(1, 1);
  memoLayout->addWidget(Splitter2, 1);
  auto* corner = new QVBoxLayout();
  Button2 = new QToolButton(memoArea);
  Button2->setObjectName("Button2");
  Button2->setText("X");
  Button2->setFixedSize(20, 20);
  corner->addWidget(Button2);
  corner->addStretch(1);
  memoLayout->addLayout(corner);
  connect(Button2, &QToolButton::clicked, this, [this] { Button2Click(); });
  Splitter1->setStretchFactor(0, 3);
  Splitter1->setStretchFactor(1, 1);
  Splitter1->setSizes({320, 110});

  setCentralWidget(central);

  const int panelWidths[3] = {120, 200, 50};
  for (int i = 0; i < 3; ++i) {
    StatusPanel[i] = new QLabel(statusBar());
    StatusPanel[i]->setObjectName(QString("StatusPanel%1").arg(i));
    StatusPanel[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    if (i < 2)
      StatusPanel[i]->setFixedWidth(panelWidths[i]);
    else
      StatusPanel[i]->setMinimumWidth(panelWidths[i]);
    statusBar()->addWidget(StatusPanel[i], i < 2 ? 0 : 1);
  }
}

// ---- life cycle ------------------------------------------------------------------------------

void TfrmVelmoraConfig::FormCreate() {
  setWindowTitle(kCaption);
  UpdateLock = 0;
  SearchAnswers.clear();
  QPointer<TfrmVelmoraConfig> self(this);
  FPreviousHandler = SetMessageHandler([self](const std::string& text, uint8_t kind) {
    if (self) self->AddLogLine(text, kind);
  });
  FPreviousNotice = SetNoticeHandler([self](const std::string& text) {
    QMessageBox::information(self, "KavorConfig", AsMemoText(text));
  });
  Memo1->clear();
  Memo2->clear();
  FGleisNetz = std::make_unique<TGleisNetz>();
  FDispatcher = std::make_unique<TBDispatcher>();
  if (!IsDeveloperMode()) {
    mnuModulAdd->setVisible(false);
    btnTest->setVisible(false);
  }
}

void TfrmVelmoraConfig::FormActivate() {
  if (FActivated) {
    if (UpdateLock == 0) RefreshTree();
    return;
  }
  FActivated = true;
  FillPortList();
  ModellName = "Modell1";
  ModellDir = ExcludeTrailingBackslash(FDefaultModellDir);
  const std::string file = IncludeTrailingBackslash(ModellDir) + ModellName + ".INI";
  if (!FileExists(file)) CreateModellFiles(ModellDir, ModellName);
  LoadModell(file);
  if (ModulsList().Count() == 0) NewIFC();
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
  for (const TPortInfo& port : EnumComPortInfos()) {
    const bool isReal = std::any_of(real.begin(), real.end(),
                                    [&](const TPortInfo& r) { return r.Name == port.Name; });
    if (!isReal && !IsPseudoTerminal(port.Name)) ports.push_back(port);
  }
  for (const TPortInfo& port : ports) {
    cboPort->addItem(Q(port.Name));
    cboPort->setItemData(cboPort->count() - 1, Q(port.Description), kPortDescriptionRole);
    cboPort->setItemData(cboPort->count() - 1, Q(port.Description), Qt::ToolTipRole);
  }
  Unlock();
  if (real.empty()) ShowNotice("kein Serielles Port vorhanden!");
  Lock();
  cboPort->insertItem(0, kNoPort);
  cboPort->setCurrentIndex(0);
  Unlock();
}

bool TfrmVelmoraConfig::FormCloseQuery() {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  Lock();
  VSTModuls->setUpdatesEnabled(false);
  SetStatus(1, "Herunterfahren ................");
  // A search or address change waiting for answers must not touch the model once it is gone.
  TWorkflowGuard::CancelAll();
  try {
    ModulsList().RemoveAll();
  } catch (const std::exception& e) {
    ReportMessage(std::string("TfrmVelmoraConfig.FormCloseQuery: ") + e.what(), 1);
  }
  VSTModuls->clear();
  FreeDetachedForms();
  WaitWithMessages(1000);
  QApplication::restoreOverrideCursor();
  return true;
}

void TfrmVelmoraConfig::closeEvent(QCloseEvent* event) {
  if (FClosing) {
    // The first close request is still emptying the model.
    event->ignore();
    return;
  }
  FClosing = true;
  if (FormCloseQuery()) {
    event->accept();
  } else {
    FClosing = false;
    event->ignore();
  }
}

void TfrmVelmoraConfig::FormDestroy() {
  TWorkflowGuard::CancelAll();
  try {
    if (FDispatcher) ModulsList().RemoveAll();
  } catch (...) {
    // The window goes anyway.
  }
  VSTModuls->clear();
  for (TfrmModulBase* form : FModulForms)
    delete form;
  FModulForms.clear();
  FDispatcher.reset();
  FGleisNetz.reset();
  SetMessageHandler(FPreviousHandler);
  SetNoticeHandler(FPreviousNotice);
}

bool TfrmVelmoraConfig::event(QEvent* e) {
  if (e->type() == QEvent::WindowActivate) FormActivate();
  return QMainWindow::event(e);
}

void TfrmVelmoraConfig::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  // Without a window manager (a bare X server) the window is never activated; the model must
  // still be loaded once it is on screen.
  if (!FActivated)
    QTimer::singleShot(0, this, [this] {
      if (!FActivated) FormActivate();
    });
}

// ---- log, status, traffic --------------------------------------------------------------------

void TfrmVelmoraConfig::AddLogLine(const std::string& text, uint8_t kind) {
  if (kind == 1)
    Memo1->appendPlainText(LogStamp() + "| " + AsMemoText(text));
  else
    Memo1->appendPlainText(AsMemoText(text));
}

void TfrmVelmoraConfig::SetStatus(int panel, const std::string& text) {
  if (panel >= 0 && panel < 3) StatusPanel[panel]->setText(Q(text));
}

void TfrmVelmoraConfig::ShowReceived(const std::string& text) {
  SetStatus(1, OneLine(text));
}

void TfrmVelmoraConfig::OnTestAnswer(const std::string& command, const std::string& answer) {
  Memo2->appendPlainText(Q(command + " --> " + OneLine(answer)));
}

void TfrmVelmoraConfig::Button2Click() {
  Memo1->clear();
  Memo2->clear();
}

void TfrmVelmoraConfig::edSendenKeyUp(int key) {
  if (key != Qt::Key_Return && key != Qt::Key_Enter) return;
  TRS485IFC* ifc = SelectedIFC();
  if (!ifc) return;
  QPointer<TfrmVelmoraConfig> self(this);
  ifc->AddCommand(S(edSenden->text()), [self](const std::string& command, const std::string& a) {
    if (self) self->OnTestAnswer(command, a);
  });
}

void TfrmVelmoraConfig::Ueber1Click() {
  ShowNotice(
      "KavorConfig - Konfiguration und Test des Velmora RS485-Modulbusses\r\n"
      "Quorvane, 2014-2018\r\n"
      "https://quorvane.example  https://velmora.example\r\n"
      "\r\n" +
      std::string(kCaption));
}

// ---- tree ------------------------------------------------------------------------------------

TModulsItem* TfrmVelmoraConfig::SelectedItem() const {
  return ItemOf(VSTModuls->currentItem());
}

TRS485IFC* TfrmVelmoraConfig::SelectedIFC() const {
  TModulsItem* item = SelectedItem();
  return item ? item->IFC : nullptr;
}

void TfrmVelmoraConfig::SelectItem(const TModulsItem* item) {
  SelectTreeNode(VSTModuls, item);
}

QString TfrmVelmoraConfig::VSTModulsGetText(const QTreeWidgetItem* node, int column) const {
  const TModulsItem* item = ItemOf(node);
  if (!item) return QString();
  if (item->ItemKind == ikInterface && item->IFC) {
    switch (column) {
      case 0:
        return Q("IFC(" + std::to_string(item->IFC->IfcNumber()) + ") ");
      case 4:
        return Q(item->IFC->Bezeichnung);
      case 5:
        return Q(item->IFC->Hinweis);
      default:
        return QString();
    }
  }
  if (const TBaseModul* modul = item->Modul) {
    switch (column) {
      case 0:
        return modul->ClassName();
      case 2:
        return Q(modul->AdresseText());
      case 3:
        return Q(modul->Firmware);
      case 4:
        return Q(modul->Bezeichnung);
      case 5:
        return Q(modul->Hinweis);
      default:
        return QString();
    }
  }
  return QString();
}

int TfrmVelmoraConfig::NodeImageIndex(const QTreeWidgetItem* node, TImageKind kind) const {
  const TModulsItem* item = ItemOf(node);
  if (!item) return -1;
  if (item->ItemKind == ikInterface) {
    if (kind == ikState) return item->IFC && item->IFC->Active() ? 2 : 0;
    return 0;
  }
  const TBaseModul* modul = item->Modul;
  if (!modul) return -1;
  if (kind == ikState) return modul->Aktiv ? 2 : 0;
  const std::string name = modul->ClassName();
  if (name == "TIFCPorts") return 2;
  if (name == "THDX01") return 3;
  if (name == "TMXB01" || name == "TMXB02") return 4;
  return 1;
}

int TfrmVelmoraConfig::VSTModulsGetImageIndex(const QTreeWidgetItem* node, TImageKind kind,
                                              int column) const {
  if (UpdateLock > 0 || column != 0) return -1;
  return NodeImageIndex(node, kind);
}

bool TfrmVelmoraConfig::VSTModulsEditing(const QTreeWidgetItem* node, int column) const {
  return node != nullptr && column == 5;
}

void TfrmVelmoraConfig::VSTModulsNewText(QTreeWidgetItem* node, int column, const QString& text) {
  if (UpdateLock > 0 || column != 5) return;
  TModulsItem* item = ItemOf(node);
  if (!item) return;
  if (item->ItemKind == ikInterface && item->IFC)
    item->IFC->Hinweis = S(text);
  else if (item->Modul)
    item->Modul->Hinweis = S(text);
}

void TfrmVelmoraConfig::RefreshNode(QTreeWidgetItem* node) {
  if (!node) return;
  Lock();
  for (int column = 0; column < 6; ++column) {
    const QString text = VSTModulsGetText(node, column);
    if (node->text(column) != text) node->setText(column, text);
  }
  node->setIcon(0, TreeIcon(NodeImageIndex(node, ikNormal), NodeImageIndex(node, ikState)));
  node->setFlags(node->flags() | Qt::ItemIsEditable);
  Unlock();
}

void TfrmVelmoraConfig::RefreshTree() {
  for (QTreeWidgetItem* node : TreeNodes(VSTModuls))
    RefreshNode(node);
}

void TfrmVelmoraConfig::RebuildTree() {
  Lock();
  VSTModuls->setUpdatesEnabled(false);
  // Rows come and go, the items stay: keep the focus on the item it was on.
  const TModulsItem* focused = SelectedItem();
  VSTModuls->clear();
  bool refocus = false;
  try {
    TModulsList& list = ModulsList();
    for (int i = 0; i < list.IFCCount(); ++i) {
      TModulsItem* ifcItem = list.IFCItem(i);
      if (!ifcItem || !ifcItem->IFC) continue;
      refocus = refocus || ifcItem == focused;
      QTreeWidgetItem* root = AddTreeNode(VSTModuls, ifcItem, nullptr);
      RefreshNode(root);
      for (const auto& module : ifcItem->IFC->Modules()) {
        TModulsItem* item = list.ItemOfModul(dynamic_cast<const TBaseModul*>(module.get()));
        if (!item) continue;
        refocus = refocus || item == focused;
        RefreshNode(AddTreeNode(VSTModuls, item, root));
      }
      root->setExpanded(true);
    }
    if (refocus) SelectItem(focused);
  } catch (const std::exception& e) {
    ReportMessage(std::string("TfrmVelmoraConfig.RebuildTree: ") + e.what(), 1);
  }
  VSTModuls->setUpdatesEnabled(true);
  Unlock();
}

void TfrmVelmoraConfig::VSTModulsDblClick() {
  if (UpdateLock > 0) return;
  ShowModulForm(SelectedItem());
}

void TfrmVelmoraConfig::VSTModulsChange() {
  if (UpdateLock > 0) return;
  ShowIFCData(SelectedIFC());
}

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
      lblIFC->setText(Q("IFC(" + std::to_string(ifc->IfcNumber()) + ") "));
      int index = cboBaud->findText(QString::number(ifc->Baud()));
      cboBaud->setCurrentIndex(index >= 0 ? index : cboBaud->findText("9600"));
      const std::string port = ifc->Port();
      index = cboPort->findText(Q(port));
      if (index >= 0) {
        cboPort->setCurrentIndex(index);
      } else if (IsDevicePath(port)) {
        // A typed path is not in the list but is what the interface uses.
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
      chbConnect->setChecked(ifc->Active());
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
  // The port vanished: "Connect" and the tree show it at once.
  ifc->BusMaster().OnConnectionLost = [self, ifc] {
    if (!self) return;
    if (self->SelectedIFC() == ifc) self->ShowIFCData(ifc);
    self->RefreshTree();
  };
}

void TfrmVelmoraConfig::NewIFC() {
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

// ---- module windows ----------------------------------------------------------------------------

void TfrmVelmoraConfig::CreateModulForm(TModulsItem* item) {
  if (!item || !item->Modul) return;
  TfrmModulBase* form = CreateModulFormFor(item->Modul);
  item->Form = form;
  if (form) FModulForms.push_back(form);
}

void TfrmVelmoraConfig::ShowModulForm(TModulsItem* item) {
  if (!item || !item->Form) return;
  try {
    if (auto* form = dynamic_cast<QWidget*>(item->Form)) {
      form->show();
      form->raise();
      form->activateWindow();
    }
  } catch (...) {
    // Showing a window is not worth a report.
  }
}

void TfrmVelmoraConfig::FreeDetachedForms() {
  // Sort out first, free afterwards: a freed window must not be asked anything any more.
  const auto firstDetached =
      std::stable_partition(FModulForms.begin(), FModulForms.end(),
                            [](TfrmModulBase* form) { return form->Modul() != nullptr; });
  for (auto it = firstDetached; it != FModulForms.end(); ++it)
    delete *it;
  FModulForms.erase(firstDetached, FModulForms.end());
}

// ---- model file ------------------------------------------------------------------------------

void TfrmVelmoraConfig::LoadModell(const std::string& fileName) {
  if (!FileExists(fileName)) return;
  if (TWorkflowGuard::AnyBusy()) {
    const std::string text =
        "Modell laden nicht möglich: eine Modulsuche oder Adressänderung läuft noch. ";
    SetStatus(1, text);
    ReportMessage(text, 1);
    return;
  }
  const std::string ini = ChangeFileExt(fileName, ".INI");
  ModellDir = ExtractFileDir(ini);
  ModellName = FileNameWithoutExt(ini);
  FDialogDir = Q(ModellDir);
  Lock();
  VSTModuls->setUpdatesEnabled(false);
  VSTModuls->clear();
  TModulsItem* first = nullptr;
  try {
    TModelHeader header;
    header.Caption = S(edCaption->text());
    header.Description = S(edDescr->text());
    ReadModelHeader(fileName, header);
    edCaption->setText(Q(header.Caption));
    edDescr->setText(Q(header.Description));
    TModulsList& list = ModulsList();
    list.Load_FromFile(fileName);
    FreeDetachedForms();
    first = list.IFCItem(0);
    for (int i = 0; i < list.IFCCount(); ++i) {
      TRS485IFC* ifc = list.IFCByIndex(i);
      BindInterface(ifc, true);
      for (const auto& module : ifc->Modules())
        if (auto* modul = dynamic_cast<TBaseModul*>(module.get())) modul->SetAktiv(true);
    }
    for (int i = 0; i < list.Count(); ++i)
      if (list.Item(i)->Modul) CreateModulForm(list.Item(i));
  } catch (const std::exception& e) {
    ReportMessage(std::string("TfrmVelmoraConfig.LoadModell: ") + e.what(), 1);
  }
  RebuildTree();
  SelectItem(first);
  if (first) ShowIFCData(first->IFC);
  VSTModuls->setUpdatesEnabled(true);
  Unlock();
  UpdateIFCControls();
}

void TfrmVelmoraConfig::SaveModell(const std::string& fileName) {
  const std::string file = ChangeFileExt(fileName, ".INI");
  ModellDir = ExtractFileDir(file);
  ModellName = FileNameWithoutExt(file);
  FDialogDir = Q(ModellDir);
  try {
    TModelHeader header;
    header.Caption = S(edCaption->text());
    header.Description = S(edDescr->text());
    SaveModelFile(ModulsList(), file, header, "TfrmVelmoraConfig.SaveModell: ");
  } catch (const std::exception& e) {
    ReportMessage(std::string("TfrmVelmoraConfig.SaveModell: ") + e.what(), 1);
  }
  UpdateIFCControls();
}

void TfrmVelmoraConfig::tbtnLoadFromFileClick() {
  const QString name = QFileDialog::getOpenFileName(this, "Modell öffnen", FDialogDir,
                                                    "Layoutfiles (*.ini);;Alle Files (*.*)");
  if (!name.isEmpty()) LoadModell(S(name));
}

void TfrmVelmoraConfig::tbtnSaveToFileClick() {
  const QString name = QFileDialog::getSaveFileName(this, "Modell speichern", FDialogDir);
  if (!name.isEmpty()) SaveModell(S(name));
}

// ---- workflows: search, removal, address change, developer additions ----------------------

bool TfrmVelmoraConfig::RefuseWhileBusy(const TRS485IFC* ifc) {
  if (!TWorkflowGuard::IsBusy(ifc)) return false;
  const std::string text = TWorkflowGuard::BusyText(ifc);
  SetStatus(1, text);
  ReportMessage(text, 1);
  return true;
}

void TfrmVelmoraConfig::SearchModules() {
  TRS485IFC* ifc = SelectedIFC();
  if (!ifc || !ifc->Active()) return;
  if (RefuseWhileBusy(ifc)) return;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  Memo2->clear();
  Memo1->appendPlainText("");
  Memo1->appendPlainText("Suche Module.......");
  SetStatus(0, "");
  SetStatus(1, "Suche Module.......");
  SearchAnswers.clear();

  std::shared_ptr<TModulSearch> search = TModulSearch::Create(ModulsList(), *ifc);
  QPointer<TfrmVelmoraConfig> self(this);
  search->OnProgress = [self](const std::string& text) {
    if (!self) return;
    self->SetStatus(0, text);
    self->StatusPanel[0]->repaint();
  };
  search->OnAnswer = [self](const std::string& answer) {
    if (self) self->Memo2->appendPlainText(Q(OneLine(answer)));
  };
  search->OnModulAdded = [self](TModulsItem* item) {
    if (self) self->CreateModulForm(item);
  };
  TModulSearch::TResult result = TModulSearch::srCancelled;
  try {
    result = search->Run();
  } catch (const std::exception& e) {
    ReportMessage(std::string("TfrmVelmoraConfig.SearchModules: ") + e.what(), 1);
  }
  SearchAnswers = search->SearchAnswers;
  if (result == TModulSearch::srDone) {
    RebuildTree();
    SetStatus(0, "");
    SetStatus(1, "");
    Memo1->appendPlainText("");
  } else if (result == TModulSearch::srGaveUp) {
    Memo1->appendPlainText("");
  }
  QApplication::restoreOverrideCursor();
}

void TfrmVelmoraConfig::RemoveSelected() {
  TModulsItem* item = SelectedItem();
  if (!item) return;
  if (RefuseWhileBusy(item->IFC)) return;
  Lock();
  VSTModuls->setUpdatesEnabled(false);
  VSTModuls->clear();
  TModulsList& list = ModulsList();
  try {
    list.RemoveItem(item);
    list.RenumberIFCs();
  } catch (const std::exception& e) {
    ReportMessage(std::string("TfrmVelmoraConfig.tbtnModulDELClick: ") + e.what(), 1);
  }
  TModulsItem* select = nullptr;
  try {
    FreeDetachedForms();
    if (list.IFCCount() > 0) {
      select = list.IFCItem(list.IFCCount() - 1);
      if (!select) select = list.IFCItem(0);
    } else {
      select = list.AddIFC("TRS485IFC");
      if (select) BindInterface(select->IFC, false);
    }
    RebuildTree();
    SelectItem(select);
    ShowIFCData(select ? select->IFC : nullptr);
  } catch (const std::exception& e) {
    ReportMessage(std::string("TfrmVelmoraConfig.tbtnModulDELClick: ") + e.what(), 1);
  }
  VSTModuls->setUpdatesEnabled(true);
  Unlock();
  UpdateIFCControls();
}

void TfrmVelmoraConfig::ChangeModulAdresse() {
  TModulsItem* item = SelectedItem();
  if (!item || item->ItemKind != ikModul) return;
  TRS485IFC* ifc = item->IFC;
  TBaseModul* modul = item->Modul;
  if (!ifc || !ifc->Active() || !modul || !modul->Aktiv) {
    ShowNotice("Zum Ändern der Moduladresse muß das Interface und das Modul aktiviert sein.");
    return;
  }
  if (RefuseWhileBusy(ifc)) return;
  if (item->Form) item->Form->CloseForm();
  modul->SetPolling(false);
  try {
    const std::string old = modul->AdresseText();
    const std::optional<std::string> answer =
        InputBox("Moduladresse ändern", "Moduladresse = " + old + " neue ModulAdresse:", old);
    // A cancelled box ends the change like an empty answer: nothing goes on the bus.
    const std::optional<uint8_t> address =
        answer ? ParseNewModulAddress(*answer) : std::optional<uint8_t>();
    if (address) {
      std::shared_ptr<TAddressChange> change = TAddressChange::Create(*ifc, *modul);
      QPointer<TfrmVelmoraConfig> self(this);
      change->OnCode = [self](const std::string& code) {
        if (self) self->SetStatus(0, code);
      };
      change->OnExchange = [self](const std::string& text) {
        if (self) self->SetStatus(1, OneLine(text));
      };
      change->OnLogLine = [self](const std::string& text) {
        if (self) self->Memo1->appendPlainText(Q(text));
      };
      if (change->Run(*address) == TAddressChange::acBusy) RefuseWhileBusy(ifc);
    }
  } catch (const std::exception& e) {
    ReportMessage(std::string("TfrmVelmoraConfig.ChangeModulAdresse: ") + e.what(), 1);
  }
  if (QTreeWidgetItem* node = VSTModuls->currentItem()) RefreshNode(node);
}

void TfrmVelmoraConfig::mnuModulAddClick() {
  TRS485IFC* ifc = SelectedIFC();
  if (!ifc) return;
  const std::optional<std::string> answer = InputBox(
      "Neues Modul", "ClassName,Adresse (THDX01,TMXB01,TMXB02,TIFCPorts,TDummy)", "TMXB02,$36");
  // A cancelled box adds nothing, as an empty answer does.
  if (!answer || answer->empty()) return;
  const std::string className = UpperCase(Trim(GetField(*answer, 0, ",", "")));
  const int32_t address = TextToInt(Trim(GetField(*answer, 1, ",", "")), 0);
  if (address < 0) return;
  try {
    if (TModulsItem* item = ModulsList().AddModul(className, ifc, address)) {
      CreateModulForm(item);
      RebuildTree();
    }
  } catch (const std::exception& e) {
    ReportMessage(std::string("TfrmVelmoraConfig.mnuModulAddClick: ") + e.what(), 1);
  }
}

void TfrmVelmoraConfig::btnTestClick() {
  TRS485IFC* ifc = SelectedIFC();
  if (!ifc) return;
  const std::pair<const char*, int> modules[] = {
      {"TIFCPorts", 1}, {"THDX01", 33}, {"TMXB01", 49}, {"TMXB02", 50}, {"TRS485Dummy", 50}};
  try {
    for (const auto& [className, address] : modules)
      CreateModulForm(ModulsList().AddModul(className, ifc, address));
  } catch (const std::exception& e) {
    ReportMessage(std::string("TfrmVelmoraConfig.btnTestClick: ") + e.what(), 1);
  }
  RebuildTree();
}
