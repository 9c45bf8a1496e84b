#include <QApplication>
#include <QLineEdit>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>

#include "ui/controls/speedi.h"

namespace {
QToolButton* DirectionButton(const TSpeedi& speedi, int number) {
  static const char* const names[] = {"btnRueck", "btnStop", "btnVor"};
  return speedi.findChild<QToolButton*>(QString::fromLatin1(names[number - 1]));
}
QLineEdit* Edit(const TSpeedi& speedi) {
  return speedi.findChild<QLineEdit*>(QStringLiteral("edSpeed"));
}
QSlider* Slider(const TSpeedi& speedi) {
  return speedi.findChild<QSlider*>(QStringLiteral("tbSpeed"));
}

// Counts every event of a throttle control.
struct TEvents {
  explicit TEvents(TSpeedi& speedi)
      : BtnNrClick(&speedi, &TSpeedi::OnBtnNrClick),
        Change(&speedi, &TSpeedi::OnChange),
        Click(&speedi, &TSpeedi::OnClick) {}
  int Total() const { return BtnNrClick.count() + Change.count() + Click.count(); }
  QSignalSpy BtnNrClick;
  QSignalSpy Change;
  QSignalSpy Click;
};
}  // namespace

class TSpeediTest : public QObject {
  Q_OBJECT

 private slots:
  void CreatedAsTheWindowsExpect() {
    TSpeedi speedi;
    QCOMPARE(speedi.property("ButtonStatus").toInt(), 2);
    QCOMPARE(speedi.property("Speed").toInt(), 0);
    QCOMPARE(speedi.property("SpeedMin").toInt(), 0);
    QCOMPARE(speedi.property("SpeedMax").toInt(), 31);
    QCOMPARE(speedi.property("SpeedSym").toBool(), false);
    QCOMPARE(speedi.size(), QSize(184, 24));

    const QStringList captions{"<", "H", ">"};
    for (int nr = 1; nr <= 3; ++nr) {
      QToolButton* button = DirectionButton(speedi, nr);
      QVERIFY(button);
      QCOMPARE(button->text(), captions[nr - 1]);
      QCOMPARE(button->geometry(), QRect(2 + 16 * (nr - 1), 2, 16, 20));
      QCOMPARE(button->isChecked(), nr == 2);
    }
    QVERIFY(Edit(speedi));
    QCOMPARE(Edit(speedi)->text(), QStringLiteral("0"));
    QCOMPARE(Edit(speedi)->x(), 52);
    QSlider* slider = Slider(speedi);
    QVERIFY(slider);
    QCOMPARE(slider->geometry(), QRect(80, 1, 102, 22));
    QCOMPARE(slider->orientation(), Qt::Horizontal);
    QCOMPARE(slider->tickInterval(), 2);
    QCOMPARE(slider->tickPosition(), QSlider::TicksAbove);
  }

  void SpeedWritesClampSilently_data() {
    QTest::addColumn<bool>("sym");
    QTest::addColumn<int>("written");
    QTest::addColumn<int>("speed");
    QTest::newRow("inside") << false << 17 << 17;
    QTest::newRow("40 above the range") << false << 40 << 31;
    QTest::newRow("the maximum") << false << 31 << 31;
    QTest::newRow("-5 below the range") << false << -5 << 0;
    QTest::newRow("symmetric reverse") << true << -12 << -12;
    QTest::newRow("symmetric below") << true << -40 << -31;
  }
  void SpeedWritesClampSilently() {
    QFETCH(bool, sym);
    QFETCH(int, written);
    QFETCH(int, speed);
    TSpeedi speedi;
    speedi.SetSpeedSym(sym);
    TEvents events(speedi);
    speedi.setProperty("Speed", written);
    QCOMPARE(speedi.Speed(), speed);
    QCOMPARE(Slider(speedi)->value(), speed);
    QCOMPARE(Edit(speedi)->text(), QString::number(speed));
    QCOMPARE(events.Total(), 0);
  }

