// Every window the program opens, in English and in German: the English windows keep no German
// text (captions, tool tips, accessible names, column heads, menu entries, log lines, boxes), and
// the German ones read exactly as the program has always written them.

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <memory>

#include "bus/bus_interface.h"
#include "bus/serial_factory.h"
#include "model/moduls_list.h"
#include "modules/base_modul.h"
#include "sim/sim_bus.h"
#include "sim/sim_serial_line.h"
#include "support/language.h"
#include "support/main_thread.h"
#include "support/message_sink.h"
#include "ui/card_config_controller.h"
#include "ui/card_config_dialog.h"
#include "ui/card_config_table.h"
#include "ui/main_window.h"

namespace {

// One text as a window shows it, and where.
struct TShown {
  QString Where;
  QString Text;
};

void Add(std::vector<TShown>& out, const QString& where, const QString& text) {
  if (!text.trimmed().isEmpty()) out.push_back({where, text});
}

void AddModel(std::vector<TShown>& out, const QString& where, const QAbstractItemModel* model,
              const QModelIndex& parent = {}) {
  if (!model) return;
  if (!parent.isValid()) {
    for (int c = 0; c < model->columnCount(); ++c) {
      Add(out, where + "/head", model->headerData(c, Qt::Horizontal).toString());
      Add(out, where + "/head tip",
          model->headerData(c, Qt::Horizontal, Qt::ToolTipRole).toString());
    }
  }
  for (int r = 0; r < model->rowCount(parent); ++r) {
    for (int c = 0; c < model->columnCount(parent); ++c) {
      const QModelIndex index = model->index(r, c, parent);
      Add(out, where + "/cell", index.data().toString());
      Add(out, where + "/cell tip", index.data(Qt::ToolTipRole).toString());
      Add(out, where + "/cell name", index.data(Qt::AccessibleTextRole).toString());
    }
    AddModel(out, where, model, model->index(r, 0, parent));
  }
}

// Every text the window and its children show a user or a screen reader.
void Collect(QWidget* root, std::vector<TShown>& out) {
  QList<QWidget*> widgets = root->findChildren<QWidget*>();
  widgets.prepend(root);
  for (QWidget* w : widgets) {
    const QString where =
        root->objectName() + "/" + w->objectName() + " (" + w->metaObject()->className() + ")";
    if (w->isWindow()) Add(out, where + " title", w->windowTitle());
    Add(out, where + " tip", w->toolTip());
    Add(out, where + " status tip", w->statusTip());
    Add(out, where + " what's this", w->whatsThis());
    Add(out, where + " name", w->accessibleName());
    Add(out, where + " description", w->accessibleDescription());
    if (auto* label = qobject_cast<QLabel*>(w)) Add(out, where, label->text());
    if (auto* button = qobject_cast<QAbstractButton*>(w)) Add(out, where, button->text());
    if (auto* group = qobject_cast<QGroupBox*>(w)) Add(out, where, group->title());
    if (auto* edit = qobject_cast<QLineEdit*>(w)) Add(out, where, edit->placeholderText());
    if (auto* memo = qobject_cast<QPlainTextEdit*>(w))
      for (const QString& line : memo->toPlainText().split('\n'))
        Add(out, where, line);
    if (auto* menu = qobject_cast<QMenu*>(w)) Add(out, where, menu->title());
    if (auto* combo = qobject_cast<QComboBox*>(w))
      for (int i = 0; i < combo->count(); ++i)
        Add(out, where + " item", combo->itemText(i));
    if (auto* tabs = qobject_cast<QTabBar*>(w)) {
      for (int i = 0; i < tabs->count(); ++i) {
        Add(out, where + " tab", tabs->tabText(i));
        Add(out, where + " tab tip", tabs->tabToolTip(i));
      }
    }
    // The guide is the README, English in either language.
    if (qobject_cast<QTextBrowser*>(w)) continue;
    if (auto* view = qobject_cast<QAbstractItemView*>(w)) AddModel(out, where, view->model());
  }
  for (QAction* a : root->findChildren<QAction*>()) {
    const QString where = root->objectName() + "/" + a->objectName() + " (QAction)";
    Add(out, where, a->text());
    Add(out, where + " tip", a->toolTip());
    Add(out, where + " status tip", a->statusTip());
  }
}

// Each language named in itself reads the same in every language; so do values the model file
// keeps: the port entry for no port and the name a new interface is given.
bool SameInEveryLanguage(const QString& text) {
  return text == "Sprache – Language" || text == "Deutsch" || text == "English" ||
         text == "-KEIN-" || text == "Virtuelles Interface, Class Busmaster= TSer485BusMaster";
}

bool LooksGerman(const QString& text) {
  static const QRegularExpression german(
      "[äöüßÄÖÜ]|\\b(der|die|das|dem|den|des|und|oder|nicht|ist|mit|von|für|auf|zum|im|zu|ein|"
      "eine|kein|keine|KEIN|ohne|mal|noch|schon|wird|wurde|bitte|Fehler|Virtuelles|Modul|"
      "Modell|Datei|Karte|Karten|Einstellung|Einstellungen|Sichern|Speichern|Laden|Suche|"
      "suchen|Hilfe|Adresse|Abbrechen|Ja|Nein|Gruppe|Fahrregler|Direkt|Impuls|Impulsdauer|"
      "Aktiv|Aktion|Zuordnung|Sensoren|Hinweis|Bezeichnung|Beschr|Interrface|Sicherungsdatei|"
      "Abschnitt|gleich|verschieden|Antwort|Fortschritt|Zusammenfassung|Anleitung|Beenden|"
      "Entfernen|Neues|Vergleichen|Wiederherstellen|Konfiguration|gesichert|Erstellt|"
      "Schaltflächen|Ausgewählte|Alle|alle|verfügbar|Simulierter|Klasse|Befehl|Austausche|"
      "Statistik|Zeit|zuletzt|vor|Leeren|Anhalten|Weiter|Ergebnis|Schnellsuche|getrennt)\\b");
  // The keys of the card backup file ("LS1.Fahrregler", "Port03.Invertiert") are never
  // translated.
  static const QRegularExpression fileKey("\\b[A-Za-z]+[0-9]+\\.[A-Za-z0-9]+\\b");
  return !SameInEveryLanguage(text) && german.match(QString(text).remove(fileKey)).hasMatch();
}

// Whether one of the texts is `expected`; with a leading "~" whether one holds the rest.
bool Shows(const QStringList& texts, const QString& expected) {
  if (!expected.startsWith('~')) return texts.contains(expected);
  const QString part = expected.mid(1);
  return std::any_of(texts.begin(), texts.end(),
                     [&](const QString& text) { return text.contains(part); });
}

// Calls `open`, which opens a modal box, and collects the box's texts before it is closed.
void CollectModal(const std::function<void()>& open, std::vector<TShown>& out) {
  bool seen = false;
  QTimer poll;
  poll.setInterval(10);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    QWidget* box = QApplication::activeModalWidget();
    if (!box || seen) return;
    seen = true;
    Collect(box, out);
    QMetaObject::invokeMethod(box, "reject", Qt::QueuedConnection);
  });
  poll.start();
  open();
  poll.stop();
  QVERIFY2(seen, "no modal box came up");
}

}  // namespace

class LanguageWindowsTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<QTemporaryDir> Dir;
  std::unique_ptr<TSimBus> Bus;

  // Opens every window as a user would, in `language`, and gathers what they show: the main
  // window with one card of each kind, every card's window, the bus monitor, the card configuration
  // dialog for each action and the result table of a comparison, the guide, the About text, the
  // question before the model is dropped and the address box.
  std::vector<TShown> ShowEverything(TLanguage language) {
    InstallLanguage(language);
    Dir = std::make_unique<QTemporaryDir>();
    Bus = std::make_unique<TSimBus>();
    Bus->AddDefaultCards();
    std::vector<TShown> shown;
    std::vector<std::string> notices;
    auto w = std::make_unique<TfrmVelmoraConfig>(Dir->path().toStdString() + "/Modell1");
    const auto realQuestionBox = w->QuestionBox;
    const auto realInputBox = w->InputBox;
    w->QuestionBox = [](const std::string&, bool) { return TfrmVelmoraConfig::anNein; };
    SetNoticeHandler([&notices](const std::string& text) { notices.push_back(text); });
    w->FormActivate();
    w->show();
    w->cboPort->setCurrentIndex(w->cboPort->findText("SIM"));
    w->ConnectIFC(true);
    w->SelectedIFC()->SetTimeout(50);
    for (const char* card :
         {"TMXB01,$1E", "THDX01,$20", "TMXB02,$32", "TDummy,$40", "TIFCPorts,$7F", "TMXB01,$44"}) {
      w->InputBox = [card](const std::string&, const std::string&, const std::string&) {
        return std::optional<std::string>(card);
      };
      w->mnuModulAddClick();
    }
    TRS485IFC* ifc = w->ModulsList().IFCByIndex(0);
    for (int i = 0; i < ifc->Count(); ++i) {
      w->SelectItem(w->ModulsList().ItemOfModul(dynamic_cast<TBaseModul*>(ifc->Item(i))));
      w->VSTModulsDblClick();
    }
    // A comparison with the program's own image: the card at $44 does not answer.
    w->CardConfig->Ask = [](const TCardConfigRequest&) {
      TCardConfigChoice choice;
      choice.Scope = TCardConfigChoice::scModel;
      choice.WithImage = true;
      return std::optional<TCardConfigChoice>(choice);
    };
    w->mnuKonfigVergleichen->trigger();
    w->mnuBusmonitor1->trigger();
    w->mnuHilfe1Click();
    w->Ueber1Click();
    QCoreApplication::processEvents();
    for (QWidget* window : QApplication::topLevelWidgets())
      if (window->isVisible()) Collect(window, shown);
    for (const std::string& notice : notices)
      Add(shown, "notice", QString::fromStdString(notice));

    for (TCardConfigAction action : {caBackup, caCompare, caRestore}) {
      TCardConfigRequest request;
      request.Action = action;
      request.CardLabel = "IFC0 $32 TMXB02";
      request.CardClass = "TMXB02";
      request.CardSection = "IFC0_$32";
      request.IfcLabel = "IFC(0)";
      TfrmCardConfig dialog(request);
      Collect(&dialog, shown);
    }
    // The real boxes, not the test's stand-ins.
    CollectModal(
        [&] {
          realQuestionBox(QCoreApplication::translate("TfrmVelmoraConfig",
                                                      TfrmVelmoraConfig::kSaveChangesQuestion)
                              .toStdString(),
                          true);
        },
        shown);
    w->InputBox = realInputBox;
    auto* first = dynamic_cast<TBaseModul*>(ifc->Item(0));
    first->SetAktiv(true);
    w->SelectItem(w->ModulsList().ItemOfModul(first));
    CollectModal([&] { w->ChangeModulAdresse(); }, shown);
    w.reset();
    return shown;
  }

 private slots:
  void initTestCase() {
    // The language menu keeps its choice in the user's settings: a test folder of its own.
    QStandardPaths::setTestModeEnabled(true);
    InstallQtMainThreadWaker();
    RegisterSerialLine("SIM", "Simulierter Bus", [this] { return MakeSimSerialLine(*Bus); });
  }
  void cleanupTestCase() {
    InstallLanguage(lnGerman);
    UnregisterSerialLine("SIM");
    RemoveQtMainThreadWaker();
  }

  void EnglishWindowsKeepNoGermanText() {
    const std::vector<TShown> shown = ShowEverything(lnEnglish);
    QStringList german;
    QStringList texts;
    for (const TShown& s : shown) {
      texts << s.Text;
      // The port list names the test's own simulated bus.
      if (s.Text.contains("Simulierter Bus")) continue;
      if (LooksGerman(s.Text)) german << s.Where + ": " + s.Text;
    }
    QVERIFY2(german.isEmpty(), qPrintable("German text left:\n" + german.join('\n')));
    // The walk reached the windows, the boxes and the log at all.
    for (const char* expected :
         {"File", "Back up configuration…", "Search modules", "IFC/Module", "Yes", "Cancel",
          "Change module address", "Compare configuration", "Throttle 1", "Pulse length (msec) ",
          "Compared with the state in the program", "~IFC0 $44 TMXB01: no answer", "~Built with Qt",
          "Bus monitor", "Answ. ms", "Hide polls", "Quick search"})
      QVERIFY2(Shows(texts, expected), expected);
  }

  void LanguageMenuKeepsTheChoiceForTheNextStart() {
    InstallLanguage(lnGerman);
    Dir = std::make_unique<QTemporaryDir>();
    std::vector<std::string> notices;
    auto w = std::make_unique<TfrmVelmoraConfig>(Dir->path().toStdString() + "/Modell1");
    SetNoticeHandler([&notices](const std::string& text) { notices.push_back(text); });
    QVERIFY(w->mnuDeutsch->isChecked());
    w->mnuEnglish->trigger();
    QCOMPARE(StoredLanguage(), std::optional<TLanguage>(lnEnglish));
    // Said in both languages, since the user may read only the one just chosen.
    QCOMPARE(notices.size(), 1u);
    QVERIFY(QString::fromStdString(notices[0]).contains("The language changes at the next start."));
    QVERIFY(QString::fromStdString(notices[0]).contains("beim nächsten Start"));
    // Back to the language in use: kept, nothing to say.
    w->mnuDeutsch->trigger();
    QCOMPARE(StoredLanguage(), std::optional<TLanguage>(lnGerman));
    QCOMPARE(notices.size(), 1u);
  }

  void GermanWindowsReadAsWritten() {
    const std::vector<TShown> shown = ShowEverything(lnGerman);
    QStringList texts;
    for (const TShown& s : shown)
      texts << s.Text;
    for (const char* expected : {"Datei",
                                 "Konfiguration sichern…",
                                 "Module zum Interrface ermitteln",
                                 "IFC/Modul",
                                 "Bezeichnung",
                                 " Interface ",
                                 "Poll. Priority",
                                 "Ja",
                                 "Nein",
                                 "Abbrechen",
                                 "Moduladresse ändern",
                                 "Konfiguration vergleichen",
                                 "1. Fahrregler",
                                 "Impulsdauer (msec) ",
                                 "Verglichen mit dem Stand im Programm",
                                 "~IFC0 $44 TMXB01: ohne Antwort",
                                 "~Erstellt mit Qt",
                                 "Änderungen am Modell speichern?",
                                 "Sprache – Language",
                                 "Busmonitor",
                                 "Antw. ms",
                                 "Polls ausblenden"})
      QVERIFY2(Shows(texts, expected), expected);
  }
};

QTEST_MAIN(LanguageWindowsTest)
#include "language_windows_test.moc"
