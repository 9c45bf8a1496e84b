#include "ui/main_window.h"

#include <QAction>
#include <QActionGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QSplitter>
#include <QStatusBar>
#include <QStyledItemDelegate>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "bus/bus_interface.h"
#include "ui/card_config_controller.h"
#include "ui/main_icons.h"
#include "ui/main_window_internal.h"

using namespace main_window_detail;

namespace {

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

// Whole rows are selected, so no key moves to another column, and the edit key would try the
// first one: it opens the row's cell that can be edited (the note) instead.
class TEditKeyFilter : public QObject {
 public:
  TEditKeyFilter(TfrmVelmoraConfig* form, QTreeWidget* tree)
      : QObject(tree), FForm(form), FTree(tree) {
    tree->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched != FTree || event->type() != QEvent::KeyPress ||
        static_cast<QKeyEvent*>(event)->key() != Qt::Key_F2)
      return false;
    QTreeWidgetItem* node = FTree->currentItem();
    if (!node || FForm->VSTModulsEditing(node, FTree->currentColumn())) return false;
    for (int column = 0; column < FTree->columnCount(); ++column) {
      if (!FForm->VSTModulsEditing(node, column)) continue;
      FTree->setCurrentItem(node, column);
      FTree->editItem(node, column);
      return true;
    }
    return false;
  }

