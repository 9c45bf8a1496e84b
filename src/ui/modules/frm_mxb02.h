#pragma once
// TfrmMXB02: the property window of the type-2 switch and signal card. Page "Aktion" switches
// and pulses the sixteen outputs; page "Einstellung" shows the per-output settings in a table of
// sixteen rows and changes them for every selected row at once, and reads, stores and restores
// the card's settings memory.

#include <QString>

#include "ui/modules/modul_form.h"

class QLabel;
class QPushButton;
class QTabWidget;
class QTreeWidget;
class QTreeWidgetItem;
class TBtnKette;
class TLumiKette;
class TMXB02;
class TUpDown;

class TfrmMXB02 : public TfrmModulBase {
  Q_OBJECT

 public:
  // The table's columns.
  enum { colPort, colON, colINV, colTV1, colTV2, colBL, colMF, colCount };
  // One pulse-time unit of the card, in milliseconds: the spinners' step.
  static constexpr int kTVUnit = 50;

  TfrmMXB02();

  // Also fills the port table with its sixteen rows (an empty module too).
  void SetModul(TBaseModul* modul) override;
  void DetachModul() override;
  // The lamp row follows the outputs; the table and the selected row's settings are drawn again.
  void ModulDataChanged() override;

  void BtnKette1BtnNrClick(QObject* sender, int btnNr);
  void BtnKette2BtnNrClick(QObject* sender, int btnNr);
  // The text of one cell, from the module's present state.
  QString VST1GetText(const QTreeWidgetItem* node, int column) const;
  // Shows the settings of the last selected row in the setting controls; sends nothing.
  void VST1Click();
  // One of the four flag buttons: its bit of every selected row becomes 1, or 0 if the button
  // shows "1".
  void btnFlagsClick(QObject* sender);
  // A spinner moved: its pulse time goes to every selected row.
  void edTVChange(QObject* sender);
  void btnLoadAVRDumpClick();
  void btnSaveDumpToEEClick();
  void btnResetFirmWareClick();

  // Whether this window has asked for the settings memory already.
  bool DumpRequested() const { return FDumpRequested; }
  // The output number a row stands for, or -1.
  static int NodePort(const QTreeWidgetItem* node);

  QTabWidget* PageControl1;
  QWidget* TabSheet1;
  QWidget* TabSheet2;
  QLabel* Label2;
  QLabel* Label3;
  TLumiKette* LumiKette1;
  TBtnKette* BtnKette1;
  TLumiKette* LumiKette2;
  TBtnKette* BtnKette2;
  QPushButton* btnON;
  QPushButton* btnINV;
  QLineEdit* edTV1;
  TUpDown* UpDown1;
  QLineEdit* edTv2;
  TUpDown* UpDown2;
  QPushButton* btnBL;
  QPushButton* btnMF;
  QTreeWidget* VST1;
  QPushButton* btnLoadAVRDump;
  QPushButton* btnSaveDumpToEE;
  QPushButton* btnResetFirmWare;

 protected:
  // The caption names the interface and the address.
  void FormActivateExtra() override;
  // The first time the module goes live from this window, its settings memory is read.
  void AktivClickExtra() override;

 private:
  // The bound module as a type-2 card; none when nothing or another type is bound.
  TMXB02* MXB02() const;
  void FillVST1();
  void RefreshNode(QTreeWidgetItem* node);
  void RefreshVST1();
  // The settings of the last selected row into the setting controls, without the update lock.
  void ShowSelectedSettings();

  bool FDumpRequested = false;
};
