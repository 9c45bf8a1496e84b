#include "ui/controls/lumi_kette.h"

#include <QEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStringList>

#include "ui/controls/colors.h"

TLumiKette::TLumiKette(QWidget* parent)
    : QFrame(parent), FLEDFarbeEin(clLime), FLEDFarbeAus(clGreen) {
  setFrameStyle(QFrame::Panel | QFrame::Raised);
  setLineWidth(1);
  setAutoFillBackground(true);
  resize(2, 2);
  Refresh();
}

void TLumiKette::SetLEDAnzahl(int count) {
  if (count < 0 || count > MaxLEDs) return;
  FLEDAnzahl = count;
  Refresh();
}

void TLumiKette::SetLEDValue(int value) {
  FLEDValue = value;
  if (FLEDAnzahl == 0) return;
  Refresh();
  emit onLEDValueChange(this);
}

void TLumiKette::SetLEDFarbeEin(const QColor& colour) {
  FLEDFarbeEin = colour;
  Refresh();
}

void TLumiKette::SetLEDFarbeAus(const QColor& colour) {
  FLEDFarbeAus = colour;
  Refresh();
}

void TLumiKette::SetLEDStyle(TLumi::TShapeType style) {
  FLEDStyle = style;
  Refresh();
}

void TLumiKette::ToggleLED(int n) {
  // The windows toggle outputs of 16-bit cards; the higher bits are never toggled.
  if (n >= 0 && n < 16) FLEDValue ^= 1 << n;
  Refresh();
}

QRect TLumiKette::LampRect(int i) const {
  constexpr int margin = TLumi::LampPitch - TLumi::LampWidth;
  const int height = TLumi::IsSquareShape(FLEDStyle) ? TLumi::LampWidth : TLumi::LampHeight;
  return QRect(margin + TLumi::LampPitch * i, margin, TLumi::LampWidth, height);
}

bool TLumiKette::LampLit(int i) const {
  if (i < 0 || i >= FLEDAnzahl) return false;
  return (static_cast<quint32>(FLEDValue) >> i) & 1u;
}

QSize TLumiKette::MinimumRowSize() const {
  constexpr int pitch = TLumi::LampPitch;
  constexpr int width = TLumi::LampWidth;
  return QSize(pitch * FLEDAnzahl + pitch - width, pitch + TLumi::LampHeight + pitch - 2 * width);
}

bool TLumiKette::event(QEvent* e) {
  if (e->type() == QEvent::Polish) {
    FPolished = true;
    Refresh();
  }
  return QFrame::event(e);
}

void TLumiKette::paintEvent(QPaintEvent* e) {
  QFrame::paintEvent(e);
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(Qt::black, 1));
  for (int i = 0; i < FLEDAnzahl; ++i) {
    painter.setBrush(LampColor(i));
    TLumi::DrawLamp(painter, LampRect(i), FLEDStyle);
  }
}

void TLumiKette::mouseDoubleClickEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton) {
    emit OnDblClick(this);
    e->accept();
    return;
  }
  QFrame::mouseDoubleClickEvent(e);
}

void TLumiKette::Refresh() {
  // A minimum size rather than a resize: layouts then keep the lamps visible too.
  if (FPolished) setMinimumSize(MinimumRowSize());
  // A screen reader cannot see the colours: it reads the numbers of the lit lamps.
  QStringList lit;
  for (int i = 0; i < FLEDAnzahl; ++i)
    if (LampLit(i)) lit << QString::number(i);
  const QString state = lit.isEmpty() ? tr("alle aus") : tr("an: %1").arg(lit.join(", "));
  if (state != accessibleDescription()) setAccessibleDescription(state);
  update();
}
