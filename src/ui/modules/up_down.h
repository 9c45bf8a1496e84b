#pragma once
// TUpDown: a pair of arrow buttons that step a position within a range and write it, as a plain
// number, into an edit box beside it. The box may be read-only: the arrows, the arrow keys and
// the mouse wheel over the box are then the only way to change it.

#include <QWidget>

class QLineEdit;
class QToolButton;

class TUpDown : public QWidget {
  Q_OBJECT
  Q_PROPERTY(int Min READ Min WRITE SetMin)
  Q_PROPERTY(int Max READ Max WRITE SetMax)
  Q_PROPERTY(int Increment READ Increment WRITE SetIncrement)
  Q_PROPERTY(int Position READ Position WRITE SetPosition)

 public:
  explicit TUpDown(QWidget* parent = nullptr);

  int Min() const { return FMin; }
  void SetMin(int value);
  int Max() const { return FMax; }
  void SetMax(int value);
  int Increment() const { return FIncrement; }
  // Steps below 1 are ignored.
  void SetIncrement(int value);
  int Position() const { return FPosition; }
  // Clamps into the range and writes the box's text when the position changed.
  void SetPosition(int value);

  // The box the position is written into; none is allowed.
  QLineEdit* Associate() const { return FAssociate; }
  void SetAssociate(QLineEdit* edit);

  // One step up or down, as the arrows do.
  void StepBy(int steps);

  QToolButton* BtnUp() const { return FBtnUp; }
  QToolButton* BtnDown() const { return FBtnDown; }

 signals:
  void PositionChanged(int position);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void ShowPosition();

  int FMin = 0;
  int FMax = 100;
  int FIncrement = 1;
  int FPosition = 0;
  QLineEdit* FAssociate = nullptr;
  QToolButton* FBtnUp;
  QToolButton* FBtnDown;
};