 private:
  TfrmVelmoraConfig* FForm;
  QTreeWidget* FTree;
};

}  // namespace

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
  auto quickSearch = [this] { tbtnSchnellsucheClick(); };
  auto remove = [this] { tbtnModulDELClick(); };

  mnuOeffnen1 = action("mnuOeffnen1", tr("Öffnen"), [this] { tbtnLoadFromFileClick(); });
  mnuSpeichern1 = action("mnuSpeichern1", tr("Speichern"), [this] { tbtnSaveToFileClick(); });
  mnuBeenden1 = action("mnuBeenden1", tr("Beenden"), close);
  mnuModulEigenschaften1 = action("mnuModulEigenschaften1", tr("Modul Eigenschaften"), properties);
  ModuleSuchen1 = action("ModuleSuchen1", tr("Module suchen"), search);
  mnuSchnellsuche1 = action("mnuSchnellsuche1", tr("Schnellsuche"), quickSearch);
  mnuModulEntfernen1 = action("mnuModulEntfernen1", tr("Modul Entfernen"), remove);
  mnuModulAdd = action("mnuModulAdd", tr("(Modul hinzufügen)"), [this] { mnuModulAddClick(); });
  mnuBusmonitor1 = action("mnuBusmonitor1", tr("Busmonitor…"), [this] { mnuBusmonitor1Click(); });
  mnuBusmonitor1->setShortcut(QKeySequence("Ctrl+B"));
  mnuHilfe1 = action("mnuHilfe1", tr("Hilfe"), [this] { mnuHilfe1Click(); });
  mnuHilfe1->setShortcut(QKeySequence::HelpContents);
  Ueber1 = action("Ueber1", tr("Über..."), [this] { Ueber1Click(); });
  CardConfig = new TCardConfigController(this);
  mnuKonfigSichern = action("mnuKonfigSichern", tr("Konfiguration sichern…"),
                            [this] { CardConfig->Start(caBackup); });
  mnuKonfigVergleichen = action("mnuKonfigVergleichen", tr("Konfiguration vergleichen…"),
                                [this] { CardConfig->Start(caCompare); });
  mnuKonfigWiederherstellen =
      action("mnuKonfigWiederherstellen", tr("Konfiguration wiederherstellen…"),
             [this] { CardConfig->Start(caRestore); });

  QMenu* datei = menuBar()->addMenu(tr("Datei"));
  datei->setObjectName("mnuDatei1");
  datei->addAction(mnuOeffnen1);
  datei->addAction(mnuSpeichern1);
  datei->addSeparator();
  datei->addAction(mnuBeenden1);
  QMenu* module = menuBar()->addMenu(tr("Module"));
  module->setObjectName("mnuModule1");
  module->addAction(mnuModulEigenschaften1);
  module->addAction(ModuleSuchen1);
  module->addAction(mnuSchnellsuche1);
  module->addAction(mnuModulEntfernen1);
  module->addAction(mnuModulAdd);
  module->addSeparator();
  module->addAction(mnuBusmonitor1);
  module->addSeparator();
  module->addAction(mnuKonfigSichern);
  module->addAction(mnuKonfigVergleichen);
  module->addAction(mnuKonfigWiederherstellen);
  QMenu* info = menuBar()->addMenu(tr("Info"));
  info->setObjectName("mnuInfo1");
  info->addAction(mnuHilfe1);
  info->addAction(Ueber1);
  info->addSeparator();
  // Named the same in both languages: whoever cannot read the present one still finds it.
  mnuSprache = info->addMenu("Sprache – Language");
  mnuSprache->setObjectName("mnuSprache");
  auto* languages = new QActionGroup(this);
  mnuDeutsch = action("mnuDeutsch", "Deutsch", [this] { mnuSpracheClick(lnGerman); });
  mnuEnglish = action("mnuEnglish", "English", [this] { mnuSpracheClick(lnEnglish); });
  for (QAction* a : {mnuDeutsch, mnuEnglish}) {
    a->setCheckable(true);
    languages->addAction(a);
    mnuSprache->addAction(a);
  }
  (CurrentLanguage() == lnEnglish ? mnuEnglish : mnuDeutsch)->setChecked(true);

  auto tool = [&](const char* name, const QString& hint, TToolImage image, auto handler) {
    QAction* a = action(name, hint, handler);
    a->setIcon(ToolImage(image));
    a->setToolTip(hint);
    return a;
  };
  tbtnExit = tool("tbtnExit", tr("Exit"), tiExit, close);
  tbtnLoadFromFile =
      tool("tbtnLoadFromFile", tr("Modell Öffnen"), tiOpen, [this] { tbtnLoadFromFileClick(); });
  tbtnSaveToFile =
      tool("tbtnSaveToFile", tr("Modell Speichern"), tiSave, [this] { tbtnSaveToFileClick(); });
  tbtnIFCNeu = tool("tbtnIFCNeu", tr("Neues Interface"), tiNewIFC, [this] { tbtnIFCNeuClick(); });
  tbtnSuchen = tool("tbtnSuchen", tr("Module zum Interrface ermitteln"), tiSearch, search);
  tbtnSchnellsuche = tool("tbtnSchnellsuche", tr("Schnellsuche"), tiQuickSearch, quickSearch);
  tbtnModulDEL = tool("tbtnModulDEL", tr("Interrface/Modul entfernen"), tiRemove, remove);
  tbtnBusmonitor =
      tool("tbtnBusmonitor", tr("Busmonitor"), tiMonitor, [this] { mnuBusmonitor1Click(); });
  btnTest = action("btnTest", tr("(Test, Add div. Module)"), [this] { btnTestClick(); });

  ToolBar1 = addToolBar("ToolBar1");
  ToolBar1->setObjectName("ToolBar1");
  ToolBar1->setMovable(false);
  ToolBar1->setIconSize(QSize(24, 24));
  for (QAction* a :
       {tbtnExit, tbtnLoadFromFile, tbtnSaveToFile, tbtnIFCNeu, tbtnSuchen, tbtnSchnellsuche})
    ToolBar1->addAction(a);
  ToolBar1->addAction(tbtnModulDEL);
  ToolBar1->addAction(tbtnBusmonitor);
  ToolBar1->addSeparator();
  ToolBar1->addAction(btnTest);

  popModulEigenschaften = action("popModulEigenschaften", tr("Modul Eigenschaften"), properties);
  popModuleSuchen = action("popModuleSuchen", tr("Module suchen"), search);
  popModulEntfernen = action("popModulEntfernen", tr("Modul Entfernen"), remove);
  popModulAdrAend =
      action("popModulAdrAend", tr("Modul Adresse ändern"), [this] { popModulAdrAendClick(); });
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

  // A label names the control it stands before, for screen readers too.
  auto labelFor = [](QWidget* parent, const char* name, const QString& caption, QWidget* control) {
    auto* label = new QLabel(caption, parent);
    label->setObjectName(name);
    label->setBuddy(control);
    return label;
  };
  auto* modelLine = new QHBoxLayout();
  edCaption = new QLineEdit("Modell1", central);
  edCaption->setObjectName("edCaption");
  edCaption->setFixedWidth(140);
  modelLine->addWidget(labelFor(central, "lblModell", tr("Modell: "), edCaption));
  modelLine->addWidget(edCaption);
  modelLine->addSpacing(8);
  edDescr = new QLineEdit("Meine Modellbahn ", central);
  edDescr->setObjectName("edDescr");
  modelLine->addWidget(labelFor(central, "lblBeschr", tr("Beschr.: "), edDescr));
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
  VSTModuls->setAccessibleName(tr("Interfaces und Module"));
  VSTModuls->setColumnCount(kTreeColumns);
  VSTModuls->setHeaderLabels({tr("IFC/Modul"), tr("Status"), tr("Adr."), tr("Firmware"),
                              tr("Bezeichnung"), tr("Hinweis"), tr("Antw. ms"), tr("Fehler"),
                              tr("zuletzt")});
  const int widths[kTreeColumns] = {140, 48, 32, 80, 180, 300, 76, 44, 64};
  for (int i = 0; i < kTreeColumns; ++i)
    VSTModuls->setColumnWidth(i, widths[i]);
  VSTModuls->headerItem()->setToolTip(tcAntwMs, tr("Antwortzeit in ms: Mittelwert/95-%-Wert"));
  VSTModuls->headerItem()->setToolTip(tcFehler, tr("TimeOuts, unlesbare und fremde Antworten"));
  VSTModuls->headerItem()->setToolTip(tcZuletzt, tr("Zeit seit der letzten Antwort"));
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
  new TEditKeyFilter(this, VSTModuls);
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

  grpInterface = new QGroupBox(tr(" Interface "), treeArea);
  grpInterface->setObjectName("grpInterface");
  auto* ifcRow = new QHBoxLayout(grpInterface);
  ifcRow->setContentsMargins(6, 2, 6, 4);
  lblIFC = new QLabel("IFC()  ", grpInterface);
  lblIFC->setObjectName("lblIFC");
  lblIFC->setMinimumWidth(48);
  chbConnect = new QCheckBox(tr("Connect"), grpInterface);
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
  chbIFCEnabled = new QCheckBox(tr("verfügbar"), grpInterface);
  chbIFCEnabled->setObjectName("chbIFCEnabled");
  chbIFCEnabled->setVisible(false);
  ifcRow->addWidget(lblIFC);
  ifcRow->addWidget(chbConnect);
  ifcRow->addSpacing(8);
  auto labelled = [&](const char* name, const QString& caption, QWidget* box) {
    ifcRow->addSpacing(6);
    ifcRow->addWidget(labelFor(grpInterface, name, caption, box));
    ifcRow->addWidget(box);
  };
  labelled("lblCOM", tr("COM"), cboPort);
  labelled("lblBaud", tr("Baud"), cboBaud);
  labelled("lblTimeOut", tr("Time Out"), cboTimeOut);
  labelled("lblPollPrior", tr("Poll. Priority"), cboPollPrior);
  ifcRow->addWidget(chbIFCEnabled);
  ifcRow->addStretch(1);
  treeLayout->addWidget(grpInterface);
  connect(chbConnect, &QCheckBox::clicked, this, [this] { chbConnectClick(); });
  connect(chbIFCEnabled, &QCheckBox::clicked, this, [this] { chbIFCEnabledClick(); });
  for (QComboBox* box : {cboBaud, cboTimeOut, cboPollPrior, cboPort})
    connect(box, &QComboBox::currentIndexChanged, this, [this, box] { IFCDataChange(box); });
  // A typed device path counts once the user leaves the field or presses Enter.
  connect(cboPort->lineEdit(), &QLineEdit::editingFinished, this, [this] { TakeTypedPort(); });
  connect(cboPort, &QComboBox::editTextChanged, this, [this] {
    if (UpdateLock == 0) UpdateIFCControls();
  });

  grpTest = new QGroupBox(tr(" Test "), treeArea);
  grpTest->setObjectName("grpTest");
  auto* testRow = new QHBoxLayout(grpTest);
  testRow->setContentsMargins(6, 2, 6, 4);
  btnSenden = new QPushButton(tr("Send"), grpTest);
  btnSenden->setObjectName("btnSenden");
  edLoopCount = new QSpinBox(grpTest);
  edLoopCount->setObjectName("edLoopCount");
  edLoopCount->setRange(1, 9999);
  edLoopCount->setValue(1);
  edLoopCount->setAccessibleName(tr("Wiederholungen"));
  edSenden = new QLineEdit("?30020000", grpTest);
  edSenden->setObjectName("edSenden");
  edSenden->setAccessibleName(tr("Testzeile"));
  testRow->addWidget(btnSenden);
  testRow->addSpacing(6);
  testRow->addWidget(edLoopCount);
  auto* lblMal = new QLabel(tr("mal"), grpTest);
  lblMal->setObjectName("lblMal");
  testRow->addWidget(lblMal);
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
  Memo1->setAccessibleName(tr("Protokoll"));
  Memo2 = new QPlainTextEdit(Splitter2);
  Memo2->setObjectName("Memo2");
  Memo2->setAccessibleName(tr("Busverkehr"));
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
  Button2->setAccessibleName(tr("Protokoll und Busverkehr leeren"));
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
  prbSuche = new QProgressBar(statusBar());
  prbSuche->setObjectName("prbSuche");
  prbSuche->setAccessibleName(tr("Fortschritt der Modulsuche"));
  prbSuche->setFixedWidth(160);
  prbSuche->setMaximumHeight(16);
  prbSuche->setTextVisible(true);
  btnSucheAbbrechen = new QToolButton(statusBar());
  btnSucheAbbrechen->setObjectName("btnSucheAbbrechen");
  btnSucheAbbrechen->setText(tr("Abbrechen"));
  btnSucheAbbrechen->setAccessibleName(tr("Modulsuche abbrechen"));
  btnSucheAbbrechen->setToolTip(tr("Modulsuche abbrechen"));
  statusBar()->addPermanentWidget(prbSuche);
  statusBar()->addPermanentWidget(btnSucheAbbrechen);
  prbSuche->hide();
  btnSucheAbbrechen->hide();
  connect(btnSucheAbbrechen, &QToolButton::clicked, this, [this] { CancelSearch(); });
}