  void SpeedSymMakesTheRangeSymmetric_data() {
    QTest::addColumn<int>("low");
    QTest::addColumn<int>("high");
    QTest::addColumn<int>("m");
    QTest::newRow("0 to 31") << 0 << 31 << 31;
    QTest::newRow("larger maximum") << -5 << 20 << 20;
    QTest::newRow("larger minimum") << -40 << 10 << 40;
  }
  void SpeedSymMakesTheRangeSymmetric() {
    QFETCH(int, low);
    QFETCH(int, high);
    QFETCH(int, m);
    TSpeedi speedi;
    speedi.SetSpeedMax(high);
    speedi.SetSpeedMin(low);
    speedi.setProperty("SpeedSym", true);
    QCOMPARE(speedi.SpeedMin(), -m);
    QCOMPARE(speedi.SpeedMax(), m);
    speedi.SetSpeedSym(false);  // leaves the range alone
    QCOMPARE(speedi.SpeedMin(), -m);
    QCOMPARE(speedi.SpeedMax(), m);
    QVERIFY(!speedi.SpeedSym());
  }

  void RangeWritesMirrorWhileSymmetric() {
    TSpeedi speedi;
    speedi.SetSpeedMax(20);
    QCOMPARE(speedi.SpeedMin(), 0);
    speedi.SetSpeedSym(true);
    speedi.SetSpeedMax(25);
    QCOMPARE(speedi.SpeedMin(), -25);
    speedi.SetSpeedMin(-10);
    QCOMPARE(speedi.SpeedMax(), 10);
  }

  void NarrowerRangeTakesTheSpeedAlong() {
    TSpeedi speedi;
    speedi.SetSpeed(20);
    speedi.SetSpeedMax(10);
    QCOMPARE(speedi.Speed(), 10);
    QCOMPARE(Edit(speedi)->text(), QStringLiteral("10"));
  }

  void DirectionClicks_data() {
    QTest::addColumn<bool>("sym");
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("speed");
    QTest::addColumn<int>("clicked");
    QTest::addColumn<int>("newSpeed");
    QTest::addColumn<int>("newStatus");
    QTest::newRow("stop zeroes") << true << 3 << 12 << 2 << 0 << 2;
    QTest::newRow("stop again zeroes") << true << 2 << 12 << 2 << 0 << 2;
    QTest::newRow("reverse negates") << true << 3 << 12 << 1 << -12 << 1;
    QTest::newRow("reverse from stop") << true << 2 << 12 << 1 << -12 << 1;
    QTest::newRow("forward negates") << true << 1 << -12 << 3 << 12 << 3;
    QTest::newRow("forward keeps forward") << true << 3 << 12 << 3 << 12 << 3;
    QTest::newRow("reverse keeps reverse") << true << 1 << -7 << 1 << -7 << 1;
    QTest::newRow("forward at 0") << true << 2 << 0 << 3 << 0 << 3;
    QTest::newRow("plain stop keeps speed") << false << 3 << 12 << 2 << 12 << 2;
    QTest::newRow("plain reverse keeps speed") << false << 2 << 12 << 1 << 12 << 1;
  }
  void DirectionClicks() {
    QFETCH(bool, sym);
    QFETCH(int, status);
    QFETCH(int, speed);
    QFETCH(int, clicked);
    QFETCH(int, newSpeed);
    QFETCH(int, newStatus);
    TSpeedi speedi;
    speedi.SetSpeedSym(sym);
    speedi.SetButtonStatus(status);
    speedi.SetSpeed(speed);
    QCOMPARE(speedi.ButtonStatus(), status);
    speedi.show();

    QStringList order;
    connect(&speedi, &TSpeedi::OnClick, &speedi, [&order] { order << "click"; });
    connect(&speedi, &TSpeedi::OnBtnNrClick, &speedi,
            [&order](QObject*, int nr) { order << QString::number(nr); });
    TEvents events(speedi);
    QTest::mouseClick(DirectionButton(speedi, clicked), Qt::LeftButton);

    QCOMPARE(speedi.Speed(), newSpeed);
    QCOMPARE(Edit(speedi)->text(), QString::number(newSpeed));
    QCOMPARE(Slider(speedi)->value(), newSpeed);
    QCOMPARE(speedi.ButtonStatus(), newStatus);
    QCOMPARE(order, (QStringList{"click", QString::number(clicked)}));
    QCOMPARE(events.BtnNrClick.at(0).at(0).value<QObject*>(), &speedi);
    QCOMPARE(events.Change.count(), 0);
  }

