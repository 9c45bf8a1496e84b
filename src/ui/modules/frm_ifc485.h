#pragma once
// TfrmIFC485: the property window of the interface card's own 8-bit port expansion. Lamp n
// shows output n; the button under it toggles the output.

#include "ui/modules/modul_form.h"

class QLabel;
class QTabWidget;
class TBtnKette;
class TIFCPorts;
class TLumiKette;

class TfrmIFC485 : public TfrmModulBase {
  Q_OBJECT

 public:
  TfrmIFC485();

  // Also shows the module's outputs at once.
  void SetModul(TBaseModul* modul) override;
  // The lamp row follows the module's outputs.
  void ModulDataChanged() override;

  // A button of the row: the lamp always flips; a live module also flips its output.
  void BtnKette1BtnNrClick(QObject* sender, int btnNr);
  // Double-click on the lamps: ask the card for its outputs now.
  void LumiKette1DblClick(QObject* sender);

  QTabWidget* PageControl1;
  QWidget* TabSheet1;
  QWidget* TabSheet2;
  QLabel* Label2;
  TLumiKette* LumiKette1;
  TBtnKette* BtnKette1;

 private:
  // The bound module as a port expansion; none when nothing or another type is bound.
  TIFCPorts* IFCPorts() const;
};
