#include "ui/frm_bus_monitor.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QTableView>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <string_view>

#include "bus/bus_interface.h"
#include "model/moduls_list.h"
#include "model/traffic_format.h"
#include "model/traffic_log.h"
#include "modules/base_modul.h"
#include "support/files.h"
#include "support/message_sink.h"
#include "ui/bus_monitor_model.h"

namespace {

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

QString Number(double value, int decimals) {
  return QLocale().toString(value, 'f', decimals);
}

// Milliseconds from microseconds, for the statistics table.
QString Ms(int64_t us) {
  return Number(static_cast<double>(us) / 1000.0, 2);
}

// How long ago, in whole seconds or minutes.
QString Ago(int64_t ms, int64_t nowMs) {
  if (ms == 0) return "-";
  const int64_t seconds = std::max<int64_t>(0, (nowMs - ms) / 1000);
  if (seconds < 120) return QCoreApplication::translate("TfrmBusMonitor", "vor %1 s").arg(seconds);
  if (seconds < 7200)
    return QCoreApplication::translate("TfrmBusMonitor", "vor %1 min").arg(seconds / 60);
  return QCoreApplication::translate("TfrmBusMonitor", "vor %1 h").arg(seconds / 3600);
}

template <class TWidget>
TWidget* Named(TWidget* widget, const char* name, const QString& accessible) {
  widget->setObjectName(name);
  widget->setAccessibleName(accessible);
  return widget;
}

enum TStatColumn {
  scIFC,
  scAdr,
  scClass,
  scCaption,
  scExchanges,
  scAnswers,
  scTimeOuts,
  scUnreadable,
  scForeign,
  scMin,
  scMean,
  scP95,
  scMax,
  scLast,
  scCount
};

}  // namespace

TfrmBusMonitor::TfrmBusMonitor(TBusTraffic& traffic, TModulsList& list, QWidget* owner)
    : QWidget(owner, Qt::Window), FTraffic(traffic), FList(list) {
  setObjectName("frmBusMonitor");
  setWindowTitle(tr("Busmonitor"));
  setAccessibleName(tr("Busmonitor"));
  FModel = new TBusMonitorModel(traffic.Ring(), this);
  BuildControls();
  FTimer = new QTimer(this);
  FTimer->setInterval(kRefreshMs);
  connect(FTimer, &QTimer::timeout, this, [this] { Refresh(); });
  resize(940, 620);
  FillFilterLists();
  RefreshStatistics();
  UpdateStatus();
}

TfrmBusMonitor::~TfrmBusMonitor() = default;

