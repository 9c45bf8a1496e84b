// The main window's protection of the model file: the "*" of unsaved changes in the title, the
// question before the model is dropped, and the question before a save over a file that was only
// partly loaded.

#include <QAbstractItemDelegate>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>

#include "model/moduls_list.h"
#include "support/message_sink.h"
#include "support/paths.h"
#include "ui/main_window.h"
#include "ui/main_window_internal.h"

using namespace main_window_detail;

namespace {

TfrmVelmoraConfig::TAnswer AskWithMessageBox(QWidget* parent, const std::string& question,
                                             bool withCancel) {
  QMessageBox box(QMessageBox::Question, "KavorConfig", Q(question), QMessageBox::NoButton, parent);
  box.setObjectName("QuestionBox");
  box.setAccessibleName("KavorConfig: " + Q(question));
  QPushButton* yes = box.addButton(TfrmVelmoraConfig::tr("Ja"), QMessageBox::YesRole);
  yes->setObjectName("btnJa");
  QPushButton* no = box.addButton(TfrmVelmoraConfig::tr("Nein"), QMessageBox::NoRole);
  no->setObjectName("btnNein");
  QPushButton* cancel = nullptr;
  if (withCancel) {
    cancel = box.addButton(TfrmVelmoraConfig::tr("Abbrechen"), QMessageBox::RejectRole);
    cancel->setObjectName("btnAbbrechen");
    box.setEscapeButton(cancel);
  } else {
    box.setEscapeButton(no);
  }
  box.setDefaultButton(yes);
  box.exec();
  if (box.clickedButton() == yes) return TfrmVelmoraConfig::anJa;
  if (box.clickedButton() == no || !withCancel) return TfrmVelmoraConfig::anNein;
  return TfrmVelmoraConfig::anAbbrechen;
}

}  // namespace

void TfrmVelmoraConfig::InstallQuestionBox() {
  QuestionBox = [this](const std::string& question, bool withCancel) {
    return AskWithMessageBox(this, question, withCancel);
  };
  // Every change of the caption or description shows at once in the title.
  connect(edCaption, &QLineEdit::textChanged, this, [this] { UpdateModifiedMark(); });
  connect(edDescr, &QLineEdit::textChanged, this, [this] { UpdateModifiedMark(); });
}

TModelHeader TfrmVelmoraConfig::ShownHeader() const {
  TModelHeader header;
  header.Caption = S(edCaption->text());
  header.Description = S(edDescr->text());
  return header;
}

bool TfrmVelmoraConfig::ModelModified() const {
  return FDispatcher && FDispatcher->ModulsList().Modified(ShownHeader());
}

void TfrmVelmoraConfig::UpdateModifiedMark() {
  const QString title = Q(std::string(ModelModified() ? "*" : "") + kCaption);
  if (windowTitle() != title) setWindowTitle(title);
}

void TfrmVelmoraConfig::MarkModelUnmodified() {
  ModulsList().MarkUnmodified(ShownHeader());
  UpdateModifiedMark();
}

void TfrmVelmoraConfig::CommitTreeEditor() {
  // Widgets that are no editor are ignored by the view.
  for (QWidget* editor : VSTModuls->viewport()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
    emit VSTModuls->itemDelegate()->commitData(editor);
}

bool TfrmVelmoraConfig::ConfirmDropModel() {
  // A note still in its editor is no change of the model yet, and closing the window (its title
  // bar, a tool button) takes no focus from the editor: taken over here, it is asked about and
  // saved like any other.
  CommitTreeEditor();
  // The same for a device path still being typed: it counts once the field is left.
  if (cboPort->lineEdit() && cboPort->lineEdit()->hasFocus()) TakeTypedPort();
  if (!ModelModified()) return true;
  switch (QuestionBox(S(tr(kSaveChangesQuestion)), true)) {
    case anJa:
      // A save that failed or that the user called off keeps the model, window and all.
      return SaveModell(ModellFile());
    case anNein:
      return true;
    case anAbbrechen:
    default:
      return false;
  }
}
