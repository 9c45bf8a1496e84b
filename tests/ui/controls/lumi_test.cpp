#include <QTest>

#include "ui/controls/colors.h"
#include "ui/controls/lumi.h"

// The module windows set and read every lamp property by name, so the tests go through the
// property system where the name matters.
class TLumiTest : public QObject {
  Q_OBJECT

 private slots:
  void DefaultsAreReadableByName() {
    TLumi lumi;
    QCOMPARE(lumi.property("LEDEin").toBool(), true);
    QCOMPARE(lumi.property("LEDFarbeEin").value<QColor>(), clLime);
    QCOMPARE(lumi.property("LEDFarbeAus").value<QColor>(), clGreen);
    QCOMPARE(lumi.property("LEDStyle").value<TLumi::TShapeType>(), TLumi::stRectangle);
    QCOMPARE(lumi.property("LEDDirection").value<TLumi::TLEDDirection>(), TLumi::ledVertical);
    QCOMPARE(lumi.size(), QSize(8, 12));
  }

  // A screen reader cannot see the colour: the lamp tells whether it is lit.
  void TellsScreenReadersWhetherItIsLit() {
    TLumi lumi;
    QCOMPARE(lumi.accessibleDescription(), QStringLiteral("an"));
    QVERIFY(lumi.setProperty("LEDEin", false));
    QCOMPARE(lumi.accessibleDescription(), QStringLiteral("aus"));
    lumi.SetLEDEin(true);
    QCOMPARE(lumi.accessibleDescription(), QStringLiteral("an"));
  }

  void DirectionSwapsSizeOnlyOnARealChange() {
    TLumi lumi;
    lumi.SetLEDDirection(TLumi::ledVertical);  // already vertical
    QCOMPARE(lumi.size(), QSize(8, 12));
    QVERIFY(lumi.setProperty("LEDDirection", QVariant::fromValue(TLumi::ledHorizontal)));
    QCOMPARE(lumi.size(), QSize(12, 8));
    lumi.SetLEDDirection(TLumi::ledHorizontal);
    QCOMPARE(lumi.size(), QSize(12, 8));
    lumi.resize(12, 18);
    lumi.SetLEDDirection(TLumi::ledVertical);
    QCOMPARE(lumi.size(), QSize(18, 12));
  }

  void SquareShapesSquareTheLampOnceShown_data() {
    QTest::addColumn<TLumi::TShapeType>("style");
    QTest::addColumn<QSize>("shown");
    QTest::newRow("rectangle") << TLumi::stRectangle << QSize(12, 18);
    QTest::newRow("square") << TLumi::stSquare << QSize(12, 12);
    QTest::newRow("round rect") << TLumi::stRoundRect << QSize(12, 18);
    QTest::newRow("round square") << TLumi::stRoundSquare << QSize(12, 12);
    QTest::newRow("ellipse") << TLumi::stEllipse << QSize(12, 18);
    QTest::newRow("circle") << TLumi::stCircle << QSize(12, 12);
  }
  void SquareShapesSquareTheLampOnceShown() {
    QFETCH(TLumi::TShapeType, style);
    QFETCH(QSize, shown);
    QWidget window;
    auto* lumi = new TLumi(&window);
    lumi->SetLEDStyle(style);
    lumi->resize(12, 18);
    QCOMPARE(lumi->size(), QSize(12, 18));  // a window may still size it while setting it up
    window.show();
    QCOMPARE(lumi->size(), shown);
    lumi->resize(30, 20);  // square shapes stay square when resized later
    QCOMPARE(lumi->size(), TLumi::IsSquareShape(style) ? QSize(20, 20) : QSize(30, 20));
  }

  void PaintsItsLampColour() {
    QWidget window;
    auto* lumi = new TLumi(&window);
    lumi->SetLEDStyle(TLumi::stRoundRect);
    lumi->setGeometry(4, 4, 12, 18);
    window.resize(30, 30);
    window.show();
    const QImage shot = lumi->grab().toImage();
    QCOMPARE(shot.pixelColor(6, 9), clLime);
    lumi->SetLEDEin(false);
    QCOMPARE(lumi->grab().toImage().pixelColor(6, 9), clGreen);
  }
};

QTEST_MAIN(TLumiTest)
#include "lumi_test.moc"
