#pragma once
// TfrmVelmoraConfig: the program's main window. It shows the model as a tree of interfaces and
// their modules, sets and connects the selected interface, sends raw test lines, opens module
// property windows, loads and saves the model, runs the module search, removal and address
// change, and is the handler of the program-wide message sink (its log pane).

#include <QMainWindow>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "model/model_project.h"
#include "support/language.h"
#include "support/message_sink.h"
#include "ui/main_icons.h"

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QSplitter;
class QToolBar;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;
class TCardConfigController;
class TModulSearch;
class TRS485IFC;
class QTimer;
class TBusTraffic;
class TfrmBusMonitor;
class TfrmHilfe;
class TfrmModulBase;

// Image kinds of the tree's image request.
enum TImageKind : uint8_t { ikNormal, ikSelected, ikState };

class TfrmVelmoraConfig : public QMainWindow {
  Q_OBJECT

 public:
  // The default model lives in `modellDir` (a folder named after the model); tests give a
  // temporary one.
  explicit TfrmVelmoraConfig(const std::string& modellDir = DefaultModellDir());
  ~TfrmVelmoraConfig() override;

  // The tree's columns: the six of the model, then the link health of each module.
  enum TTreeColumn { tcAntwMs = 6, tcFehler = 7, tcZuletzt = 8, kTreeColumns = 9 };

  static constexpr const char* kCaption = "KavorConfig.exe: 1.2.2.1 (01.01.2018 17:55:00) ";

  TModulsList& ModulsList();

  // What happens at each activation; the first one fills the port list and loads the model.
  void FormActivate();
  bool FirstActivated() const { return FActivated; }

  TModulsItem* SelectedItem() const;
  TRS485IFC* SelectedIFC() const;
  void AddLogLine(const std::string& text, uint8_t kind);
  void ShowReceived(const std::string& text);
  void OnTestAnswer(const std::string& command, const std::string& answer);
  void RebuildTree();
  void ShowIFCData(TRS485IFC* ifc);
  void UpdateIFCControls();
  void ConnectIFC(bool connect);
  void NewIFC();
  // Creates the property window of a module item, bound to its module, hidden, unless it has
  // one already.
  void CreateModulForm(TModulsItem* item);
  // Shows the item's window, creating it the first time.
  void ShowModulForm(TModulsItem* item);
  void LoadModell(const std::string& fileName);
  // False when nothing was saved (a failure, or the user kept the file of a partial load).
  bool SaveModell(const std::string& fileName);
  // Selects the item's row (the first row when it has none).
  void SelectItem(const TModulsItem* item);

  // Part of the workflows that change the modules. The quick search asks every address with a
  // short time-out and only late or garbled ones again with the full one.
  void SearchModules(bool quick = false);
  // Calls a running search off.
  void CancelSearch();
  void RemoveSelected();
  void ChangeModulAdresse();
  // The input box: caption, prompt and preset; a cancelled box yields nothing.
  std::function<std::optional<std::string>(const std::string& caption, const std::string& prompt,
                                           const std::string& preset)>
      InputBox;

  // Answers of the question box.
  enum TAnswer { anJa, anNein, anAbbrechen };
  // The question box: the question, and whether "Abbrechen" is offered beside "Ja" and "Nein".
  std::function<TAnswer(const std::string& question, bool withCancel)> QuestionBox;
  // In German; the box shows them in the user's language.
  static constexpr const char* kSaveChangesQuestion =
      QT_TRANSLATE_NOOP("TfrmVelmoraConfig", "Änderungen am Modell speichern?");
  static constexpr const char* kPartialSaveQuestion =
      QT_TRANSLATE_NOOP("TfrmVelmoraConfig",
                        "Die Datei wurde nur teilweise geladen. Beim Speichern gehen die nicht "
                        "geladenen Teile verloren. Trotzdem speichern?");
  // The caption and description as the fields show them.
  TModelHeader ShownHeader() const;
  // Whether the model has changes its file does not hold; the title shows them with a "*".
  bool ModelModified() const;
  void UpdateModifiedMark();
  // Before the model is dropped: with unsaved changes, asks whether to save them. False when the
  // model must stay (the user cancelled, or the save failed).
  bool ConfirmDropModel();
  // Takes a note still being typed in the tree into the model, as leaving its cell would.
  void CommitTreeEditor();

  // Tree requests.
  QString VSTModulsGetText(const QTreeWidgetItem* node, int column) const;
  int VSTModulsGetImageIndex(const QTreeWidgetItem* node, TImageKind kind, int column) const;
  bool VSTModulsEditing(const QTreeWidgetItem* node, int column) const;
  void VSTModulsNewText(QTreeWidgetItem* node, int column, const QString& text);
  // Shows changes of the model (addresses, flags, connection) in the tree's rows.
  void RefreshTree();
  // Shows the link health of the modules: their columns and state images.
  void RefreshHealth();
  // The traffic of all interfaces, and the monitor window once it was opened.
  TBusTraffic& Traffic() { return *FTraffic; }
  TfrmBusMonitor* BusMonitor() const { return FBusMonitor; }

  // The update lock: while above zero the user-change handlers do nothing.
  void Lock() { ++UpdateLock; }
  void Unlock() {
    if (UpdateLock > 0) --UpdateLock;
  }
  int UpdateLock = 0;

  std::vector<std::string> SearchAnswers;
  std::string ModellDir;
  std::string ModellName;
  // The file the model was loaded from or last saved to.
  std::string ModellFile() const;

