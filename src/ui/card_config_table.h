#pragma once
// The result of backing up, comparing or restoring the cards' settings as a table: one row per
// card with what became of it, under it one row per setting that differs, with its value in the
// file (or the program) and on the card.

#include <QWidget>
#include <string>
#include <vector>

#include "model/card_config_run.h"

class QLabel;
class QPushButton;
class QTreeWidget;

class TfrmConfigTable : public QWidget {
  Q_OBJECT

 public:
  explicit TfrmConfigTable(QWidget* parent = nullptr);

  // Shows the results of one run; `source` names what the cards were compared with.
  void ShowResults(TCardConfigAction action, const std::string& source,
                   const std::vector<TCardResult>& results, const std::string& summary);

  QLabel* lblQuelle;
  QTreeWidget* VSTKonfig;
  QLabel* lblSumme;
  QPushButton* btnSchliessen;
};
