#include "ui/controls/speedi.h"
#include "ui/controls/row_keys.h"

#include <QButtonGroup>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QScopedValueRollback>
#include <QSlider>
#include <QToolButton>
#include <algorithm>
#include <cstdlib>

TSpeedi::TSpeedi(QWidget* parent) : QFrame(parent) {
  setFrameStyle(QFrame::Panel | QFrame::Raised);
  setLineWidth(1);
  setAutoFillBackground(true);
  setFixedSize(184, 24);
  // The direction buttons take no focus; the control itself is the Tab stop before the edit box
  // and presses them by key. Not by click: a click on a button leaves the focus where it was.
  setFocusPolicy(Qt::TabFocus);
  setAccessibleName(tr("Fahrtrichtung"));

  FDirection = new QButtonGroup(this);
  FDirection->setExclusive(true);
  FBtnRueck = AddDirectionButton("btnRueck", QStringLiteral("<"), BtnRueck, 2);
  FBtnRueck->setAccessibleName(tr("Rückwärts"));
  FBtnStop = AddDirectionButton("btnStop", QStringLiteral("H"), BtnStop, 18);
  FBtnStop->setAccessibleName(tr("Halt"));
  FBtnVor = AddDirectionButton("btnVor", QStringLiteral(">"), BtnVor, 34);
  FBtnVor->setAccessibleName(tr("Vorwärts"));
  FBtnStop->setChecked(true);
  connect(FDirection, &QButtonGroup::buttonClicked, this, &TSpeedi::DirectionButtonClicked);

  FEdSpeed = new QLineEdit(QStringLiteral("0"), this);
  FEdSpeed->setObjectName(QStringLiteral("edSpeed"));
  FEdSpeed->setAccessibleName(tr("Fahrstufe"));
  FEdSpeed->setGeometry(52, 2, 26, 20);
  FEdSpeed->installEventFilter(this);
  connect(FEdSpeed, &QLineEdit::returnPressed, this, &TSpeedi::CommitEdit);

  FTbSpeed = new QSlider(Qt::Horizontal, this);
  FTbSpeed->setObjectName(QStringLiteral("tbSpeed"));
  FTbSpeed->setAccessibleName(tr("Fahrstufe"));
  FTbSpeed->setGeometry(80, 1, 102, 22);
  FTbSpeed->setTickPosition(QSlider::TicksAbove);
  FTbSpeed->setTickInterval(2);
  FTbSpeed->setRange(0, 31);
  connect(FTbSpeed, &QSlider::valueChanged, this, &TSpeedi::SliderChanged);
}

QToolButton* TSpeedi::AddDirectionButton(const char* name, const QString& caption, int number,
                                         int left) {
  auto* button = new QToolButton(this);
  button->setObjectName(QString::fromLatin1(name));
  button->setText(caption);
  button->setCheckable(true);
  button->setFocusPolicy(Qt::NoFocus);
  // The direction that is down must be plain to see at a glance, also in styles whose pressed
  // buttons differ little from the others.
  button->setStyleSheet(
      "QToolButton { border: 1px solid #8a8a8a; border-radius: 2px; background: #f4f4f4; }"
      "QToolButton:checked { background: #8fd18f; border-color: #2f6f2f; font-weight: bold; }");
  button->setGeometry(left, 2, 16, 20);
  FDirection->addButton(button, number);
  return button;
}

int TSpeedi::ButtonStatus() const {
  return std::max(FDirection->checkedId(), 0);
}

void TSpeedi::SetButtonStatus(int status) {
  {
    const QScopedValueRollback busy(FBusy, true);
    if (QAbstractButton* button = FDirection->button(status)) button->setChecked(true);
  }
  update();
}

void TSpeedi::SetSpeed(int speed) {
  const int low = FTbSpeed->minimum();
  const int high = FTbSpeed->maximum();
  if (speed <= low)
    FSpeed = low;
  else if (speed >= high)
    FSpeed = high;
  else
    FSpeed = speed;

  const QScopedValueRollback busy(FBusy, true);
  FTbSpeed->setValue(FSpeed);
  FEdSpeed->setText(QString::number(FSpeed));
  if (FSpeedSym && !FBtnStop->isChecked()) {
    if (FSpeed < 0)
      FBtnRueck->setChecked(true);
    else if (FSpeed > 0)
      FBtnVor->setChecked(true);
  }
}

