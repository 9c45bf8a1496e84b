#include <QAction>
#include <QImage>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextImageFormat>

#include "ui/help_window.h"
#include "ui/main_icons.h"
#include "ui/main_window.h"

namespace {

// The names of every picture the document shows.
QStringList ImageNames(const QTextDocument* document) {
  QStringList names;
  for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QTextCharFormat format = it.fragment().charFormat();
      if (format.isImageFormat()) names << format.toImageFormat().name();
    }
  }
  return names;
}

}  // namespace

class HelpWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void PageIsThePreambleAndTheNamedSectionsInReadmeOrder() {
    const std::string readme =
        "# Title\nintro\n"
        "## A\na\n```sh\n## not a heading inside code\n```\n### A.1\na1\n"
        "## B\nb\n"
        "## C  \nc\n";
    const std::string preamble = "# Title\nintro\n";
    const std::string a = "## A\na\n```sh\n## not a heading inside code\n```\n### A.1\na1\n";
    struct TCase {
      std::vector<std::string> Titles;
      std::string Page;
    };
    const std::vector<TCase> cases = {
        {{}, preamble},
        {{"C", "A"}, preamble + a + "## C  \nc\n"},  // the README's order, trailing blanks ignored
        {{"B"}, preamble + "## B\nb\n"},
        {{"missing", "not a heading inside code"}, preamble},
    };
    for (const TCase& c : cases)
      QCOMPARE(HelpPageFromReadme(readme, c.Titles), c.Page);
  }

  void InfoHilfeOpensTheBuiltInGuideWithItsPictures() {
    QTemporaryDir dir;
    TfrmVelmoraConfig w(dir.path().toStdString() + "/Modell1");
    auto* info = w.menuBar()->findChild<QMenu*>("mnuInfo1");
    QVERIFY(info);
    QCOMPARE(info->actions().value(0), w.mnuHilfe1);
    QCOMPARE(w.mnuHilfe1->text(), QString("Hilfe"));
    QCOMPARE(w.mnuHilfe1->shortcut(), QKeySequence(QKeySequence::HelpContents));
    QVERIFY(info->actions().contains(w.Ueber1));

    w.mnuHilfe1->trigger();
    auto* help = w.findChild<TfrmHilfe*>();
    QVERIFY(help);
    QVERIFY(help->isVisible());
    const QString text = help->brwHilfe->toPlainText();
    for (const std::string& title : TfrmHilfe::GuideSections())
      QVERIFY2(text.contains(QString::fromStdString(title)), title.c_str());
    QVERIFY(text.contains("sudo usermod -aG dialout $USER"));
    QVERIFY(text.contains("Pick SIM in the \"COM\" box"));
    QVERIFY(!text.contains("Performance"));  // for developers, not in the guide
    QVERIFY(!text.contains("Building by hand"));

    // Every picture the guide shows is built into the program.
    const QStringList images = ImageNames(help->brwHilfe->document());
    QVERIFY2(images.size() >= 8, qPrintable(images.join(", ")));
    for (const QString& name : images) {
      const QVariant data = help->brwHilfe->loadResource(QTextDocument::ImageResource, QUrl(name));
      QVERIFY2(!QImage::fromData(data.toByteArray()).isNull(), qPrintable(name));
    }
    QVERIFY(w.Memo1->toPlainText().isEmpty());

    // Opening it again shows the same window.
    help->close();
    w.mnuHilfe1->trigger();
    QCOMPARE(w.findChildren<TfrmHilfe*>().size(), 1);
    QVERIFY(help->isVisible());
    help->btnSchliessen->click();
    QVERIFY(!help->isVisible());
  }

  void AppIconIsBuiltInEverySize() {
    const QList<QSize> sizes = AppIcon().availableSizes();
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
      QVERIFY2(sizes.contains(QSize(size, size)), qPrintable(QString::number(size)));
    QTemporaryDir dir;
    const TfrmVelmoraConfig w(dir.path().toStdString() + "/Modell1");
    QCOMPARE(w.windowIcon().availableSizes().size(), sizes.size());
  }
};

QTEST_MAIN(HelpWindowTest)
#include "help_window_test.moc"
