#include "ui/main_icons.h"

#include <QDir>
#include <QPainter>
#include <QPainterPath>
#include <iterator>

namespace {

constexpr int kTool = 24;
constexpr int kNode = 16;
constexpr int kState = 9;

QPixmap Blank(int width, int height) {
  QPixmap pixmap(width, height);
  pixmap.fill(Qt::transparent);
  return pixmap;
}

void Prepare(QPainter& p) {
  p.setRenderHint(QPainter::Antialiasing, true);
}

QPixmap DrawExit() {
  QPixmap pm = Blank(kTool, kTool);
  QPainter p(&pm);
  Prepare(p);
  // A door with an arrow leaving it.
  p.setPen(QPen(QColor(90, 60, 30), 1.2));
  p.setBrush(QColor(176, 122, 64));
  p.drawRect(QRectF(3.5, 2.5, 11, 19));
  p.setBrush(QColor(240, 210, 90));
  p.drawEllipse(QPointF(12, 12), 1.2, 1.2);
  p.setPen(QPen(QColor(200, 30, 30), 2.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.drawLine(QPointF(12, 12), QPointF(21, 12));
  p.drawLine(QPointF(17.5, 8.5), QPointF(21, 12));
  p.drawLine(QPointF(17.5, 15.5), QPointF(21, 12));
  return pm;
}

QPixmap DrawOpen() {
  QPixmap pm = Blank(kTool, kTool);
  QPainter p(&pm);
  Prepare(p);
  p.setPen(QPen(QColor(150, 110, 20), 1));
  p.setBrush(QColor(230, 185, 60));
  QPainterPath back;
  back.moveTo(2.5, 6.5);
  back.lineTo(8.5, 6.5);
  back.lineTo(10.5, 8.5);
  back.lineTo(19.5, 8.5);
  back.lineTo(19.5, 19.5);
  back.lineTo(2.5, 19.5);
  back.closeSubpath();
  p.drawPath(back);
  p.setBrush(QColor(250, 215, 100));
  QPainterPath front;
  front.moveTo(5.5, 11.5);
  front.lineTo(22.5, 11.5);
  front.lineTo(19.5, 19.5);
  front.lineTo(2.5, 19.5);
  front.closeSubpath();
  p.drawPath(front);
  return pm;
}

QPixmap DrawSave() {
  QPixmap pm = Blank(kTool, kTool);
  QPainter p(&pm);
  Prepare(p);
  // A floppy disk.
  p.setPen(QPen(QColor(20, 50, 110), 1));
  p.setBrush(QColor(50, 100, 190));
  QPainterPath body;
  body.moveTo(3.5, 3.5);
  body.lineTo(17.5, 3.5);
  body.lineTo(20.5, 6.5);
  body.lineTo(20.5, 20.5);
  body.lineTo(3.5, 20.5);
  body.closeSubpath();
  p.drawPath(body);
  p.setBrush(QColor(235, 235, 235));
  p.drawRect(QRectF(7.5, 3.5, 9, 6));
  p.setBrush(QColor(50, 100, 190));
  p.drawRect(QRectF(13.5, 4.5, 2, 4));
  p.setBrush(Qt::white);
  p.drawRect(QRectF(6.5, 13.5, 11, 7));
  return pm;
}

// An interface card: a board with its bus connector. Used by the node image and the new-interface
// button.
void DrawInterface(QPainter& p, const QRectF& r) {
  const qreal u = r.width() / 16.0;
  p.setPen(QPen(QColor(20, 40, 90), 0.8 * u));
  p.setBrush(QColor(60, 110, 200));
  p.drawRoundedRect(QRectF(r.left() + 1 * u, r.top() + 3 * u, 14 * u, 10 * u), 1.5 * u, 1.5 * u);
  // The D-sub connector of the serial line.
  p.setBrush(QColor(210, 210, 215));
  QPainterPath plug;
  plug.moveTo(r.left() + 4 * u, r.top() + 6 * u);
  plug.lineTo(r.left() + 12 * u, r.top() + 6 * u);
  plug.lineTo(r.left() + 11 * u, r.top() + 10 * u);
  plug.lineTo(r.left() + 5 * u, r.top() + 10 * u);
  plug.closeSubpath();
  p.drawPath(plug);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(40, 40, 40));
  for (int i = 0; i < 4; ++i)
    p.drawEllipse(QPointF(r.left() + (5.5 + 1.7 * i) * u, r.top() + 7.6 * u), 0.5 * u, 0.5 * u);
}

QPixmap DrawNewIFC() {
  QPixmap pm = Blank(kTool, kTool);
  QPainter p(&pm);
  Prepare(p);
  DrawInterface(p, QRectF(0, 0, 20, 20));
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(30, 150, 40));
  p.drawEllipse(QPointF(18, 18), 5.5, 5.5);
  p.setPen(QPen(Qt::white, 2.2, Qt::SolidLine, Qt::FlatCap));
  p.drawLine(QPointF(14.8, 18), QPointF(21.2, 18));
  p.drawLine(QPointF(18, 14.8), QPointF(18, 21.2));
  return pm;
}

QPixmap DrawSearch() {
  QPixmap pm = Blank(kTool, kTool);
  QPainter p(&pm);
  Prepare(p);
  p.setPen(QPen(QColor(90, 60, 30), 3.2, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(14.5, 14.5), QPointF(21, 21));
  p.setPen(QPen(QColor(60, 60, 70), 2));
  p.setBrush(QColor(190, 225, 250));
  p.drawEllipse(QPointF(9.5, 9.5), 6.5, 6.5);
  p.setPen(QPen(Qt::white, 1.5, Qt::SolidLine, Qt::RoundCap));
  p.drawArc(QRectF(5.5, 5.5, 8, 8), 100 * 16, 70 * 16);
  return pm;
}

// The magnifier with a lightning bolt: the quick search.
QPixmap DrawQuickSearch() {
  QPixmap pm = DrawSearch();
  QPainter p(&pm);
  Prepare(p);
  const QPointF bolt[] = {{18.5, 1.5}, {13.5, 9}, {17, 9}, {14.5, 15.5}, {21.5, 6.5}, {18, 6.5}};
  p.setPen(QPen(QColor(150, 90, 0), 1));
  p.setBrush(QColor(255, 200, 20));
  p.drawPolygon(bolt, 6);
  return pm;
}

QPixmap DrawRemove() {
  QPixmap pm = Blank(kTool, kTool);
  QPainter p(&pm);
  Prepare(p);
  p.setPen(QPen(QColor(200, 30, 30), 4, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(5, 5), QPointF(19, 19));
  p.drawLine(QPointF(19, 5), QPointF(5, 19));
  return pm;
}

// A screen with a trace of pulses: the bus monitor.
QPixmap DrawMonitor() {
  QPixmap pm = Blank(kTool, kTool);
  QPainter p(&pm);
  Prepare(p);
  p.setPen(QPen(QColor(50, 50, 60), 1.5));
  p.setBrush(QColor(25, 45, 40));
  p.drawRoundedRect(QRectF(2.5, 3.5, 19, 14), 2, 2);
  p.setPen(QPen(QColor(90, 240, 120), 1.4));
  const QPointF trace[] = {{4.5, 13}, {7, 13}, {7, 7},  {10, 7},  {10, 13},
                           {13, 13},  {13, 7}, {15, 7}, {15, 13}, {19.5, 13}};
  p.drawPolyline(trace, static_cast<int>(std::size(trace)));
  p.setPen(QPen(QColor(80, 80, 90), 2));
  p.drawLine(QPointF(12, 18), QPointF(12, 20.5));
  p.drawLine(QPointF(7.5, 21), QPointF(16.5, 21));
  return pm;
}
// A module card: a green board with a row of contacts at its foot.
void DrawCard(QPainter& p) {
  p.setPen(QPen(QColor(20, 80, 30), 0.8));
  p.setBrush(QColor(60, 160, 80));
  p.drawRoundedRect(QRectF(1.5, 1.5, 13, 13), 1.5, 1.5);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(225, 185, 60));
  for (int i = 0; i < 5; ++i)
    p.drawRect(QRectF(3 + 2.2 * i, 12.5, 1.2, 2));
}

QPixmap DrawNode(int index) {
  QPixmap pm = Blank(kNode, kNode);
  QPainter p(&pm);
  Prepare(p);
  switch (index) {
    case 0:
      DrawInterface(p, QRectF(0, 0, kNode, kNode));
      break;
    case 1: {  // unknown type: a card with a question mark
      DrawCard(p);
      QFont f = p.font();
      f.setPixelSize(10);
      f.setBold(true);
      p.setFont(f);
      p.setPen(Qt::white);
      p.drawText(QRectF(1.5, 0.5, 13, 12), Qt::AlignCenter, "?");
      break;
    }
    case 2:  // port expansion: a card with eight outputs
      DrawCard(p);
      p.setPen(Qt::NoPen);
      for (int i = 0; i < 8; ++i) {
        p.setBrush(i % 2 ? QColor(250, 220, 60) : QColor(240, 80, 60));
        p.drawEllipse(QPointF(4 + 2.7 * (i % 4), i < 4 ? 4.5 : 8.5), 1.1, 1.1);
      }
      break;
    case 3:  // throttle card: a card with a speed knob
      DrawCard(p);
      p.setPen(QPen(QColor(30, 30, 30), 0.8));
      p.setBrush(QColor(230, 230, 230));
      p.drawEllipse(QPointF(8, 7), 4.2, 4.2);
      p.setPen(QPen(QColor(200, 30, 30), 1.4, Qt::SolidLine, Qt::RoundCap));
      p.drawLine(QPointF(8, 7), QPointF(10.6, 4.4));
      break;
    case 4: {  // switch card: a card with a turnout
      DrawCard(p);
      p.setPen(QPen(Qt::white, 1.6, Qt::SolidLine, Qt::RoundCap));
      p.drawLine(QPointF(3.5, 9.5), QPointF(12.5, 9.5));
      QPainterPath branch;
      branch.moveTo(5.5, 9.5);
      branch.quadTo(9, 9.5, 12.5, 4);
      p.setBrush(Qt::NoBrush);
      p.drawPath(branch);
      break;
    }
    default:
      break;
  }
  return pm;
}

QPixmap DrawState(int index) {
  QPixmap pm = Blank(kState, kNode);
  QPainter p(&pm);
  Prepare(p);
  if (index == 2) {
    p.setPen(QPen(QColor(20, 110, 30), 1));
    p.setBrush(QColor(60, 210, 70));
  } else if (index == 3) {
    p.setPen(QPen(QColor(150, 100, 0), 1));
    p.setBrush(QColor(250, 190, 30));
  } else if (index == 4) {
    p.setPen(QPen(QColor(130, 10, 10), 1));
    p.setBrush(QColor(225, 35, 35));
  } else {
    p.setPen(QPen(QColor(120, 120, 120), 1));
    p.setBrush(QColor(225, 225, 225));
  }
  p.drawEllipse(QPointF(kState / 2.0, kNode / 2.0), 3.3, 3.3);
  return pm;
}

}  // namespace

QIcon ToolImage(TToolImage which) {
  switch (which) {
    case tiExit:
      return QIcon(DrawExit());
    case tiOpen:
      return QIcon(DrawOpen());
    case tiSave:
      return QIcon(DrawSave());
    case tiNewIFC:
      return QIcon(DrawNewIFC());
    case tiSearch:
      return QIcon(DrawSearch());
    case tiRemove:
      return QIcon(DrawRemove());
    case tiQuickSearch:
      return QIcon(DrawQuickSearch());
    case tiMonitor:
      return QIcon(DrawMonitor());
  }
  return QIcon();
}

QPixmap NodeImage(int index) {
  return DrawNode(index);
}

QPixmap StateImage(int index) {
  return DrawState(index);
}

QSize TreeIconSize() {
  return QSize(kState + 1 + kNode, kNode);
}

QIcon TreeIcon(int nodeImage, int stateImage) {
  QPixmap pm = Blank(TreeIconSize().width(), TreeIconSize().height());
  {
    QPainter p(&pm);
    if (stateImage >= 0) p.drawPixmap(0, 0, StateImage(stateImage));
    if (nodeImage >= 0) p.drawPixmap(kState + 1, 0, NodeImage(nodeImage));
  }
  return QIcon(pm);
}

const QIcon& TTreeIcons::Icon(int nodeImage, int stateImage) {
  const auto key = std::make_pair(nodeImage, stateImage);
  auto it = FIcons.find(key);
  if (it == FIcons.end()) it = FIcons.emplace(key, TreeIcon(nodeImage, stateImage)).first;
  return it->second;
}

QIcon AppIcon() {
  QIcon icon;
  const QDir dir(":/icons");
  for (const QString& name : dir.entryList({"kavorconfig-*.png"}, QDir::Files))
    icon.addFile(dir.filePath(name));
  return icon;
}
