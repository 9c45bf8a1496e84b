#include <QAbstractButton>
#include <QSignalSpy>
#include <QTest>

#include "ui/controls/btn_kette.h"
#include "ui/controls/colors.h"
#include "ui/controls/lumi_kette.h"

namespace {
// The lit lamps from left to right as '1' and '0'.
QString LitPattern(const TLumiKette& row) {
  QString pattern;
  for (int i = 0; i < row.LEDAnzahl(); ++i)
    pattern += row.LampLit(i) ? u'1' : u'0';
  return pattern;
}
}  // namespace

class TLumiKetteTest : public QObject {
  Q_OBJECT

 private slots:
  void Defaults() {
    TLumiKette row;
    QCOMPARE(row.property("LEDAnzahl").toInt(), 8);
    QCOMPARE(row.property("LEDValue").toInt(), -1);
    QCOMPARE(row.property("LEDFarbeEin").value<QColor>(), clLime);
    QCOMPARE(row.property("LEDFarbeAus").value<QColor>(), clGreen);
    QCOMPARE(row.property("LEDStyle").value<TLumi::TShapeType>(), TLumi::stRectangle);
    QCOMPARE(LitPattern(row), QStringLiteral("11111111"));
    QCOMPARE(row.size(), QSize(2, 2));  // grows once it is about to be drawn
  }

  void LEDAnzahlWrites_data() {
    QTest::addColumn<int>("written");
    QTest::addColumn<int>("expected");
    QTest::newRow("16") << 16 << 16;
    QTest::newRow("32 is the largest") << 32 << 32;
    QTest::newRow("33 ignored") << 33 << 8;
    QTest::newRow("255 ignored") << 255 << 8;
    QTest::newRow("0 stored") << 0 << 0;
    QTest::newRow("negative ignored") << -1 << 8;
  }
  void LEDAnzahlWrites() {
    QFETCH(int, written);
    QFETCH(int, expected);
    TLumiKette row;
    QVERIFY(row.setProperty("LEDAnzahl", written));
    QCOMPARE(row.LEDAnzahl(), expected);
  }

  void LitLampsShowTheBitsFromTheLeft_data() {
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("lit");
    // A screen reader is told the numbers of the lit lamps.
    QTest::addColumn<QString>("told");
    QTest::newRow("all") << 8 << -1 << "11111111"
                         << "an: 0, 1, 2, 3, 4, 5, 6, 7";
    QTest::newRow("none") << 8 << 0 << "00000000"
                          << "alle aus";
    QTest::newRow("5: lamps 0 and 2") << 8 << 5 << "10100000"
                                      << "an: 0, 2";
    QTest::newRow("bits above the row unseen") << 4 << 0x1F0 << "0000"
                                               << "alle aus";
    QTest::newRow("16-bit word") << 16 << 0x8001 << "1000000000000001"
                                 << "an: 0, 15";
    QTest::newRow("sign bit is lamp 31")
        << 32 << static_cast<int>(0x80000000u) << QString(31, u'0') + u'1' << "an: 31";
  }
  void LitLampsShowTheBitsFromTheLeft() {
    QFETCH(int, count);
    QFETCH(int, value);
    QFETCH(QString, lit);
    QFETCH(QString, told);
    TLumiKette row;
    row.SetLEDFarbeAus(clSilver);
    row.SetLEDAnzahl(count);
    row.SetLEDValue(value);
    QCOMPARE(LitPattern(row), lit);
    QCOMPARE(row.accessibleDescription(), told);
    for (int i = 0; i < count; ++i)
      QCOMPARE(row.LampColor(i), lit[i] == u'1' ? clLime : clSilver);
  }

  void EveryValueWriteFires() {
    TLumiKette row;
    QSignalSpy spy(&row, &TLumiKette::onLEDValueChange);
    row.SetLEDValue(3);
    row.SetLEDValue(3);  // unchanged values fire too; windows compare before writing
    QCOMPARE(spy.count(), 2);
    QCOMPARE(spy.at(0).at(0).value<QObject*>(), &row);
  }

  void ValueOnAnEmptyRowIsStoredSilently() {
    TLumiKette row;
    row.SetLEDAnzahl(0);
    QSignalSpy spy(&row, &TLumiKette::onLEDValueChange);
    row.SetLEDValue(0x55);
    QCOMPARE(row.LEDValue(), 0x55);
    QCOMPARE(spy.count(), 0);
  }

