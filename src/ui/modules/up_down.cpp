#include "ui/modules/up_down.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>
#include <QWheelEvent>
#include <algorithm>
#include <climits>

TUpDown::TUpDown(QWidget* parent) : QWidget(parent) {
  FBtnUp = new QToolButton(this);
  FBtnUp->setObjectName("BtnUp");
  FBtnUp->setArrowType(Qt::UpArrow);
  FBtnDown = new QToolButton(this);
  FBtnDown->setObjectName("BtnDown");
  FBtnDown->setArrowType(Qt::DownArrow);
  for (QToolButton* button : {FBtnUp, FBtnDown}) {
    button->setFocusPolicy(Qt::NoFocus);
    button->setAutoRepeat(true);
    button->setIconSize(QSize(7, 7));
  }
  connect(FBtnUp, &QToolButton::clicked, this, [this] { StepBy(1); });
  connect(FBtnDown, &QToolButton::clicked, this, [this] { StepBy(-1); });
  resize(16, 21);
}

void TUpDown::SetMin(int value) {
  FMin = value;
  FMax = std::max(FMax, FMin);
  SetPosition(FPosition);
}

void TUpDown::SetMax(int value) {
  FMax = value;
  FMin = std::min(FMin, FMax);
  SetPosition(FPosition);
}

void TUpDown::SetIncrement(int value) {
  if (value >= 1) FIncrement = value;
}

void TUpDown::SetPosition(int value) {
  value = std::clamp(value, FMin, FMax);
  if (value == FPosition) return;
  FPosition = value;
  ShowPosition();
  emit PositionChanged(FPosition);
}

void TUpDown::SetAssociate(QLineEdit* edit) {
  if (FAssociate) FAssociate->removeEventFilter(this);
  FAssociate = edit;
  if (FAssociate) {
    FAssociate->installEventFilter(this);
    ShowPosition();
  }
}

void TUpDown::StepBy(int steps) {
  // In 64 bits: a step from near the ends of int must not wrap round.
  const long long target =
      static_cast<long long>(FPosition) + static_cast<long long>(steps) * FIncrement;
  SetPosition(static_cast<int>(std::clamp<long long>(target, INT_MIN, INT_MAX)));
}

void TUpDown::ShowPosition() {
  // Plain digits: the box is read back as a number elsewhere.
  if (FAssociate) FAssociate->setText(QString::number(FPosition));
}

bool TUpDown::eventFilter(QObject* watched, QEvent* event) {
  if (watched == FAssociate && isEnabled()) {
    if (event->type() == QEvent::KeyPress) {
      const int key = static_cast<QKeyEvent*>(event)->key();
      if (key == Qt::Key_Up || key == Qt::Key_Down) {
        StepBy(key == Qt::Key_Up ? 1 : -1);
        return true;
      }
    } else if (event->type() == QEvent::Wheel) {
      const int delta = static_cast<QWheelEvent*>(event)->angleDelta().y();
      if (delta != 0) {
        StepBy(delta > 0 ? 1 : -1);
        return true;
      }
    }
  }
  return QWidget::eventFilter(watched, event);
}

void TUpDown::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  const int upper = height() / 2;
  FBtnUp->setGeometry(0, 0, width(), upper);
  FBtnDown->setGeometry(0, upper, width(), height() - upper);
}