  void SymmetricSpeedWritesPressTheDirection_data() {
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("speed");
    QTest::addColumn<int>("newStatus");
    QTest::newRow("negative presses reverse") << 3 << -5 << 1;
    QTest::newRow("positive presses forward") << 1 << 5 << 3;
    QTest::newRow("zero leaves it") << 1 << 0 << 1;
    QTest::newRow("stop stays down") << 2 << -5 << 2;
  }
  void SymmetricSpeedWritesPressTheDirection() {
    QFETCH(int, status);
    QFETCH(int, speed);
    QFETCH(int, newStatus);
    TSpeedi speedi;
    speedi.SetSpeedSym(true);
    speedi.SetButtonStatus(status);
    TEvents events(speedi);
    speedi.SetSpeed(speed);
    QCOMPARE(speedi.ButtonStatus(), newStatus);
    QCOMPARE(events.Total(), 0);
  }

  void ButtonStatusWritesAreSilent_data() {
    QTest::addColumn<int>("written");
    QTest::addColumn<int>("status");
    QTest::newRow("3 presses btnVor") << 3 << 3;
    QTest::newRow("1 presses btnRueck") << 1 << 1;
    QTest::newRow("2 presses btnStop") << 2 << 2;
    QTest::newRow("0 presses nothing") << 0 << 3;
    QTest::newRow("4 presses nothing") << 4 << 3;
  }
  void ButtonStatusWritesAreSilent() {
    QFETCH(int, written);
    QFETCH(int, status);
    TSpeedi speedi;
    speedi.SetSpeedSym(true);
    speedi.SetButtonStatus(3);
    speedi.SetSpeed(12);
    TEvents events(speedi);
    speedi.setProperty("ButtonStatus", written);
    QCOMPARE(speedi.ButtonStatus(), status);
    QCOMPARE(DirectionButton(speedi, status)->isChecked(), true);
    QCOMPARE(speedi.Speed(), 12);  // the speed does not follow a written direction
    QCOMPARE(events.Total(), 0);
  }