int TSpeedi::SpeedMin() const {
  return FTbSpeed->minimum();
}

void TSpeedi::SetSpeedMin(int speedMin) {
  FTbSpeed->setMinimum(speedMin);
  if (FSpeedSym) FTbSpeed->setMaximum(-speedMin);
}

int TSpeedi::SpeedMax() const {
  return FTbSpeed->maximum();
}

void TSpeedi::SetSpeedMax(int speedMax) {
  FTbSpeed->setMaximum(speedMax);
  if (FSpeedSym) FTbSpeed->setMinimum(-speedMax);
}

void TSpeedi::SetSpeedSym(bool sym) {
  if (sym) {
    const int m = std::max(std::abs(FTbSpeed->minimum()), std::abs(FTbSpeed->maximum()));
    FTbSpeed->setRange(-m, m);
  }
  FSpeedSym = sym;
}

bool TSpeedi::eventFilter(QObject* watched, QEvent* e) {
  if (watched == FEdSpeed && e->type() == QEvent::FocusOut) {
    // A context menu or a switch to another program does not leave the box.
    const Qt::FocusReason reason = static_cast<QFocusEvent*>(e)->reason();
    if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason) CommitEdit();
  }
  return QFrame::eventFilter(watched, e);
}

void TSpeedi::paintEvent(QPaintEvent* e) {
  QFrame::paintEvent(e);
  if (!hasFocus()) return;
  // The buttons cover the control but for its margins: a bar below the current button shows
  // which one a key would press.
  const QAbstractButton* current = FDirection->button(FCurrent);
  QPainter painter(this);
  painter.fillRect(current->x(), current->geometry().bottom() + 1, current->width(), 2,
                   palette().color(QPalette::Highlight));
}

void TSpeedi::keyPressEvent(QKeyEvent* e) {
  // Keys the edit box or the slider left unused come here too; Enter in the edit box must not
  // press a direction.
  if (!hasFocus()) {
    QFrame::keyPressEvent(e);
    return;
  }
  switch (RowKey(e->key(), FCurrent, BtnRueck, BtnVor)) {
    case TRowKey::Press:
      // As a click: the group and DirectionButtonClicked see the same as with the mouse.
      FDirection->button(FCurrent)->click();
      return;
    case TRowKey::Chose:
      update();
      return;
    case TRowKey::Other:
      QFrame::keyPressEvent(e);
      return;
  }
}

void TSpeedi::focusInEvent(QFocusEvent* e) {
  QFrame::focusInEvent(e);
  update();
}

void TSpeedi::focusOutEvent(QFocusEvent* e) {
  QFrame::focusOutEvent(e);
  update();
}

void TSpeedi::mousePressEvent(QMouseEvent* e) {
  FPressed = e->button() == Qt::LeftButton;
  QFrame::mousePressEvent(e);
}

void TSpeedi::mouseReleaseEvent(QMouseEvent* e) {
  const bool click = FPressed && e->button() == Qt::LeftButton && rect().contains(e->pos());
  FPressed = false;
  QFrame::mouseReleaseEvent(e);
  if (click) emit OnClick(this);
}

void TSpeedi::SliderChanged(int position) {
  if (FBusy) return;
  SetSpeed(position);
  emit OnChange(this);
}

void TSpeedi::CommitEdit() {
  if (FBusy) return;
  bool ok = false;
  const int typed = FEdSpeed->text().toInt(&ok, 10);
  if (!ok) {
    const QScopedValueRollback busy(FBusy, true);
    FEdSpeed->setText(QString::number(FSpeed));
    return;
  }
  SetSpeed(typed);
  emit OnChange(this);
}

void TSpeedi::DirectionButtonClicked(QAbstractButton* button) {
  if (FBusy) return;
  const int btnNr = button == FBtnRueck  ? BtnRueck
                    : button == FBtnStop ? BtnStop
                    : button == FBtnVor  ? BtnVor
                                         : -1;
  const int status = ButtonStatus();
  if (FSpeedSym) {
    int speed = FSpeed;
    if (btnNr == BtnStop && status == BtnStop)
      speed = 0;
    else if ((btnNr == BtnRueck && speed > 0) || (btnNr == BtnVor && speed < 0))
      speed = -speed;
    SetSpeed(speed);
  }
  emit OnClick(this);
  emit OnBtnNrClick(this, btnNr);
}
