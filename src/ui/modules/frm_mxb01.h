#pragma once
// TfrmMXB01: the property window of the type-1 switch and signal card. The "Direkt" row shows
// the sixteen outputs and switches them; the "Impuls" row pulses them; the pulse duration is
// shown and set below.

#include <cstdint>

#include "ui/modules/modul_form.h"

class QFrame;
class QLabel;
class QPushButton;
class TBtnKette;
class TLumiKette;
class TMXB01;

class TfrmMXB01 : public TfrmModulBase {
  Q_OBJECT

 public:
  // The pulse durations the card takes, in milliseconds.
  static constexpr int kMaxTVTrigger = 65535;

  TfrmMXB01();

  // Also shows the module's pulse duration.
  void SetModul(TBaseModul* modul) override;
  // The "Direkt" row follows the outputs; the duration box follows the module's duration only
  // when that really changed, so that an edit the user has begun survives other answers.
  void ModulDataChanged() override;

  void BtnKette1BtnNrClick(QObject* sender, int btnNr);
  void BtnKette2BtnNrClick(QObject* sender, int btnNr);
  void LumiKette1DblClick(QObject* sender);
  // "Update": a new duration is sent to the card, the present one is asked for again.
  void btnTVTriggerClick();

  // The duration last written into edTVTrigger.
  uint16_t TVTriggerCache() const { return FTVTrigger; }

  QFrame* Panel1;
  QFrame* Panel2;
  QFrame* Panel3;
  QFrame* Panel4;
  QLabel* Label2;
  QLabel* Label3;
  QLabel* Label4;
  TLumiKette* LumiKette1;
  TBtnKette* BtnKette1;
  TLumiKette* LumiKette2;
  TBtnKette* BtnKette2;
  QLineEdit* edTVTrigger;
  QPushButton* btnTVTrigger;

 private:
  // The bound module as a type-1 card; none when nothing or another type is bound.
  TMXB01* MXB01() const;
  void ShowTVTrigger(int32_t value);

  uint16_t FTVTrigger = 0;
};
