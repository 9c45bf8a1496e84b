#pragma once
// The question before backing up, comparing or restoring the cards' settings: which cards (the
// selected one, those of the selected interface, or every card of the model), which backup
// file, and, for one card, which section of the file it is compared with or restored from (the
// old card's section for a replacement card at another address). A comparison may also be
// made with the program's image of the cards instead of the file.

#include <QDialog>
#include <optional>
#include <string>

#include "model/card_config_run.h"

class QComboBox;
class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

struct TCardConfigRequest {
  TCardConfigAction Action = caBackup;
  std::string CardLabel;    // the selected card ("IFC0 $1E TMXB01"); empty when none
  std::string CardClass;    // its class
  std::string CardSection;  // its own section
  std::string IfcLabel;     // the selected interface ("IFC(0)"); empty when none
  std::string File;         // the proposed backup file
};

struct TCardConfigChoice {
  enum TScope { scCard, scIfc, scModel };
  TScope Scope = scModel;
  std::string File;
  bool WithImage = false;
  std::string Section;  // one card only: the section to compare with or restore from
};

// Caption of the dialog and of the result window: "Konfiguration sichern" and so on.
QString CardConfigCaption(TCardConfigAction action);

class TfrmCardConfig : public QDialog {
  Q_OBJECT

 public:
  TfrmCardConfig(const TCardConfigRequest& request, QWidget* parent = nullptr);

  TCardConfigChoice Choice() const;

  QRadioButton* rbKarte;
  QRadioButton* rbInterface;
  QRadioButton* rbModell;
  QLineEdit* edDatei;
  QPushButton* btnDatei;
  QRadioButton* rbMitDatei;     // compare only
  QRadioButton* rbMitProgramm;  // compare only
  QLabel* lblAbschnitt;
  QComboBox* cboAbschnitt;  // compare and restore
  QDialogButtonBox* Buttons;

  // Lists the card sections of the file named in edDatei, the selected card's own first.
  void FillSections();
  void UpdateControls();

 private:
  void btnDateiClick();

  TCardConfigRequest FRequest;
};
