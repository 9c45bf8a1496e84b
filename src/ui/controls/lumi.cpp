#include "ui/controls/lumi.h"

#include <QEvent>
#include <QPainter>
#include <algorithm>

#include "ui/controls/colors.h"

TLumi::TLumi(QWidget* parent) : QWidget(parent), FLEDFarbeEin(clLime), FLEDFarbeAus(clGreen) {
  resize(LampWidth, LampHeight);
  ShowStateToScreenReaders();
}

void TLumi::SetLEDEin(bool on) {
  FLEDEin = on;
  ShowStateToScreenReaders();
  update();
}

void TLumi::ShowStateToScreenReaders() {
  // A screen reader cannot see the colour.
  setAccessibleDescription(FLEDEin ? tr("an") : tr("aus"));
}

void TLumi::SetLEDFarbeEin(const QColor& colour) {
  FLEDFarbeEin = colour;
  update();
}

void TLumi::SetLEDFarbeAus(const QColor& colour) {
  FLEDFarbeAus = colour;
  update();
}

void TLumi::SetLEDStyle(TShapeType style) {
  FLEDStyle = style;
  MakeSquare();
  update();
}

void TLumi::SetLEDDirection(TLEDDirection direction) {
  if (direction == FLEDDirection) return;
  resize(height(), width());
  FLEDDirection = direction;
  update();
}

bool TLumi::IsSquareShape(TShapeType style) {
  return style == stSquare || style == stRoundSquare || style == stCircle;
}

void TLumi::DrawLamp(QPainter& painter, const QRect& box, TShapeType style) {
  // A one-pixel pen centred on the half pixel keeps the outline inside box.
  const QRectF shape = QRectF(box).adjusted(0.5, 0.5, -0.5, -0.5);
  switch (style) {
    case stRectangle:
    case stSquare:
      painter.drawRect(shape);
      break;
    case stRoundRect:
    case stRoundSquare: {
      // The corner ellipse is a quarter of the shorter side wide and high.
      const qreal corner = std::min(box.width(), box.height()) / 4;
      painter.drawRoundedRect(shape, corner / 2, corner / 2);
      break;
    }
    case stEllipse:
    case stCircle:
      painter.drawEllipse(shape);
      break;
  }
}

bool TLumi::event(QEvent* e) {
  if (e->type() == QEvent::Polish) {
    FPolished = true;
    MakeSquare();
  }
  return QWidget::event(e);
}

void TLumi::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  MakeSquare();
}

void TLumi::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(Qt::black, 1));
  painter.setBrush(LampColor());
  DrawLamp(painter, rect(), FLEDStyle);
}

void TLumi::MakeSquare() {
  if (!FPolished || !IsSquareShape(FLEDStyle) || width() == height()) return;
  const int side = std::min(width(), height());
  resize(side, side);
}
