#pragma once
// A row of up to 32 lamps showing the bits of an integer, bit 0 leftmost. The row is a panel,
// so a window can place a button row inside it with button n under lamp n.

#include <QColor>
#include <QFrame>
#include <QRect>

#include "ui/controls/lumi.h"

class TLumiKette : public QFrame {
  Q_OBJECT
  Q_PROPERTY(int LEDAnzahl READ LEDAnzahl WRITE SetLEDAnzahl)
  Q_PROPERTY(int LEDValue READ LEDValue WRITE SetLEDValue)
  Q_PROPERTY(QColor LEDFarbeEin READ LEDFarbeEin WRITE SetLEDFarbeEin)
  Q_PROPERTY(QColor LEDFarbeAus READ LEDFarbeAus WRITE SetLEDFarbeAus)
  Q_PROPERTY(TLumi::TShapeType LEDStyle READ LEDStyle WRITE SetLEDStyle)

 public:
  static constexpr int MaxLEDs = 32;

  explicit TLumiKette(QWidget* parent = nullptr);

  int LEDAnzahl() const { return FLEDAnzahl; }
  // Counts outside 0 to 32 are ignored.
  void SetLEDAnzahl(int count);
  int LEDValue() const { return FLEDValue; }
  // Stores the value; fires onLEDValueChange on every write, changed or not, unless the row
  // has no lamps.
  void SetLEDValue(int value);
  QColor LEDFarbeEin() const { return FLEDFarbeEin; }
  void SetLEDFarbeEin(const QColor& colour);
  QColor LEDFarbeAus() const { return FLEDFarbeAus; }
  void SetLEDFarbeAus(const QColor& colour);
  TLumi::TShapeType LEDStyle() const { return FLEDStyle; }
  void SetLEDStyle(TLumi::TShapeType style);

  // Flips bit n (0 to 15; other numbers change nothing) without firing onLEDValueChange.
  void ToggleLED(int n);

  // Where lamp i is drawn, in row coordinates.
  QRect LampRect(int i) const;
  // Whether lamp i shows its bit as set, and the colour it is filled with.
  bool LampLit(int i) const;
  QColor LampColor(int i) const { return LampLit(i) ? FLEDFarbeEin : FLEDFarbeAus; }
  // The smallest size that shows every lamp with its margins; the row grows to it but never
  // shrinks below a larger size a window gave it.
  QSize MinimumRowSize() const;

 signals:
  void onLEDValueChange(QObject* sender);
  // Double-click on the row outside the buttons a window placed in it.
  void OnDblClick(QObject* sender);

 protected:
  bool event(QEvent* e) override;
  void paintEvent(QPaintEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;

 private:
  void Refresh();

  int FLEDAnzahl = 8;
  int FLEDValue = -1;
  QColor FLEDFarbeEin;
  QColor FLEDFarbeAus;
  TLumi::TShapeType FLEDStyle = TLumi::stRectangle;
  // The row starts tiny and grows only once it is about to be drawn.
  bool FPolished = false;
};
