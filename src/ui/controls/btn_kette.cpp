#include "ui/controls/btn_kette.h"
#include "ui/controls/row_keys.h"

#include <QKeyEvent>
#include <QPainter>
#include <QPushButton>
#include <QToolButton>
#include <algorithm>

namespace {
constexpr int ButtonTop = 2;
constexpr int ButtonPitch = 12;
constexpr int ZusatzGap = 5;
}  // namespace

TBtnKette::TBtnKette(QWidget* parent) : QFrame(parent) {
  setFrameStyle(QFrame::Panel | QFrame::Raised);
  setLineWidth(1);
  setAutoFillBackground(true);
  // The numbered buttons take no focus, so that Tab does not stop 16 times in a row; the row
  // itself is the stop and presses them by key. Not by click: a click on a button must leave the
  // focus where it was.
  setFocusPolicy(Qt::TabFocus);
  FBtnZusatz = new QPushButton(QStringLiteral("SET"), this);
  FBtnZusatz->setObjectName(QStringLiteral("BtnZusatz"));
  FBtnZusatz->resize(32, ButtonHeight);
  connect(FBtnZusatz, &QPushButton::clicked, this, [this] { emit OnBtnZusatzClick(this); });
  for (int i = 0; i < 8; ++i)
    AddButton();
  FBtnZusatz->move(ButtonPitch * BtnAnzahl() + 7, ButtonTop);
  Arrange();
}

void TBtnKette::SetBtnAnzahl(int count) {
  if (count <= 0 || count > MaxButtons || count == BtnAnzahl()) return;
  while (BtnAnzahl() < count)
    AddButton();
  while (BtnAnzahl() > count)
    RemoveButton();
  FCurrent = std::min(FCurrent, BtnAnzahl() - 1);
  Arrange();
}

void TBtnKette::SetBtnZusatzEnable(bool enable) {
  FBtnZusatzEnable = enable;
  Arrange();
}

int TBtnKette::BtnZusatzWidth() const {
  return FBtnZusatz->width();
}

void TBtnKette::SetBtnZusatzWidth(int width) {
  if (width < MinZusatzWidth) return;
  FBtnZusatz->resize(width, FBtnZusatz->height());
  Arrange();
}

QString TBtnKette::BtnZusatzCaption() const {
  return FBtnZusatz->text();
}

void TBtnKette::SetBtnZusatzCaption(const QString& caption) {
  FBtnZusatz->setText(caption);
}

void TBtnKette::SetCaption(const QString& caption) {
  FCaption = caption;
  update();
}

QAbstractButton* TBtnKette::Button(int k) const {
  if (k < 0 || k >= BtnAnzahl()) return nullptr;
  return FButtons[static_cast<size_t>(k)];
}

void TBtnKette::paintEvent(QPaintEvent* e) {
  QFrame::paintEvent(e);
  QPainter painter(this);
  if (!FCaption.isEmpty()) painter.drawText(rect(), Qt::AlignCenter, FCaption);
  // The buttons cover the row but for its margins: a bar below the current button shows which
  // one a key would press.
  if (hasFocus() && Button(FCurrent))
    painter.fillRect(ButtonPitch * FCurrent + 2, ButtonTop + ButtonHeight, ButtonWidth, 2,
                     palette().color(QPalette::Highlight));
}

void TBtnKette::keyPressEvent(QKeyEvent* e) {
  // Keys the extra button left unused come here too.
  if (!hasFocus()) {
    QFrame::keyPressEvent(e);
    return;
  }
  switch (RowKey(e->key(), FCurrent, 0, BtnAnzahl() - 1)) {
    case TRowKey::Press:
      if (QAbstractButton* button = Button(FCurrent)) button->click();
      return;
    case TRowKey::Chose:
      update();
      return;
    case TRowKey::Other:
      QFrame::keyPressEvent(e);
      return;
  }
}

void TBtnKette::focusInEvent(QFocusEvent* e) {
  QFrame::focusInEvent(e);
  update();
}

void TBtnKette::focusOutEvent(QFocusEvent* e) {
  QFrame::focusOutEvent(e);
  update();
}

void TBtnKette::AddButton() {
  const int k = BtnAnzahl();
  auto* button = new QToolButton(this);
  button->setObjectName(QStringLiteral("Btn%1").arg(k));
  button->setText(QString::number(k));
  // Two digits must fit into twelve pixels.
  QFont small = font();
  small.setPixelSize(9);
  button->setFont(small);
  button->setFocusPolicy(Qt::NoFocus);
  button->setGeometry(ButtonPitch * k + 2, ButtonTop, ButtonWidth, ButtonHeight);
  connect(button, &QToolButton::clicked, this, [this, button] { NumberedButtonClicked(button); });
  FButtons.push_back(button);
  if (isVisible()) button->show();
}

void TBtnKette::RemoveButton() {
  // Deleted later: a click handler may shrink the row while the clicked button is on the stack.
  QToolButton* button = FButtons.back();
  FButtons.pop_back();
  button->disconnect(this);
  button->hide();
  button->deleteLater();
}

void TBtnKette::Arrange() {
  const int n = BtnAnzahl();
  int width = ButtonPitch * n + 4;
  if (FBtnZusatzEnable) {
    width += FBtnZusatz->width() + ZusatzGap;
    FBtnZusatz->move(ButtonPitch * n + 7, ButtonTop);
  }
  // Hidden rather than merely cut off by the row's edge, so it cannot be reached with Tab.
  FBtnZusatz->setVisible(FBtnZusatzEnable);
  setFixedSize(width, RowHeight);
  update();
}

void TBtnKette::NumberedButtonClicked(QToolButton* button) {
  const auto found = std::find(FButtons.begin(), FButtons.end(), button);
  if (found == FButtons.end()) return;
  const int k = static_cast<int>(found - FButtons.begin());
  SetCaption(QString::number(k));
  emit OnBtnNrClick(this, k);
}
