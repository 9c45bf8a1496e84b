#include <QAbstractButton>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "ui/controls/btn_kette.h"

namespace {
QStringList Captions(const TBtnKette& row) {
  QStringList captions;
  for (int k = 0; k < row.BtnAnzahl(); ++k)
    captions << row.Button(k)->text();
  return captions;
}

QStringList Numbers(int count) {
  QStringList numbers;
  for (int k = 0; k < count; ++k)
    numbers << QString::number(k);
  return numbers;
}
}  // namespace

class TBtnKetteTest : public QObject {
  Q_OBJECT

 private slots:
  void Defaults() {
    TBtnKette row;
    QCOMPARE(row.property("BtnAnzahl").toInt(), 8);
    QCOMPARE(row.property("BtnZusatzEnable").toBool(), false);
    QCOMPARE(row.property("BtnZusatzWidth").toInt(), 32);
    QCOMPARE(row.property("BtnZusatzCaption").toString(), QStringLiteral("SET"));
    QCOMPARE(Captions(row), Numbers(8));
    QCOMPARE(row.size(), QSize(100, 26));
    QCOMPARE(row.Button(8), nullptr);
  }

  void NumberedButtonsSitUnderTheirLamps() {
    TBtnKette row;
    row.SetBtnAnzahl(16);
    for (int k = 0; k < 16; ++k) {
      QCOMPARE(row.Button(k)->geometry(), QRect(12 * k + 2, 2, 12, 22));
      QCOMPARE(row.Button(k)->focusPolicy(), Qt::NoFocus);
    }
  }

  void BtnAnzahlWrites_data() {
    QTest::addColumn<QList<int>>("writes");
    QTest::addColumn<int>("count");
    QTest::newRow("grow to 16") << QList<int>{16} << 16;
    QTest::newRow("32 is the largest") << QList<int>{32} << 32;
    QTest::newRow("33 ignored") << QList<int>{33} << 8;
    QTest::newRow("0 ignored") << QList<int>{0} << 8;
    QTest::newRow("negative ignored") << QList<int>{-3} << 8;
    QTest::newRow("shrink to 1") << QList<int>{1} << 1;
    QTest::newRow("shrink then grow") << QList<int>{3, 12} << 12;
    QTest::newRow("grow then shrink") << QList<int>{20, 5} << 5;
    QTest::newRow("same count") << QList<int>{8, 8} << 8;
  }
  void BtnAnzahlWrites() {
    QFETCH(QList<int>, writes);
    QFETCH(int, count);
    TBtnKette row;
    for (int written : writes)
      row.setProperty("BtnAnzahl", written);
    QCOMPARE(row.BtnAnzahl(), count);
    QCOMPARE(Captions(row), Numbers(count));
    QCOMPARE(row.size(), QSize(12 * count + 4, 26));
    QCOMPARE(row.Button(count), nullptr);
  }

  void AddedButtonsShowInAShownRow() {
    TBtnKette row;
    row.show();
    row.SetBtnAnzahl(10);
    QVERIFY(row.Button(9)->isVisible());
  }

  void BtnZusatzWidthWrites_data() {
    QTest::addColumn<int>("written");
    QTest::addColumn<int>("width");
    QTest::newRow("11 refused") << 11 << 32;
    QTest::newRow("12 accepted") << 12 << 12;
    QTest::newRow("wider") << 60 << 60;
    QTest::newRow("negative refused") << -40 << 32;
  }
  void BtnZusatzWidthWrites() {
    QFETCH(int, written);
    QFETCH(int, width);
    TBtnKette row;
    row.setProperty("BtnZusatzWidth", written);
    QCOMPARE(row.BtnZusatzWidth(), width);
    QCOMPARE(row.BtnZusatz()->width(), width);
  }

  void ExtraButtonWidensTheRowWhenEnabled_data() {
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("extraWidth");
    QTest::newRow("8 and SET") << 8 << 32;
    QTest::newRow("16 and wide") << 16 << 50;
    QTest::newRow("1 and narrow") << 1 << 12;
  }
  void ExtraButtonWidensTheRowWhenEnabled() {
    QFETCH(int, count);
    QFETCH(int, extraWidth);
    TBtnKette row;
    row.show();
    row.SetBtnAnzahl(count);
    row.SetBtnZusatzWidth(extraWidth);
    QVERIFY(!row.BtnZusatz()->isVisible());
    QCOMPARE(row.width(), 12 * count + 4);

    row.SetBtnZusatzEnable(true);
    QVERIFY(row.BtnZusatz()->isVisible());
    QCOMPARE(row.size(), QSize(12 * count + 4 + extraWidth + 5, 26));
    QCOMPARE(row.BtnZusatz()->geometry(), QRect(12 * count + 7, 2, extraWidth, 22));

    row.SetBtnZusatzEnable(false);
    QVERIFY(!row.BtnZusatz()->isVisible());
    QCOMPARE(row.width(), 12 * count + 4);
  }

  void ExtraButtonFollowsTheCount() {
    TBtnKette row;
    row.SetBtnZusatzEnable(true);
    row.SetBtnAnzahl(3);
    QCOMPARE(row.BtnZusatz()->pos(), QPoint(43, 2));
    QCOMPARE(row.width(), 12 * 3 + 4 + 32 + 5);
  }

