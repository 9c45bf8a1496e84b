#pragma once
// TfrmBusMonitor: the traffic monitor. One row per exchange on every interface (time, IFC,
// address, class, command, answer or "TimeOut", outcome, answer time, poll or one-shot) with
// filters, and above it the link statistics per module and interface, so that a user sees at a
// glance which card fails, how often, since when and how slow each one is. New rows come in one
// batch per timer tick, never one repaint per exchange; pausing keeps the recording going.

#include <QWidget>
#include <cstdint>
#include <string>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSplitter;
class QTableView;
class QTableWidget;
class QTimer;
class TBusMonitorModel;
class TBusTraffic;
class TModulsList;

class TfrmBusMonitor : public QWidget {
  Q_OBJECT

 public:
  // Rows and statistics come in at most this often.
  static constexpr int kRefreshMs = 250;

  TfrmBusMonitor(TBusTraffic& traffic, TModulsList& list, QWidget* owner);
  ~TfrmBusMonitor() override;

  TBusMonitorModel* Model() const { return FModel; }

  // Takes the new exchanges into the table (unless paused) and refreshes the statistics.
  void Refresh();
  void RefreshStatistics();
  // Fills the interface and module lists from the model.
  void FillFilterLists();
  // Applies the filter controls to the table.
  void ApplyFilter();
  void SetPaused(bool paused);
  bool Paused() const { return FPaused; }
  // Empties the table and the recorded traffic.
  void Clear();
  void ResetStatistics();
  // Writes the rows shown to a CSV file; false (and a log line) when it failed.
  bool SaveCsv(const std::string& fileName);

  // Controls (object names as their member names).
  QComboBox* cboIFC;
  QComboBox* cboModul;
  QCheckBox* chbPollsAus;
  QCheckBox* chbNurFehler;
  QLineEdit* edSuche;
  QPushButton* btnPause;
  QPushButton* btnLeeren;
  QPushButton* btnSpeichern;
  QPushButton* btnStatistikReset;
  QLabel* lblInterfaces;
  QTableWidget* tblStatistik;
  QTableView* tblVerkehr;
  QLabel* lblStatus;
  QSplitter* splMonitor;

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void BuildControls();
  void SaveCsvClick();
  void UpdateStatus();
  // What the filter lists show of the model, in one number: they are filled again when it
  // changes (a card found, removed, moved to another address or named anew).
  uint64_t ListedFingerprint() const;

  TBusTraffic& FTraffic;
  TModulsList& FList;
  TBusMonitorModel* FModel;
  QTimer* FTimer;
  bool FPaused = false;
  int FTicks = 0;
  uint64_t FListed = 0;
  QString FDialogDir;
  QString FNote;  // the outcome of the last save, shown after the counts
};
