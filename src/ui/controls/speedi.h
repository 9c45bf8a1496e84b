#pragma once
// A throttle: three exclusive direction buttons btnRueck "<" (1), btnStop "H" (2) and btnVor ">"
// (3), the speed edit box edSpeed and the slider tbSpeed. Sub-controls carry these names as
// object names. Writing Speed or ButtonStatus never fires an event, so a window can show what
// the card reports without echoing it back.

#include <QFrame>

class QAbstractButton;
class QButtonGroup;
class QLineEdit;
class QSlider;
class QToolButton;

class TSpeedi : public QFrame {
  Q_OBJECT
  Q_PROPERTY(int ButtonStatus READ ButtonStatus WRITE SetButtonStatus)
  Q_PROPERTY(int Speed READ Speed WRITE SetSpeed)
  Q_PROPERTY(int SpeedMin READ SpeedMin WRITE SetSpeedMin)
  Q_PROPERTY(int SpeedMax READ SpeedMax WRITE SetSpeedMax)
  Q_PROPERTY(bool SpeedSym READ SpeedSym WRITE SetSpeedSym)

 public:
  static constexpr int BtnRueck = 1;
  static constexpr int BtnStop = 2;
  static constexpr int BtnVor = 3;

  explicit TSpeedi(QWidget* parent = nullptr);

  // The number of the direction button that is down, 0 if none.
  int ButtonStatus() const;
  // Presses direction button 1 to 3; other numbers press nothing.
  void SetButtonStatus(int status);
  int Speed() const { return FSpeed; }
  // Clamps to the slider's range and shows the result.
  void SetSpeed(int speed);
  int SpeedMin() const;
  void SetSpeedMin(int speedMin);
  int SpeedMax() const;
  void SetSpeedMax(int speedMax);
  bool SpeedSym() const { return FSpeedSym; }
  // Writing true makes the range symmetric around 0; with the flag set, negative speeds mean
  // reverse and the direction buttons follow the sign.
  void SetSpeedSym(bool sym);

 signals:
  // A direction button was clicked (after the speed followed it).
  void OnBtnNrClick(QObject* sender, int btnNr);
  // The user changed the speed with the slider or the edit box.
  void OnChange(QObject* sender);
  // A click on the control: on a direction button, just before OnBtnNrClick, or on the panel.
  void OnClick(QObject* sender);

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override;
  void paintEvent(QPaintEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void focusInEvent(QFocusEvent* e) override;
  void focusOutEvent(QFocusEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;

 private:
  QToolButton* AddDirectionButton(const char* name, const QString& caption, int number, int left);
  void SliderChanged(int position);
  void CommitEdit();
  void DirectionButtonClicked(QAbstractButton* button);

  QToolButton* FBtnRueck;
  QToolButton* FBtnStop;
  QToolButton* FBtnVor;
  QButtonGroup* FDirection;
  QLineEdit* FEdSpeed;
  QSlider* FTbSpeed;
  int FSpeed = 0;
  bool FSpeedSym = false;
  // Set while the control updates its own sub-controls, whose notifications are then not
  // the user's doing.
  bool FBusy = false;
  bool FPressed = false;
  // The direction button (1 to 3) that Space or Enter presses while the control has the
  // keyboard focus.
  int FCurrent = BtnStop;
};
