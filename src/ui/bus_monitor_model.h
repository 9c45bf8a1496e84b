#pragma once
// TBusMonitorModel: the traffic monitor's table, one row per exchange, over the ring of the
// window's traffic. It holds only the sequence numbers of the rows its filter lets through, and
// takes new rows in one batch per Update: one insertion, at most one removal at the front.

#include <QAbstractTableModel>
#include <cstdint>
#include <deque>

#include "model/traffic_log.h"

class TBusMonitorModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum TColumn {
    colTime,
    colIFC,
    colAdr,
    colClass,
    colCommand,
    colAnswer,
    colOutcome,
    colMs,
    colKind,
    colCount
  };

  explicit TBusMonitorModel(const TTrafficRing& ring, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

  // Shows the rows taken in so far that pass the filter.
  void SetFilter(const TTrafficFilter& filter);
  const TTrafficFilter& Filter() const { return FFilter; }
  // Takes in what the ring got since the last call and lets go of rows it dropped. Returns the
  // number of rows added.
  int Update();
  // After the ring was emptied: no rows, and only what comes from now on.
  void Reset();
  // Rows of the ring not yet taken in (while the monitor is paused).
  uint64_t Waiting() const;

  const TTrafficRow* RowAt(int row) const;
  // The outcome as the table shows it.
  static QString OutcomeText(TExchangeOutcome outcome);

 private:
  const TTrafficRing& FRing;
  TTrafficFilter FFilter;
  std::deque<uint64_t> FRows;  // sequence numbers in the ring
  uint64_t FSeen = 0;          // rows of the ring before this one were looked at
};
