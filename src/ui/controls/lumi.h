#pragma once
// One lamp: a small filled shape in its on or off colour.

#include <QColor>
#include <QWidget>

class QPainter;

class TLumi : public QWidget {
  Q_OBJECT
  Q_PROPERTY(bool LEDEin READ LEDEin WRITE SetLEDEin)
  Q_PROPERTY(QColor LEDFarbeEin READ LEDFarbeEin WRITE SetLEDFarbeEin)
  Q_PROPERTY(QColor LEDFarbeAus READ LEDFarbeAus WRITE SetLEDFarbeAus)
  Q_PROPERTY(TShapeType LEDStyle READ LEDStyle WRITE SetLEDStyle)
  Q_PROPERTY(TLEDDirection LEDDirection READ LEDDirection WRITE SetLEDDirection)

 public:
  // The second, fourth and sixth shapes are the square variants.
  enum TShapeType { stRectangle, stSquare, stRoundRect, stRoundSquare, stEllipse, stCircle };
  Q_ENUM(TShapeType)
  enum TLEDDirection { ledHorizontal, ledVertical };
  Q_ENUM(TLEDDirection)

  // Lamp size and the pitch of a lamp row, in pixels; the pitch also gives the row's margins.
  static constexpr int LampWidth = 8;
  static constexpr int LampHeight = 12;
  static constexpr int LampPitch = 12;

  explicit TLumi(QWidget* parent = nullptr);

  bool LEDEin() const { return FLEDEin; }
  void SetLEDEin(bool on);
  QColor LEDFarbeEin() const { return FLEDFarbeEin; }
  void SetLEDFarbeEin(const QColor& colour);
  QColor LEDFarbeAus() const { return FLEDFarbeAus; }
  void SetLEDFarbeAus(const QColor& colour);
  TShapeType LEDStyle() const { return FLEDStyle; }
  void SetLEDStyle(TShapeType style);
  TLEDDirection LEDDirection() const { return FLEDDirection; }
  // Turning the lamp swaps its width and height; writing the current direction changes nothing.
  void SetLEDDirection(TLEDDirection direction);

  // The colour the lamp is filled with now.
  QColor LampColor() const { return FLEDEin ? FLEDFarbeEin : FLEDFarbeAus; }

  static bool IsSquareShape(TShapeType style);
  // Draws one lamp filling box (outline included) with the painter's current pen and brush.
  static void DrawLamp(QPainter& painter, const QRect& box, TShapeType style);

 protected:
  bool event(QEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void paintEvent(QPaintEvent* e) override;

 private:
  void MakeSquare();
  void ShowStateToScreenReaders();

  bool FLEDEin = true;
  QColor FLEDFarbeEin;
  QColor FLEDFarbeAus;
  TShapeType FLEDStyle = stRectangle;
  TLEDDirection FLEDDirection = ledVertical;
  // Square shapes square the lamp only once it is about to be drawn, so that a window can
  // still give it any size while it sets it up.
  bool FPolished = false;
};
