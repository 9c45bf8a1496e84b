#pragma once
// The main window's side of backing up, comparing and restoring the cards' settings: asks what
// to work on, runs the workflow with a progress dialog that can cancel it, puts one line per
// card into the log and shows the results as a table.

#include <QObject>
#include <QPointer>
#include <QProgressDialog>
#include <functional>
#include <optional>

#include "model/card_config_run.h"
#include "ui/card_config_dialog.h"
#include "ui/card_config_table.h"

class TfrmVelmoraConfig;

class TCardConfigController : public QObject {
  Q_OBJECT

 public:
  explicit TCardConfigController(TfrmVelmoraConfig* window);

  // The menu entries: for the selected card, or all cards of the selected interface or model.
  void Start(TCardConfigAction action);

  // Asks what to work on (the dialog; tests answer instead). Nothing: cancelled.
  std::function<std::optional<TCardConfigChoice>(const TCardConfigRequest&)> Ask;
  // Called with the run before it starts (tests cancel it or slow it down here).
  std::function<void(TCardConfigRun&)> OnRunCreated;

  // The window of the last results, once there is one.
  TfrmConfigTable* Table() const { return FTable; }
  QProgressDialog* Progress() const { return FProgress; }
  // The run in progress, if any.
  TCardConfigRun* Running() const { return FRunning.get(); }

 private:
  std::optional<TCardConfigChoice> AskWithDialog(const TCardConfigRequest& request);
  std::string DefaultFile() const;

  TfrmVelmoraConfig* FWindow;
  QPointer<TfrmConfigTable> FTable;
  QPointer<QProgressDialog> FProgress;
  std::shared_ptr<TCardConfigRun> FRunning;
};
