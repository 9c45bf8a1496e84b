#pragma once
// A row of up to 32 small numbered buttons (captions 0, 1, ...) with an optional extra button.
// Placed at the top 20 of a lamp row with the same count, button n stands under lamp n.

#include <QFrame>
#include <QString>
#include <vector>

class QAbstractButton;
class QPushButton;
class QToolButton;

class TBtnKette : public QFrame {
  Q_OBJECT
  Q_PROPERTY(int BtnAnzahl READ BtnAnzahl WRITE SetBtnAnzahl)
  Q_PROPERTY(bool BtnZusatzEnable READ BtnZusatzEnable WRITE SetBtnZusatzEnable)
  Q_PROPERTY(int BtnZusatzWidth READ BtnZusatzWidth WRITE SetBtnZusatzWidth)
  Q_PROPERTY(QString BtnZusatzCaption READ BtnZusatzCaption WRITE SetBtnZusatzCaption)
  Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)

 public:
  static constexpr int MaxButtons = 32;
  static constexpr int RowHeight = 26;
  static constexpr int ButtonWidth = 12;
  static constexpr int ButtonHeight = 22;
  static constexpr int MinZusatzWidth = 12;

  explicit TBtnKette(QWidget* parent = nullptr);

  int BtnAnzahl() const { return static_cast<int>(FButtons.size()); }
  // 0, counts above 32 and the current count are ignored; else buttons are added or removed
  // at the end.
  void SetBtnAnzahl(int count);
  bool BtnZusatzEnable() const { return FBtnZusatzEnable; }
  void SetBtnZusatzEnable(bool enable);
  int BtnZusatzWidth() const;
  // Widths below 12 are ignored.
  void SetBtnZusatzWidth(int width);
  QString BtnZusatzCaption() const;
  void SetBtnZusatzCaption(const QString& caption);
  // The row's own caption: the number of the button clicked last. The buttons cover it.
  QString Caption() const { return FCaption; }
  void SetCaption(const QString& caption);

  // Numbered button k, or nullptr if there is none.
  QAbstractButton* Button(int k) const;
  // The numbered button that Space or Enter presses while the row has the keyboard focus; the
  // arrow keys, Home and End choose it.
  int CurrentButton() const { return FCurrent; }
  QPushButton* BtnZusatz() const { return FBtnZusatz; }

 signals:
  void OnBtnNrClick(QObject* sender, int btnNr);
  void OnBtnZusatzClick(QObject* sender);

 protected:
  void paintEvent(QPaintEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void focusInEvent(QFocusEvent* e) override;
  void focusOutEvent(QFocusEvent* e) override;

 private:
  void AddButton();
  void RemoveButton();
  void Arrange();
  void NumberedButtonClicked(QToolButton* button);

  std::vector<QToolButton*> FButtons;
  QPushButton* FBtnZusatz;
  bool FBtnZusatzEnable = false;
  QString FCaption;
  int FCurrent = 0;
};
