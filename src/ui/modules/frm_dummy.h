#pragma once
// TfrmDummy: the property window of a module of unknown type: its address and the two boxes
// that make it live and let it poll.

#include "ui/modules/modul_form.h"

class QTabWidget;

class TfrmDummy : public TfrmModulBase {
  Q_OBJECT

 public:
  TfrmDummy();

  QTabWidget* PageControl1;
  QWidget* TabSheet1;
  QWidget* TabSheet2;
};