void TfrmBusMonitor::BuildControls() {
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(6, 6, 6, 4);
  outer->setSpacing(4);

  // Filters.
  auto* filters = new QHBoxLayout();
  auto labelled = [&](const QString& caption, QWidget* control) {
    auto* label = new QLabel(caption, this);
    label->setObjectName("lbl" + control->objectName().mid(3));
    label->setBuddy(control);
    filters->addWidget(label);
    filters->addWidget(control);
  };
  cboIFC = Named(new QComboBox(this), "cboIFC", tr("Interface-Filter"));
  cboModul = Named(new QComboBox(this), "cboModul", tr("Modul-Filter"));
  cboModul->setMinimumWidth(190);
  cboModul->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  chbPollsAus =
      Named(new QCheckBox(tr("&Polls ausblenden"), this), "chbPollsAus", tr("Polls ausblenden"));
  chbNurFehler = Named(new QCheckBox(tr("nur &Fehler"), this), "chbNurFehler", tr("nur Fehler"));
  edSuche = Named(new QLineEdit(this), "edSuche", tr("Suchtext"));
  edSuche->setPlaceholderText(tr("Adresse, Klasse, Befehl, Antwort"));
  edSuche->setClearButtonEnabled(true);
  labelled(tr("&Interface:"), cboIFC);
  filters->addSpacing(6);
  labelled(tr("&Modul:"), cboModul);
  filters->addSpacing(6);
  filters->addWidget(chbPollsAus);
  filters->addWidget(chbNurFehler);
  filters->addSpacing(6);
  labelled(tr("Such&text:"), edSuche);
  filters->setStretchFactor(edSuche, 1);
  outer->addLayout(filters);

  // Commands.
  auto* commands = new QHBoxLayout();
  btnPause = Named(new QPushButton(tr("&Anhalten"), this), "btnPause", tr("Anzeige anhalten"));
  btnPause->setCheckable(true);
  btnPause->setToolTip(tr("Hält die Anzeige an; die Aufzeichnung läuft weiter."));
  btnLeeren = Named(new QPushButton(tr("&Leeren"), this), "btnLeeren", tr("Aufzeichnung leeren"));
  btnLeeren->setToolTip(tr("Verwirft die aufgezeichneten Austausche."));
  btnSpeichern = Named(new QPushButton(tr("Als &CSV speichern..."), this), "btnSpeichern",
                       tr("Als CSV speichern"));
  btnSpeichern->setToolTip(
      tr("Speichert die angezeigten Zeilen als CSV-Datei: eine Kopfzeile, Felder durch Semikolon "
         "getrennt,\nAntwortzeiten in ganzen Mikrosekunden (answer_us)."));
  btnStatistikReset = Named(new QPushButton(tr("Statistik &zurücksetzen"), this),
                            "btnStatistikReset", tr("Statistik zurücksetzen"));
  for (QPushButton* button : {btnPause, btnLeeren, btnSpeichern, btnStatistikReset})
    commands->addWidget(button);
  commands->addStretch(1);
  outer->addLayout(commands);

  lblInterfaces = Named(new QLabel(this), "lblInterfaces", tr("Interfaces"));
  lblInterfaces->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  outer->addWidget(lblInterfaces);

  splMonitor = Named(new QSplitter(Qt::Vertical, this), "splMonitor", tr("Statistik und Verkehr"));
  splMonitor->setChildrenCollapsible(false);
  tblStatistik =
      Named(new QTableWidget(0, scCount, splMonitor), "tblStatistik", tr("Statistik je Modul"));
  tblStatistik->setHorizontalHeaderLabels({tr("IFC"), tr("Adr."), tr("Klasse"), tr("Bezeichnung"),
                                           tr("Austausche"), tr("Antworten"), tr("TimeOuts"),
                                           tr("unlesbar"), tr("fremd"), tr("min ms"), tr("Ø ms"),
                                           tr("p95 ms"), tr("max ms"), tr("letzte Antwort")});
  tblStatistik->setEditTriggers(QAbstractItemView::NoEditTriggers);
  tblStatistik->setSelectionBehavior(QAbstractItemView::SelectRows);
  tblStatistik->setSelectionMode(QAbstractItemView::SingleSelection);
  tblStatistik->verticalHeader()->setVisible(false);
  tblStatistik->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
  tblStatistik->horizontalHeader()->setStretchLastSection(true);
  const int statWidths[scCount] = {36, 44, 70, 140, 74, 70, 66, 60, 50, 58, 58, 58, 58, 90};
  for (int i = 0; i < scCount; ++i)
    tblStatistik->setColumnWidth(i, statWidths[i]);
  tblStatistik->setToolTip(tr("Doppelklick: nur den Verkehr dieses Moduls zeigen"));

  tblVerkehr = Named(new QTableView(splMonitor), "tblVerkehr", tr("Busverkehr"));
  tblVerkehr->setModel(FModel);
  tblVerkehr->setSelectionBehavior(QAbstractItemView::SelectRows);
  tblVerkehr->verticalHeader()->setVisible(false);
  // Fixed row heights: a table of 100 000 rows never measures them.
  tblVerkehr->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  tblVerkehr->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
  tblVerkehr->horizontalHeader()->setStretchLastSection(true);
  const int widths[TBusMonitorModel::colCount] = {96, 36, 44, 96, 100, 190, 96, 64, 60};
  for (int i = 0; i < TBusMonitorModel::colCount; ++i)
    tblVerkehr->setColumnWidth(i, widths[i]);
  splMonitor->addWidget(tblStatistik);
  splMonitor->addWidget(tblVerkehr);
  splMonitor->setStretchFactor(0, 1);
  splMonitor->setStretchFactor(1, 2);
  outer->addWidget(splMonitor, 1);

  lblStatus = Named(new QLabel(this), "lblStatus", "Status");
  outer->addWidget(lblStatus);

  // The module list follows the interface chosen, and the table both of them.
  connect(cboIFC, &QComboBox::currentIndexChanged, this, [this] { FillFilterLists(); });
  connect(cboModul, &QComboBox::currentIndexChanged, this, [this] { ApplyFilter(); });
  connect(chbPollsAus, &QCheckBox::toggled, this, [this] { ApplyFilter(); });
  connect(chbNurFehler, &QCheckBox::toggled, this, [this] { ApplyFilter(); });
  connect(edSuche, &QLineEdit::textChanged, this, [this] { ApplyFilter(); });
  connect(btnPause, &QPushButton::toggled, this, [this](bool on) { SetPaused(on); });
  connect(btnLeeren, &QPushButton::clicked, this, [this] { Clear(); });
  connect(btnSpeichern, &QPushButton::clicked, this, [this] { SaveCsvClick(); });
  connect(btnStatistikReset, &QPushButton::clicked, this, [this] { ResetStatistics(); });
  connect(tblStatistik, &QTableWidget::cellDoubleClicked, this, [this](int row, int) {
    const QTableWidgetItem* ifc = tblStatistik->item(row, scIFC);
    const QTableWidgetItem* adr = tblStatistik->item(row, scAdr);
    if (!ifc || !adr) return;
    const int ifcIndex = cboIFC->findData(ifc->data(Qt::UserRole));
    if (ifcIndex >= 0) cboIFC->setCurrentIndex(ifcIndex);
    const int modulIndex = cboModul->findData(adr->data(Qt::UserRole));
    if (modulIndex >= 0) cboModul->setCurrentIndex(modulIndex);
  });
}

