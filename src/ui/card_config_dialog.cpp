#include "ui/card_config_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "modules/module_factory.h"
#include "support/conversions.h"

namespace {

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

QString OkCaption(TCardConfigAction action) {
  switch (action) {
    case caBackup:
      return TfrmCardConfig::tr("Sichern");
    case caCompare:
      return TfrmCardConfig::tr("Vergleichen");
    case caRestore:
      return TfrmCardConfig::tr("Wiederherstellen");
  }
  return "OK";
}

template <class TWidget>
TWidget* Named(TWidget* widget, const char* name, const QString& accessible) {
  widget->setObjectName(name);
  widget->setAccessibleName(accessible);
  return widget;
}

}  // namespace

QString CardConfigCaption(TCardConfigAction action) {
  switch (action) {
    case caBackup:
      return TfrmCardConfig::tr("Konfiguration sichern");
    case caCompare:
      return TfrmCardConfig::tr("Konfiguration vergleichen");
    case caRestore:
      return TfrmCardConfig::tr("Konfiguration wiederherstellen");
  }
  return TfrmCardConfig::tr("Konfiguration");
}

TfrmCardConfig::TfrmCardConfig(const TCardConfigRequest& request, QWidget* parent)
    : QDialog(parent), FRequest(request) {
  setObjectName("frmCardConfig");
  setWindowTitle(CardConfigCaption(request.Action));
  auto* outer = new QVBoxLayout(this);

  auto* scope = Named(new QGroupBox(tr(" Karten "), this), "grpKarten", tr("Karten"));
  auto* scopeLayout = new QVBoxLayout(scope);
  const QString card = request.CardLabel.empty()
                           ? tr("Ausgewählte Karte (keine gewählt)")
                           : tr("Ausgewählte Karte: %1").arg(Q(request.CardLabel));
  rbKarte = Named(new QRadioButton(card, scope), "rbKarte", tr("Ausgewählte Karte"));
  const QString ifc = request.IfcLabel.empty() ? tr("Alle Karten des Interfaces (keines gewählt)")
                                               : tr("Alle Karten von %1").arg(Q(request.IfcLabel));
  rbInterface =
      Named(new QRadioButton(ifc, scope), "rbInterface", tr("Alle Karten des Interfaces"));
  rbModell = Named(new QRadioButton(tr("Alle Karten des Modells"), scope), "rbModell",
                   tr("Alle Karten des Modells"));
  rbKarte->setEnabled(!request.CardLabel.empty());
  rbInterface->setEnabled(!request.IfcLabel.empty());
  (request.CardLabel.empty() ? (request.IfcLabel.empty() ? rbModell : rbInterface) : rbKarte)
      ->setChecked(true);
  for (QRadioButton* rb : {rbKarte, rbInterface, rbModell})
    scopeLayout->addWidget(rb);
  outer->addWidget(scope);

  auto* fileBox =
      Named(new QGroupBox(tr(" Sicherungsdatei "), this), "grpDatei", tr("Sicherungsdatei"));
  auto* fileLayout = new QHBoxLayout(fileBox);
  edDatei = Named(new QLineEdit(Q(request.File), fileBox), "edDatei", tr("Sicherungsdatei"));
  edDatei->setMinimumWidth(360);
  btnDatei = Named(new QPushButton("…", fileBox), "btnDatei", tr("Sicherungsdatei wählen"));
  btnDatei->setToolTip(tr("Sicherungsdatei wählen"));
  btnDatei->setFixedWidth(btnDatei->fontMetrics().horizontalAdvance("…") + 24);
  fileLayout->addWidget(edDatei, 1);
  fileLayout->addWidget(btnDatei);
  outer->addWidget(fileBox);
  connect(btnDatei, &QPushButton::clicked, this, [this] { btnDateiClick(); });
  connect(edDatei, &QLineEdit::editingFinished, this, [this] { FillSections(); });

  auto* against =
      Named(new QGroupBox(tr(" Vergleichen mit "), this), "grpVergleich", tr("Vergleichen mit"));
  auto* againstLayout = new QVBoxLayout(against);
  rbMitDatei = Named(new QRadioButton(tr("der Sicherungsdatei"), against), "rbMitDatei",
                     tr("Mit der Sicherungsdatei vergleichen"));
  rbMitProgramm = Named(
      new QRadioButton(tr("dem Stand im Programm (wie die Kartenfenster ihn zeigen)"), against),
      "rbMitProgramm", tr("Mit dem Stand im Programm vergleichen"));
  rbMitDatei->setChecked(true);
  againstLayout->addWidget(rbMitDatei);
  againstLayout->addWidget(rbMitProgramm);
  against->setVisible(request.Action == caCompare);
  outer->addWidget(against);

  auto* sectionRow = new QHBoxLayout();
  lblAbschnitt =
      Named(new QLabel(tr("Abschnitt für die Karte:"), this), "lblAbschnitt", tr("Abschnitt"));
  cboAbschnitt = Named(new QComboBox(this), "cboAbschnitt", tr("Abschnitt für die Karte"));
  cboAbschnitt->setMinimumWidth(300);
  lblAbschnitt->setBuddy(cboAbschnitt);
  sectionRow->addWidget(lblAbschnitt);
  sectionRow->addWidget(cboAbschnitt, 1);
  outer->addLayout(sectionRow);
  lblAbschnitt->setVisible(request.Action != caBackup);
  cboAbschnitt->setVisible(request.Action != caBackup);

  Buttons = Named(new QDialogButtonBox(this), "Buttons", tr("Schaltflächen"));
  QPushButton* ok = Buttons->addButton(OkCaption(request.Action), QDialogButtonBox::AcceptRole);
  ok->setObjectName("btnOK");
  ok->setDefault(true);
  QPushButton* cancel = Buttons->addButton(tr("Abbrechen"), QDialogButtonBox::RejectRole);
  cancel->setObjectName("btnAbbrechen");
  outer->addWidget(Buttons);
  connect(Buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(Buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  for (QRadioButton* rb : {rbKarte, rbInterface, rbModell, rbMitDatei, rbMitProgramm})
    connect(rb, &QRadioButton::toggled, this, [this] { UpdateControls(); });
  FillSections();
  UpdateControls();
}

void TfrmCardConfig::FillSections() {
  cboAbschnitt->clear();
  if (FRequest.Action == caBackup || FRequest.CardLabel.empty()) return;
  TCardConfigFile file;
  if (!file.Load(edDatei->text().toStdString())) return;
  const std::string own = UpperCase(FRequest.CardSection);
  for (const TCardBackup& card : file.Cards()) {
    // Only sections of the card's own class can go to it.
    if (ModulClassName(card.ClassName) != FRequest.CardClass) continue;
    QString text = Q(card.Section) + "   " + Q(card.ClassName);
    if (!card.Bezeichnung.empty()) text += "   " + Q(card.Bezeichnung);
    if (!card.ReadAt.empty()) text += "   " + tr("(gelesen %1)").arg(Q(card.ReadAt));
    if (UpperCase(card.Section) == own)
      cboAbschnitt->insertItem(0, text, Q(card.Section));
    else
      cboAbschnitt->addItem(text, Q(card.Section));
  }
  cboAbschnitt->setCurrentIndex(cboAbschnitt->count() > 0 ? 0 : -1);
}

void TfrmCardConfig::UpdateControls() {
  const bool oneCard = rbKarte->isChecked();
  const bool fromFile = FRequest.Action != caCompare || rbMitDatei->isChecked();
  cboAbschnitt->setEnabled(oneCard && fromFile);
  lblAbschnitt->setEnabled(oneCard && fromFile);
  edDatei->setEnabled(fromFile);
  btnDatei->setEnabled(fromFile);
}

void TfrmCardConfig::btnDateiClick() {
  const QString filter = tr("Karten-Sicherung (*.ini);;Alle Dateien (*)");
  const QString file =
      FRequest.Action == caBackup
          ? QFileDialog::getSaveFileName(this, windowTitle(), edDatei->text(), filter, nullptr,
                                         QFileDialog::DontConfirmOverwrite)
          : QFileDialog::getOpenFileName(this, windowTitle(), edDatei->text(), filter);
  if (file.isEmpty()) return;
  edDatei->setText(file);
  FillSections();
}

TCardConfigChoice TfrmCardConfig::Choice() const {
  TCardConfigChoice choice;
  choice.Scope = rbKarte->isChecked()       ? TCardConfigChoice::scCard
                 : rbInterface->isChecked() ? TCardConfigChoice::scIfc
                                            : TCardConfigChoice::scModel;
  choice.File = edDatei->text().toStdString();
  choice.WithImage = FRequest.Action == caCompare && rbMitProgramm->isChecked();
  if (choice.Scope == TCardConfigChoice::scCard && cboAbschnitt->currentIndex() >= 0)
    choice.Section = cboAbschnitt->currentData().toString().toStdString();
  return choice;
}
