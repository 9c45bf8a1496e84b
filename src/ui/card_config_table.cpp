#include "ui/card_config_table.h"

#include <QBrush>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "ui/card_config_dialog.h"

namespace {

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

// Green for a card done as asked, amber for one that differs, red for a failure.
QColor StatusColor(const TCardResult& result) {
  if (result.Status == csDiffers) return QColor(176, 104, 0);
  if (result.Succeeded()) return QColor(0, 120, 0);
  return QColor(190, 0, 0);
}

}  // namespace

TfrmConfigTable::TfrmConfigTable(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName("frmConfigTable");
  setAccessibleName(tr("Konfiguration der Karten"));
  resize(640, 420);
  auto* outer = new QVBoxLayout(this);
  lblQuelle = new QLabel(this);
  lblQuelle->setObjectName("lblQuelle");
  lblQuelle->setTextInteractionFlags(Qt::TextSelectableByMouse);
  outer->addWidget(lblQuelle);

  VSTKonfig = new QTreeWidget(this);
  VSTKonfig->setObjectName("VSTKonfig");
  VSTKonfig->setAccessibleName(tr("Karten und Einstellungen"));
  VSTKonfig->setColumnCount(4);
  VSTKonfig->setRootIsDecorated(false);
  VSTKonfig->setAlternatingRowColors(true);
  VSTKonfig->setSelectionBehavior(QAbstractItemView::SelectRows);
  VSTKonfig->header()->setStretchLastSection(true);
  outer->addWidget(VSTKonfig, 1);

  auto* bottom = new QHBoxLayout();
  lblSumme = new QLabel(this);
  lblSumme->setObjectName("lblSumme");
  lblSumme->setAccessibleName(tr("Zusammenfassung"));
  btnSchliessen = new QPushButton(tr("Schließen"), this);
  btnSchliessen->setObjectName("btnSchliessen");
  bottom->addWidget(lblSumme, 1);
  bottom->addWidget(btnSchliessen);
  outer->addLayout(bottom);
  connect(btnSchliessen, &QPushButton::clicked, this, &QWidget::close);
}

void TfrmConfigTable::ShowResults(TCardConfigAction action, const std::string& source,
                                  const std::vector<TCardResult>& results,
                                  const std::string& summary) {
  setWindowTitle(CardConfigCaption(action));
  const bool withImage = source.empty();
  // The file's name says enough; where it lies is one hover away.
  lblQuelle->setText(withImage ? tr("Verglichen mit dem Stand im Programm")
                               : tr("Sicherungsdatei: %1").arg(QFileInfo(Q(source)).fileName()));
  lblQuelle->setToolTip(withImage ? QString() : QDir::toNativeSeparators(Q(source)));
  VSTKonfig->clear();
  VSTKonfig->setHeaderLabels({tr("Karte"), tr("Einstellung"),
                              withImage ? tr("im Programm") : tr("in der Datei"),
                              tr("auf der Karte")});
  for (const TCardResult& result : results) {
    // The card's row says what became of it; its differences follow, one row each.
    auto* row = new QTreeWidgetItem(VSTKonfig, {Q(result.Label), Q(result.ShownText)});
    row->setToolTip(1, Q(result.ShownText));
    QFont bold = row->font(0);
    bold.setBold(true);
    row->setFont(0, bold);
    row->setForeground(1, QBrush(StatusColor(result)));
    for (const TSettingDifference& d : result.Differences) {
      auto* line = new QTreeWidgetItem(
          VSTKonfig,
          {QString(), Q(d.Key), Q(ShownSettingValue(d.Wanted)), Q(ShownSettingValue(d.OnCard))});
      line->setForeground(3, QBrush(StatusColor(result)));
    }
  }
  for (int c = 0; c < 3; ++c)
    VSTKonfig->resizeColumnToContents(c);
  // A long result text in the second column need not widen the table past the window.
  VSTKonfig->setColumnWidth(1, std::min(VSTKonfig->columnWidth(1), 260));
  lblSumme->setText(Q(summary));
}