uint64_t TfrmBusMonitor::ListedFingerprint() const {
  // FNV-1a over what the lists show.
  uint64_t hash = 14695981039346656037ull;
  auto byte = [&hash](unsigned char c) {
    hash ^= c;
    hash *= 1099511628211ull;
  };
  auto add = [&byte](std::string_view text) {
    for (const char c : text)
      byte(static_cast<unsigned char>(c));
    byte(0x1f);
  };
  for (int i = 0; i < FList.IFCCount(); ++i) {
    const TRS485IFC* ifc = FList.IFCByIndex(i);
    add(std::to_string(ifc->IfcNumber()));
    for (int j = 0; j < ifc->Count(); ++j)
      if (const auto* modul = dynamic_cast<const TBaseModul*>(ifc->Item(j))) {
        add(std::to_string(modul->Adresse));
        add(modul->ClassName());
        add(modul->Bezeichnung);
      }
  }
  return hash;
}

void TfrmBusMonitor::FillFilterLists() {
  FListed = ListedFingerprint();
  const QVariant ifcWanted = cboIFC->currentData();
  const QVariant modulWanted = cboModul->currentData();
  const QSignalBlocker blockIfc(cboIFC);
  const QSignalBlocker blockModul(cboModul);
  cboIFC->clear();
  cboIFC->addItem(tr("alle"), -1);
  for (int i = 0; i < FList.IFCCount(); ++i) {
    const int32_t number = FList.IFCByIndex(i)->IfcNumber();
    cboIFC->addItem(QString("IFC(%1)").arg(number), number);
  }
  cboIFC->setCurrentIndex(std::max(0, cboIFC->findData(ifcWanted.isValid() ? ifcWanted : -1)));
  const int32_t ifcShown = cboIFC->currentData().toInt();
  cboModul->clear();
  cboModul->addItem(tr("alle"), -1);
  for (int i = 0; i < FList.IFCCount(); ++i) {
    const TRS485IFC* ifc = FList.IFCByIndex(i);
    if (ifcShown >= 0 && ifc->IfcNumber() != ifcShown) continue;
    for (int j = 0; j < ifc->Count(); ++j) {
      const auto* modul = dynamic_cast<const TBaseModul*>(ifc->Item(j));
      if (!modul || cboModul->findData(static_cast<int>(modul->Adresse)) >= 0) continue;
      QString text = Q(modul->AdresseText()) + "  " + modul->ClassName();
      if (!modul->Bezeichnung.empty()) text += "  " + Q(modul->Bezeichnung);
      cboModul->addItem(text, static_cast<int>(modul->Adresse));
    }
  }
  cboModul->setCurrentIndex(
      std::max(0, cboModul->findData(modulWanted.isValid() ? modulWanted : -1)));
  // An entry the table is filtered on may be gone from the lists (its module or interface was
  // removed or renumbered): the lists then show "alle", and the table must show that too.
  const TTrafficFilter& applied = FModel->Filter();
  if (cboIFC->currentData().toInt() != applied.Ifc ||
      cboModul->currentData().toInt() != applied.Address)
    ApplyFilter();
}