  // Controls (object names as their member names).
  QAction* mnuOeffnen1;
  QAction* mnuSpeichern1;
  QAction* mnuBeenden1;
  QAction* mnuModulEigenschaften1;
  QAction* ModuleSuchen1;
  QAction* mnuSchnellsuche1;
  QAction* mnuModulEntfernen1;
  QAction* mnuModulAdd;
  QAction* mnuBusmonitor1;
  QAction* mnuHilfe1;
  QAction* mnuKonfigSichern;
  QAction* mnuKonfigVergleichen;
  QAction* mnuKonfigWiederherstellen;
  QAction* Ueber1;
  // "Sprache – Language": each language named in itself, so that it is found in either.
  QMenu* mnuSprache;
  QAction* mnuDeutsch;
  QAction* mnuEnglish;
  QAction* tbtnExit;
  QAction* tbtnLoadFromFile;
  QAction* tbtnSaveToFile;
  QAction* tbtnIFCNeu;
  QAction* tbtnSuchen;
  QAction* tbtnSchnellsuche;
  QAction* tbtnModulDEL;
  QAction* tbtnBusmonitor;
  QAction* btnTest;
  QAction* popModulEigenschaften;
  QAction* popModuleSuchen;
  QAction* popModulEntfernen;
  QAction* popModulAdrAend;
  QToolBar* ToolBar1;
  QMenu* PopupMenu1;
  QLineEdit* edCaption;
  QLineEdit* edDescr;
  QTreeWidget* VSTModuls;
  QGroupBox* grpInterface;
  QLabel* lblIFC;
  QCheckBox* chbConnect;
  QComboBox* cboPort;
  QComboBox* cboBaud;
  QComboBox* cboTimeOut;
  QComboBox* cboPollPrior;
  QCheckBox* chbIFCEnabled;
  QGroupBox* grpTest;
  QPushButton* btnSenden;
  QSpinBox* edLoopCount;
  QLineEdit* edSenden;
  QPlainTextEdit* Memo1;
  QPlainTextEdit* Memo2;
  QToolButton* Button2;
  QSplitter* Splitter1;
  QSplitter* Splitter2;
  QLabel* StatusPanel[3];
  // While a search runs: the address being asked on the line, and the way to call it off.
  QProgressBar* prbSuche;
  QToolButton* btnSucheAbbrechen;
  // Backing up, comparing and restoring the cards' settings; a child of the window.
  TCardConfigController* CardConfig;

  // Handlers, public so that tests can drive them as the user would.
  void tbtnLoadFromFileClick();
  void tbtnSaveToFileClick();
  void tbtnIFCNeuClick() { NewIFC(); }
  void tbtnSuchenClick() { SearchModules(); }
  void tbtnSchnellsucheClick() { SearchModules(true); }
  void tbtnModulDELClick() { RemoveSelected(); }
  void popModulAdrAendClick() { ChangeModulAdresse(); }
  void mnuModulAddClick();
  void btnTestClick();
  void mnuHilfe1Click();
  void mnuBusmonitor1Click();
  void Ueber1Click();
  // Keeps the choice for the next start and says so, in both languages.
  void mnuSpracheClick(TLanguage language);
  void VSTModulsDblClick();
  void VSTModulsChange();
  void chbConnectClick();
  void chbIFCEnabledClick();
  void IFCDataChange(QObject* sender);
  // A device path typed into the port box becomes the interface's port.
  void TakeTypedPort();
  void edSendenKeyUp(int key);
  void btnSendenClick() { edSendenKeyUp(Qt::Key_Return); }
  void Button2Click();

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool event(QEvent* e) override;
  void showEvent(QShowEvent* event) override;

 private:
  void FormCreate();
  bool FormCloseQuery();
  void FormDestroy();
  void BuildMenus();
  void BuildControls();
  void SetStatus(int panel, const std::string& text);
  void RefreshNode(QTreeWidgetItem* node);
  int NodeImageIndex(const QTreeWidgetItem* node, TImageKind kind) const;
  // Link health (main_window_health.cpp): a health column's text, and the state image of a
  // module whose link is in trouble (-1: none).
  QString HealthText(const TModulsItem* item, int column) const;
  int HealthStateImage(const TModulsItem* item) const;
  void SetNodeIcon(QTreeWidgetItem* node);
  void RefreshHealthRows();
  void CreateTraffic();
  void BindInterface(TRS485IFC* ifc, bool showReceived);
  void FillPortList();
  // Frees the windows of modules that are gone.
  void FreeDetachedForms();
  // The model as it now stands counts as matching its file.
  void MarkModelUnmodified();
  // The question box by default, and the title mark's link to the caption and description.
  void InstallQuestionBox();
  // Refuses, with a status text and a log line, when a workflow runs on the interface.
  bool RefuseWhileBusy(const TRS485IFC* ifc);
  std::string PortText() const;

  std::weak_ptr<TModulSearch> FRunningSearch;
  bool FSearchCancelled = false;  // by the user, with the status bar's button
  std::unique_ptr<TGleisNetz> FGleisNetz;
  std::unique_ptr<TBDispatcher> FDispatcher;
  // The windows opened so far (a module's window is made when it is first shown). Owned.
  std::vector<TfrmModulBase*> FModulForms;
  TTreeIcons FTreeIcons;
  TfrmHilfe* FHilfe = nullptr;  // a child, made at its first use
  std::unique_ptr<TBusTraffic> FTraffic;
  TfrmBusMonitor* FBusMonitor = nullptr;  // a child, made at its first use
  QTimer* FHealthTimer = nullptr;
  uint64_t FHealthTaken = 0;   // records taken at the last health refresh
  uint64_t FHealthResets = 0;  // statistics resets seen at the last health refresh
  TMessageHandler FPreviousHandler;
  TNoticeHandler FPreviousNotice;
  bool FActivated = false;
  bool FClosing = false;
  std::string FDefaultModellDir;
  QString FDialogDir;
};
