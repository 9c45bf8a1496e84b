// The main window's view of the link health: the tree's health columns and state images, kept
// from the traffic of every interface, and the traffic monitor window.

#include <QLocale>
#include <QScrollBar>
#include <QTimer>
#include <QTreeWidget>

#include "bus/bus_interface.h"
#include "model/moduls_list.h"
#include "model/traffic_log.h"
#include "modules/base_modul.h"
#include "ui/controls/tree_helpers.h"
#include "ui/frm_bus_monitor.h"
#include "ui/main_window.h"
#include "ui/main_window_internal.h"

using namespace main_window_detail;

namespace {

// The tree shows health at most this often.
constexpr int kHealthRefreshMs = 500;
// A tree of up to this many rows is refreshed whole; a bigger one only where it is seen, so that
// the largest models cost no more than a small one.
constexpr int kRefreshAllRows = 256;

QString Ms(int64_t us) {
  const double ms = static_cast<double>(us) / 1000.0;
  return QLocale().toString(ms, 'f', ms < 100 ? 1 : 0);
}

}  // namespace

void TfrmVelmoraConfig::CreateTraffic() {
  FTraffic = std::make_unique<TBusTraffic>(
      [this](int32_t ifc, int address) { return ModuleClassAt(ModulsList(), ifc, address); });
  FHealthTimer = new QTimer(this);
  FHealthTimer->setObjectName("tmrHealth");
  FHealthTimer->setInterval(kHealthRefreshMs);
  connect(FHealthTimer, &QTimer::timeout, this, [this] { RefreshHealth(); });
  FHealthTimer->start();
  // Rows that come into view show their health at once.
  connect(VSTModuls->verticalScrollBar(), &QScrollBar::valueChanged, this,
          [this] { RefreshHealthRows(); });
  connect(VSTModuls, &QTreeWidget::itemExpanded, this, [this] { RefreshHealthRows(); });
}

QString TfrmVelmoraConfig::HealthText(const TModulsItem* item, int column) const {
  if (!FTraffic || !item || !item->IFC) return QString();
  const TLinkStatistics& statistics = FTraffic->Statistics();
  const TLinkCounters* counters =
      item->Modul ? statistics.Module(item->IFC->IfcNumber(), item->Modul->Adresse)
                  : statistics.Interface(item->IFC->IfcNumber());
  if (!counters || counters->Exchanges == 0) return QString();
  switch (column) {
    case tcAntwMs: {
      const TAnswerTimeHistogram& times = counters->AnswerTimes;
      if (times.Count() == 0) return "-";
      return Ms(times.MeanUs()) + "/" + Ms(times.PercentileUs(95));
    }
    case tcFehler:
      return QString::number(counters->Faults());
    case tcZuletzt: {
      if (counters->LastAnswerMs == 0) return "-";
      const int64_t seconds = std::max<int64_t>(0, (WallClockMs() - counters->LastAnswerMs) / 1000);
      if (seconds < 120) return QString("%1 s").arg(seconds);
      if (seconds < 7200) return QString("%1 min").arg(seconds / 60);
      return QString("%1 h").arg(seconds / 3600);
    }
    default:
      return QString();
  }
}

int TfrmVelmoraConfig::HealthStateImage(const TModulsItem* item) const {
  if (!FTraffic || !item || !item->IFC || !item->Modul) return -1;
  const int32_t ifc = item->IFC->IfcNumber();
  const int address = item->Modul->Adresse;
  const TLinkHealth health =
      TLinkStatistics::Health(FTraffic->Statistics().Module(ifc, address), WallClockMs(),
                              item->Modul->Polling && item->IFC->Active());
  if (health == TLinkHealth::Failing) return 4;
  if (health == TLinkHealth::Warning) return 3;
  return -1;
}

void TfrmVelmoraConfig::RefreshHealth() {
  if (!FTraffic || UpdateLock > 0) return;
  // With nothing new and every interface quiet, no figure and no age shown can have changed.
  const uint64_t taken = FTraffic->Statistics().Taken();
  const uint64_t resets = FTraffic->Statistics().Resets();
  bool anyActive = false;
  for (int i = 0; i < ModulsList().IFCCount() && !anyActive; ++i)
    anyActive = ModulsList().IFCByIndex(i)->Active();
  if (taken == FHealthTaken && resets == FHealthResets && !anyActive) return;
  FHealthTaken = taken;
  FHealthResets = resets;
  RefreshHealthRows();
}

void TfrmVelmoraConfig::RefreshHealthRows() {
  if (!FTraffic || UpdateLock > 0) return;
  std::vector<QTreeWidgetItem*> rows = TreeNodes(VSTModuls);
  if (rows.size() > static_cast<std::size_t>(kRefreshAllRows)) {
    rows.clear();
    if (VSTModuls->isVisible()) {
      const int bottom = VSTModuls->viewport()->height();
      for (QTreeWidgetItem* node = VSTModuls->itemAt(QPoint(1, 1)); node;
           node = VSTModuls->itemBelow(node)) {
        if (VSTModuls->visualItemRect(node).top() > bottom) break;
        rows.push_back(node);
      }
    }
  }
  Lock();
  for (QTreeWidgetItem* node : rows) {
    for (int column = tcAntwMs; column < kTreeColumns; ++column) {
      const QString text = VSTModulsGetText(node, column);
      if (node->text(column) != text) node->setText(column, text);
    }
    SetNodeIcon(node);
    const int state = HealthStateImage(ItemOf(node));
    const QString tip = state == 4   ? tr("Modul antwortet nicht mehr")
                        : state == 3 ? tr("Fehler in der letzten Minute (TimeOut, unlesbare oder "
                                          "fremde Antwort)")
                                     : QString();
    if (node->toolTip(0) != tip) node->setToolTip(0, tip);
  }
  Unlock();
}

void TfrmVelmoraConfig::mnuBusmonitor1Click() {
  if (!FBusMonitor) FBusMonitor = new TfrmBusMonitor(*FTraffic, ModulsList(), this);
  FBusMonitor->show();
  FBusMonitor->raise();
  FBusMonitor->activateWindow();
}