void TfrmBusMonitor::ApplyFilter() {
  TTrafficFilter filter;
  filter.Ifc = cboIFC->currentData().isValid() ? cboIFC->currentData().toInt() : -1;
  filter.Address = cboModul->currentData().isValid() ? cboModul->currentData().toInt() : -1;
  filter.HidePolls = chbPollsAus->isChecked();
  filter.OnlyFaults = chbNurFehler->isChecked();
  filter.Text = edSuche->text().trimmed().toStdString();
  FModel->SetFilter(filter);
  tblVerkehr->scrollToBottom();
  UpdateStatus();
}

void TfrmBusMonitor::Refresh() {
  if (!FPaused) {
    // Follow the newest rows only while the user looks at the end of the table.
    const QScrollBar* bar = tblVerkehr->verticalScrollBar();
    const bool atEnd = bar->value() >= bar->maximum();
    if (FModel->Update() > 0 && atEnd) tblVerkehr->scrollToBottom();
  }
  // The statistics change more slowly than the rows: every other tick is enough. Cards found by
  // a search, moved or named meanwhile show so in the module list.
  if (++FTicks % 2 == 0) {
    RefreshStatistics();
    if (ListedFingerprint() != FListed) FillFilterLists();
  }
  UpdateStatus();
}

void TfrmBusMonitor::RefreshStatistics() {
  const TLinkStatistics& statistics = FTraffic.Statistics();
  const int64_t now = WallClockMs();
  tblStatistik->setUpdatesEnabled(false);
  tblStatistik->setRowCount(static_cast<int>(statistics.Modules().size()));
  int row = 0;
  for (const auto& [key, c] : statistics.Modules()) {
    const TBaseModul* modul = ModuleAt(FList, key.first, key.second);
    const TAnswerTimeHistogram& t = c.AnswerTimes;
    auto time = [&](int64_t us) { return t.Count() ? Ms(us) : QString("-"); };
    const QString cells[scCount] = {QString::number(key.first),
                                    Q(AddressText(key.second)),
                                    modul ? QString(modul->ClassName()) : QString("-"),
                                    modul ? Q(modul->Bezeichnung) : QString(),
                                    QString::number(c.Exchanges),
                                    QString::number(c.Answers),
                                    QString::number(c.TimedOut),
                                    QString::number(c.Unreadable),
                                    QString::number(c.Foreign),
                                    time(t.MinUs()),
                                    time(t.MeanUs()),
                                    time(t.PercentileUs(95)),
                                    time(t.MaxUs()),
                                    Ago(c.LastAnswerMs, now)};
    const TLinkHealth health =
        TLinkStatistics::Health(&c, now, ModulePolled(FList, key.first, key.second));
    const QColor background = health == TLinkHealth::Failing   ? QColor(255, 205, 205)
                              : health == TLinkHealth::Warning ? QColor(255, 238, 180)
                                                               : QColor();
    for (int column = 0; column < scCount; ++column) {
      QTableWidgetItem* item = tblStatistik->item(row, column);
      if (!item) {
        item = new QTableWidgetItem();
        if (column >= scExchanges && column <= scMax)
          item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        tblStatistik->setItem(row, column, item);
      }
      if (item->text() != cells[column]) item->setText(cells[column]);
      item->setBackground(background.isValid() ? QBrush(background) : QBrush());
    }
    tblStatistik->item(row, scIFC)->setData(Qt::UserRole, key.first);
    tblStatistik->item(row, scAdr)->setData(Qt::UserRole, key.second);
    ++row;
  }
  tblStatistik->setUpdatesEnabled(true);

  QStringList lines;
  for (const auto& [ifc, c] : statistics.Interfaces())
    lines << tr("IFC(%1): %2 Austausche/s, Buslast %3 % bei %4 Baud, %5 Fehler")
                 .arg(ifc)
                 .arg(Number(c.Rate.ExchangesPerSecond(now), 1))
                 .arg(Number(c.Rate.LineShare(now) * 100.0, 1))
                 .arg(c.Baud)
                 .arg(c.Faults());
  lines << tr("Statistik seit %1").arg(Q(LocalTimeText(statistics.SinceMs(), false)).left(8));
  lblInterfaces->setText(lines.join("     "));
}