  void SliderMovesSetTheSpeed_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("speed");
    QTest::newRow("one step") << int(Qt::Key_Right) << 6;
    QTest::newRow("to the end") << int(Qt::Key_End) << 31;
    QTest::newRow("to the start") << int(Qt::Key_Home) << 0;
  }
  void SliderMovesSetTheSpeed() {
    QFETCH(int, key);
    QFETCH(int, speed);
    TSpeedi speedi;
    speedi.SetSpeed(5);
    TEvents events(speedi);
    QTest::keyClick(Slider(speedi), Qt::Key(key));
    QCOMPARE(speedi.Speed(), speed);
    QCOMPARE(Edit(speedi)->text(), QString::number(speed));
    QCOMPARE(events.Change.count(), 1);
    QCOMPARE(events.Change.at(0).at(0).value<QObject*>(), &speedi);
    QCOMPARE(events.BtnNrClick.count(), 0);
  }

  void EditBoxCommits_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("enter");
    QTest::addColumn<int>("speed");
    QTest::addColumn<int>("changes");
    QTest::newRow("17 on leaving") << "17" << false << 17 << 1;
    QTest::newRow("letters restored") << "abc" << false << 5 << 0;
    QTest::newRow("empty restored") << "" << false << 5 << 0;
    QTest::newRow("trailing letters restored") << "12a" << false << 5 << 0;
    QTest::newRow("too fast clamped") << "99" << false << 31 << 1;
    QTest::newRow("negative clamped") << "-3" << false << 0 << 1;
    QTest::newRow("unchanged text commits") << "5" << false << 5 << 1;
    QTest::newRow("9 on Enter") << "9" << true << 9 << 1;
    QTest::newRow("letters on Enter restored") << "x" << true << 5 << 0;
  }
  void EditBoxCommits() {
    QFETCH(QString, typed);
    QFETCH(bool, enter);
    QFETCH(int, speed);
    QFETCH(int, changes);
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* speedi = new TSpeedi;
    auto* other = new QLineEdit;
    layout->addWidget(speedi);
    layout->addWidget(other);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    speedi->SetSpeed(5);

    QLineEdit* edit = Edit(*speedi);
    edit->setFocus();
    QTRY_VERIFY(edit->hasFocus());
    TEvents events(*speedi);
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, typed);
    QCOMPARE(events.Total(), 0);  // typing alone commits nothing
    if (enter)
      QTest::keyClick(edit, Qt::Key_Return);
    else
      other->setFocus();

    QCOMPARE(speedi->Speed(), speed);
    QCOMPARE(edit->text(), QString::number(speed));
    QCOMPARE(Slider(*speedi)->value(), speed);
    QCOMPARE(events.Change.count(), changes);
    QCOMPARE(events.BtnNrClick.count(), 0);
  }

  // A user without a mouse tabs to the throttle and chooses the direction there with the arrow
  // keys and Space or Enter, as with a click; then to the edit box and the slider. A screen
  // reader tells what each part is.
  void KeysPressTheDirectionButtons_data() {
    QTest::addColumn<QList<int>>("keys");
    QTest::addColumn<QList<int>>("pressed");
    QTest::newRow("stop is where it starts") << QList<int>{Qt::Key_Space} << QList<int>{2};
    QTest::newRow("forward") << QList<int>{Qt::Key_Right, Qt::Key_Return} << QList<int>{3};
    QTest::newRow("reverse then forward")
        << QList<int>{Qt::Key_Left, Qt::Key_Enter, Qt::Key_Right, Qt::Key_Right, Qt::Key_Space}
        << QList<int>{1, 3};
    QTest::newRow("stops at the ends")
        << QList<int>{Qt::Key_Left,  Qt::Key_Left,  Qt::Key_Space, Qt::Key_End,
                      Qt::Key_Right, Qt::Key_Space, Qt::Key_Home,  Qt::Key_Space}
        << QList<int>{1, 3, 1};
    QTest::newRow("choosing presses nothing") << QList<int>{Qt::Key_Right} << QList<int>{};
  }
  void KeysPressTheDirectionButtons() {
    QFETCH(QList<int>, keys);
    QFETCH(QList<int>, pressed);
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* before = new QLineEdit;
    auto* speedi = new TSpeedi;
    layout->addWidget(before);
    layout->addWidget(speedi);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    before->setFocus();
    QTest::keyClick(before, Qt::Key_Tab);
    QVERIFY(speedi->hasFocus());
    QStringList order;
    connect(speedi, &TSpeedi::OnBtnNrClick, speedi,
            [&order](QObject*, int nr) { order << QString::number(nr); });
    for (int key : keys)
      QTest::keyClick(speedi, static_cast<Qt::Key>(key));
    QStringList expected;
    for (int nr : pressed)
      expected << QString::number(nr);
    QCOMPARE(order, expected);
    QCOMPARE(speedi->ButtonStatus(), pressed.isEmpty() ? 2 : pressed.last());
    // Tab goes on to the edit box and then the slider.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), Edit(*speedi));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), Slider(*speedi));
    // A click on a direction button still leaves the focus where it was.
    before->setFocus();
    QTest::mouseClick(DirectionButton(*speedi, 3), Qt::LeftButton);
    QVERIFY(before->hasFocus());
    const QList<QWidget*> named{speedi,
                                DirectionButton(*speedi, 1),
                                DirectionButton(*speedi, 2),
                                DirectionButton(*speedi, 3),
                                Edit(*speedi),
                                Slider(*speedi)};
    for (QWidget* part : named)
      QVERIFY2(!part->accessibleName().isEmpty(), part->metaObject()->className());
  }
};

QTEST_MAIN(TSpeediTest)
#include "speedi_test.moc"
