#include "ui/bus_monitor_model.h"

#include <QBrush>
#include <QColor>
#include <QLocale>
#include <algorithm>

#include "model/traffic_format.h"

namespace {

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

}  // namespace

TBusMonitorModel::TBusMonitorModel(const TTrafficRing& ring, QObject* parent)
    : QAbstractTableModel(parent), FRing(ring), FSeen(ring.FirstSeq()) {
  // What the ring holds already is shown at once.
  Update();
}

int TBusMonitorModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(FRows.size());
}

int TBusMonitorModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : colCount;
}

QString TBusMonitorModel::OutcomeText(TExchangeOutcome outcome) {
  switch (outcome) {
    case TExchangeOutcome::Answered:
      return "OK";
    case TExchangeOutcome::TimedOut:
      return "TimeOut";
    case TExchangeOutcome::Unreadable:
      return tr("unlesbar");
    case TExchangeOutcome::Foreign:
      return tr("fremde Karte");
  }
  return QString();
}

const TTrafficRow* TBusMonitorModel::RowAt(int row) const {
  if (row < 0 || row >= static_cast<int>(FRows.size())) return nullptr;
  return FRing.At(FRows[static_cast<std::size_t>(row)]);
}

QVariant TBusMonitorModel::data(const QModelIndex& index, int role) const {
  const TTrafficRow* row = RowAt(index.row());
  if (!row) return QVariant();
  const TExchangeRecord& r = row->Record;
  if (role == Qt::DisplayRole) {
    switch (index.column()) {
      case colTime:
        return Q(LocalTimeText(r.WrittenMs, false));
      case colIFC:
        return r.IfcNumber;
      case colAdr:
        return Q(AddressText(r.Address()));
      case colClass:
        return QString(row->ClassName);
      case colCommand:
        return Q(ShownCommand(r));
      case colAnswer:
        return Q(ShownAnswer(r));
      case colOutcome:
        return OutcomeText(r.Outcome);
      case colMs:
        return QLocale().toString(static_cast<double>(r.AnswerUs) / 1000.0, 'f', 2);
      case colKind:
        return r.Poll ? tr("Poll") : tr("einmalig");
      default:
        return QVariant();
    }
  }
  if (role == Qt::TextAlignmentRole && (index.column() == colMs || index.column() == colIFC))
    return QVariant(Qt::AlignRight | Qt::AlignVCenter);
  if (role == Qt::BackgroundRole && r.IsFault())
    return QBrush(r.Outcome == TExchangeOutcome::TimedOut ? QColor(255, 215, 215)
                                                          : QColor(255, 232, 190));
  if (role == Qt::ToolTipRole) {
    QString tip = Q(LocalTimeText(r.WrittenMs, true)) + "\n" + OutcomeText(r.Outcome);
    if (r.ResyncPrefix) tip += "\n" + tr("mit Resync-Präfix <A7><0D> gesendet");
    if (r.Outcome == TExchangeOutcome::Foreign)
      tip += "\n" + tr("Antwort einer anderen Karte (oft eine verspätete Antwort)");
    if (r.Outcome == TExchangeOutcome::TimedOut)
      tip += "\n" + tr("keine Antwortzeile innerhalb der Time Out Zeit");
    return tip;
  }
  return QVariant();
}

QVariant TBusMonitorModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return QVariant();
  static const char* const kTitles[colCount] = {
      QT_TR_NOOP("Zeit"),     QT_TR_NOOP("IFC"),    QT_TR_NOOP("Adr."),
      QT_TR_NOOP("Klasse"),   QT_TR_NOOP("Befehl"), QT_TR_NOOP("Antwort"),
      QT_TR_NOOP("Ergebnis"), QT_TR_NOOP("ms"),     QT_TR_NOOP("Art")};
  return section >= 0 && section < colCount ? tr(kTitles[section]) : QVariant();
}

void TBusMonitorModel::SetFilter(const TTrafficFilter& filter) {
  beginResetModel();
  FFilter = filter;
  FRows.clear();
  for (uint64_t seq = FRing.FirstSeq(); seq < FSeen; ++seq)
    if (const TTrafficRow* row = FRing.At(seq); row && FFilter.Matches(*row)) FRows.push_back(seq);
  endResetModel();
}

int TBusMonitorModel::Update() {
  const uint64_t first = FRing.FirstSeq();
  const auto gone = static_cast<int>(
      std::find_if(FRows.begin(), FRows.end(), [first](uint64_t seq) { return seq >= first; }) -
      FRows.begin());
  if (gone > 0) {
    beginRemoveRows(QModelIndex(), 0, gone - 1);
    FRows.erase(FRows.begin(), FRows.begin() + gone);
    endRemoveRows();
  }
  std::vector<uint64_t> added;
  for (uint64_t seq = std::max(FSeen, first); seq < FRing.EndSeq(); ++seq)
    if (FFilter.Matches(*FRing.At(seq))) added.push_back(seq);
  FSeen = FRing.EndSeq();
  if (added.empty()) return 0;
  const int start = static_cast<int>(FRows.size());
  beginInsertRows(QModelIndex(), start, start + static_cast<int>(added.size()) - 1);
  FRows.insert(FRows.end(), added.begin(), added.end());
  endInsertRows();
  return static_cast<int>(added.size());
}

void TBusMonitorModel::Reset() {
  beginResetModel();
  FRows.clear();
  FSeen = FRing.EndSeq();
  endResetModel();
}

uint64_t TBusMonitorModel::Waiting() const {
  return FRing.EndSeq() - std::max(FSeen, FRing.FirstSeq());
}