void TfrmBusMonitor::UpdateStatus() {
  const TTrafficRing& ring = FTraffic.Ring();
  QString text = tr("%1 Austausche aufgezeichnet (höchstens %2), %3 angezeigt")
                     .arg(ring.Size())
                     .arg(ring.Capacity())
                     .arg(FModel->rowCount());
  if (FPaused) text += tr(" - angehalten, %1 neue").arg(FModel->Waiting());
  if (!FNote.isEmpty()) text += "     " + FNote;
  if (lblStatus->text() != text) lblStatus->setText(text);
}

void TfrmBusMonitor::SetPaused(bool paused) {
  FPaused = paused;
  if (btnPause->isChecked() != paused) {
    const QSignalBlocker block(btnPause);
    btnPause->setChecked(paused);
  }
  btnPause->setText(paused ? tr("&Weiter") : tr("&Anhalten"));
  if (!paused) Refresh();
  UpdateStatus();
}

void TfrmBusMonitor::Clear() {
  FTraffic.Ring().Clear();
  FModel->Reset();
  FNote.clear();
  UpdateStatus();
}

void TfrmBusMonitor::ResetStatistics() {
  FTraffic.ResetStatistics();
  RefreshStatistics();
}

bool TfrmBusMonitor::SaveCsv(const std::string& fileName) {
  std::string text = CsvHeader() + "\r\n";
  // While paused, rows at the top of the table may be gone from the recording already: they are
  // not written, and not counted.
  int written = 0;
  for (int row = 0; row < FModel->rowCount(); ++row)
    if (const TTrafficRow* shown = FModel->RowAt(row)) {
      text += CsvLine(*shown) + "\r\n";
      ++written;
    }
  try {
    WriteFileAtomically(fileName, text);
  } catch (const std::exception& e) {
    ReportMessage(std::string("TfrmBusMonitor.SaveCsv: ") + e.what(), 1);
    FNote = tr("Speichern fehlgeschlagen: %1").arg(Q(fileName));
    UpdateStatus();
    return false;
  }
  FNote = tr("%1 Zeilen gespeichert: %2").arg(written).arg(Q(fileName));
  UpdateStatus();
  return true;
}

void TfrmBusMonitor::SaveCsvClick() {
  const QString name = QFileDialog::getSaveFileName(
      this, tr("Busverkehr als CSV speichern (Semikolon-getrennt)"), FDialogDir,
      tr("CSV, Semikolon-getrennt (*.csv);;Alle Files (*.*)"));
  if (name.isEmpty()) return;
  FDialogDir = QFileInfo(name).absolutePath();
  SaveCsv(name.toStdString());
}

void TfrmBusMonitor::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  FillFilterLists();
  Refresh();
  RefreshStatistics();
  FTimer->start();
}

void TfrmBusMonitor::hideEvent(QHideEvent* event) {
  // Hidden, the window costs nothing; the ring keeps recording and it catches up when shown.
  FTimer->stop();
  QWidget::hideEvent(event);
}