  void ToggleLED_data() {
    QTest::addColumn<int>("before");
    QTest::addColumn<int>("n");
    QTest::addColumn<int>("after");
    QTest::addColumn<QString>("told");
    QTest::newRow("sets bit 3") << 0 << 3 << 8 << "an: 3";
    QTest::newRow("clears bit 3") << 8 << 3 << 0 << "alle aus";
    QTest::newRow("bit 0") << 0 << 0 << 1 << "an: 0";
    QTest::newRow("bit 15 is the last") << 0 << 15 << 0x8000 << "an: 15";
    QTest::newRow("bit 16 untouched") << 0 << 16 << 0 << "alle aus";
    QTest::newRow("bit 31 untouched")
        << -1 << 31 << -1 << "an: 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15";
    QTest::newRow("negative untouched") << 0 << -1 << 0 << "alle aus";
    QTest::newRow("upper bits kept")
        << static_cast<int>(0xFFFF0000u) << 1 << static_cast<int>(0xFFFF0002u) << "an: 1";
  }
  void ToggleLED() {
    QFETCH(int, before);
    QFETCH(int, n);
    QFETCH(int, after);
    QFETCH(QString, told);
    TLumiKette row;
    row.SetLEDAnzahl(16);
    row.SetLEDValue(before);
    QSignalSpy spy(&row, &TLumiKette::onLEDValueChange);
    row.ToggleLED(n);
    QCOMPARE(row.LEDValue(), after);
    QCOMPARE(row.accessibleDescription(), told);
    QCOMPARE(spy.count(), 0);
  }

  void LampGeometry_data() {
    QTest::addColumn<TLumi::TShapeType>("style");
    QTest::addColumn<int>("i");
    QTest::addColumn<QRect>("box");
    QTest::newRow("first") << TLumi::stRectangle << 0 << QRect(4, 4, 8, 12);
    QTest::newRow("sixteenth") << TLumi::stRoundRect << 15 << QRect(184, 4, 8, 12);
    QTest::newRow("round square") << TLumi::stRoundSquare << 0 << QRect(4, 4, 8, 8);
    QTest::newRow("circle") << TLumi::stCircle << 1 << QRect(16, 4, 8, 8);
  }
  void LampGeometry() {
    QFETCH(TLumi::TShapeType, style);
    QFETCH(int, i);
    QFETCH(QRect, box);
    TLumiKette row;
    row.SetLEDAnzahl(16);
    row.SetLEDStyle(style);
    QCOMPARE(row.LampRect(i), box);
  }

  void GrowsToItsLampsButNeverShrinks_data() {
    QTest::addColumn<int>("count");
    QTest::addColumn<QSize>("placed");
    QTest::addColumn<QSize>("shown");
    QTest::newRow("8 lamps from 2x2") << 8 << QSize(2, 2) << QSize(100, 20);
    QTest::newRow("8 lamps keep 105") << 8 << QSize(105, 49) << QSize(105, 49);
    QTest::newRow("16 lamps exactly 196") << 16 << QSize(196, 49) << QSize(196, 49);
    QTest::newRow("16 lamps grow from 105") << 16 << QSize(105, 49) << QSize(196, 49);
    QTest::newRow("32 lamps") << 32 << QSize(50, 10) << QSize(388, 20);
    QTest::newRow("no lamps") << 0 << QSize(2, 2) << QSize(4, 20);
  }
  void GrowsToItsLampsButNeverShrinks() {
    QFETCH(int, count);
    QFETCH(QSize, placed);
    QFETCH(QSize, shown);
    QWidget window;
    auto* row = new TLumiKette(&window);
    row->SetLEDAnzahl(count);
    row->resize(placed);
    window.show();
    QCOMPARE(row->size(), shown);
    row->SetLEDAnzahl(0);  // fewer lamps leave the row as it is
    QCOMPARE(row->size(), shown);
  }

  void GrowsWhenLampsAreAddedWhileShown() {
    QWidget window;
    auto* row = new TLumiKette(&window);
    row->resize(105, 49);
    window.show();
    row->SetLEDAnzahl(16);
    QCOMPARE(row->size(), QSize(196, 49));
    row->resize(50, 10);  // too small again: the lamps still fit
    QCOMPARE(row->size(), QSize(196, 20));
  }

  void PaintsTheLampsItReports() {
    QWidget window;
    auto* row = new TLumiKette(&window);
    row->SetLEDFarbeAus(clSilver);
    row->SetLEDValue(5);
    window.show();
    const QImage shot = row->grab().toImage();
    for (int i = 0; i < row->LEDAnzahl(); ++i)
      QCOMPARE(shot.pixelColor(row->LampRect(i).center()), row->LampColor(i));
  }

  void DoubleClickOutsideTheButtonsOnly() {
    QWidget window;
    auto* row = new TLumiKette(&window);
    row->setGeometry(0, 0, 105, 49);
    auto* buttons = new TBtnKette(row);
    buttons->move(0, 20);
    window.show();
    QSignalSpy dbl(row, &TLumiKette::OnDblClick);

    QTest::mouseDClick(row, Qt::LeftButton, {}, QPoint(50, 10));
    QCOMPARE(dbl.count(), 1);
    QCOMPARE(dbl.at(0).at(0).value<QObject*>(), row);

    QTest::mouseDClick(buttons->Button(3), Qt::LeftButton);
    QCOMPARE(dbl.count(), 1);
    QTest::mouseDClick(buttons, Qt::LeftButton, {}, QPoint(1, 1));  // the button row's margin
    QCOMPARE(dbl.count(), 2);
  }
};

QTEST_MAIN(TLumiKetteTest)
#include "lumi_kette_test.moc"