  void ClickReportsTheButtonNumber_data() {
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("k");
    QTest::newRow("first") << 8 << 0;
    QTest::newRow("last of 8") << 8 << 7;
    QTest::newRow("added button") << 16 << 12;
    QTest::newRow("last of 32") << 32 << 31;
  }
  void ClickReportsTheButtonNumber() {
    QFETCH(int, count);
    QFETCH(int, k);
    TBtnKette row;
    row.SetBtnAnzahl(count);
    row.show();
    QSignalSpy numbered(&row, &TBtnKette::OnBtnNrClick);
    QSignalSpy extra(&row, &TBtnKette::OnBtnZusatzClick);
    QTest::mouseClick(row.Button(k), Qt::LeftButton);
    QCOMPARE(numbered.count(), 1);
    QCOMPARE(numbered.at(0).at(0).value<QObject*>(), &row);
    QCOMPARE(numbered.at(0).at(1).toInt(), k);
    QCOMPARE(row.Caption(), QString::number(k));
    QCOMPARE(extra.count(), 0);
  }

  void ExtraButtonClickFiresItsOwnEvent() {
    TBtnKette row;
    row.SetBtnZusatzEnable(true);
    row.show();
    QSignalSpy numbered(&row, &TBtnKette::OnBtnNrClick);
    QSignalSpy extra(&row, &TBtnKette::OnBtnZusatzClick);
    QTest::mouseClick(row.BtnZusatz(), Qt::LeftButton);
    QCOMPARE(extra.count(), 1);
    QCOMPARE(extra.at(0).at(0).value<QObject*>(), &row);
    QCOMPARE(numbered.count(), 0);
    QCOMPARE(row.Caption(), QString());
  }

  // A user without a mouse tabs to the row, chooses a button with the arrow keys, Home or End,
  // and presses it with Space or Enter.
  void KeysChooseAndPressAButton_data() {
    QTest::addColumn<QList<int>>("keys");
    QTest::addColumn<QList<int>>("pressed");
    QTest::newRow("first at once") << QList<int>{Qt::Key_Space} << QList<int>{0};
    QTest::newRow("three right") << QList<int>{Qt::Key_Right, Qt::Key_Right, Qt::Key_Right,
                                               Qt::Key_Return}
                                 << QList<int>{3};
    QTest::newRow("end and back") << QList<int>{Qt::Key_End, Qt::Key_Enter, Qt::Key_Left,
                                                Qt::Key_Space}
                                  << QList<int>{15, 14};
    QTest::newRow("stops at the ends")
        << QList<int>{Qt::Key_Left, Qt::Key_Space, Qt::Key_End, Qt::Key_Right, Qt::Key_Space}
        << QList<int>{0, 15};
    QTest::newRow("home") << QList<int>{Qt::Key_End, Qt::Key_Home, Qt::Key_Space} << QList<int>{0};
    QTest::newRow("choosing presses nothing")
        << QList<int>{Qt::Key_Right, Qt::Key_End} << QList<int>{};
  }
  void KeysChooseAndPressAButton() {
    QFETCH(QList<int>, keys);
    QFETCH(QList<int>, pressed);
    QWidget window;
    auto* before = new QPushButton("davor", &window);
    auto* row = new TBtnKette(&window);
    row->SetBtnAnzahl(16);
    row->move(0, 30);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    before->setFocus();
    QTest::keyClick(before, Qt::Key_Tab);
    QVERIFY(row->hasFocus());
    QSignalSpy numbered(row, &TBtnKette::OnBtnNrClick);
    for (int key : keys)
      QTest::keyClick(row, static_cast<Qt::Key>(key));
    QList<int> got;
    for (const QList<QVariant>& click : numbered)
      got << click.at(1).toInt();
    QCOMPARE(got, pressed);
    // A click with the mouse still leaves the focus where it was.
    before->setFocus();
    QTest::mouseClick(row->Button(5), Qt::LeftButton);
    QVERIFY(before->hasFocus());
  }

  // Enter on the extra button, which leaves the key unused, must not press a numbered button.
  void EnterOnTheExtraButtonPressesNoNumberedButton() {
    TBtnKette row;
    row.SetBtnZusatzEnable(true);
    row.show();
    QVERIFY(QTest::qWaitForWindowActive(&row));
    row.BtnZusatz()->setFocus();
    QVERIFY(row.BtnZusatz()->hasFocus());
    QSignalSpy numbered(&row, &TBtnKette::OnBtnNrClick);
    QTest::keyClick(row.BtnZusatz(), Qt::Key_Return);
    QTest::keyClick(row.BtnZusatz(), Qt::Key_Enter);
    QCOMPARE(numbered.count(), 0);
  }

  void HandlerMayShrinkTheRowFromAClick() {
    TBtnKette row;
    row.show();
    connect(&row, &TBtnKette::OnBtnNrClick, &row, [&row](QObject*, int) { row.SetBtnAnzahl(2); });
    QTest::mouseClick(row.Button(7), Qt::LeftButton);
    QCOMPARE(row.BtnAnzahl(), 2);
    QCOMPARE(row.Caption(), QStringLiteral("7"));
  }
};

QTEST_MAIN(TBtnKetteTest)
#include "btn_kette_test.moc"
