#include "ui/modules/frm_hdx01.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>
#include <stdexcept>

#include "model/ini_file.h"
#include "model/model_project.h"
#include "modules/hdx01.h"
#include "support/conversions.h"
#include "support/files.h"
#include "support/message_sink.h"
#include "support/paths.h"
#include "support/waits.h"
#include "ui/controls/colors.h"
#include "ui/controls/lumi.h"
#include "ui/controls/speedi.h"

namespace {

constexpr const char* kZuordSection = "LS_FR_ZUORD";
constexpr int kLightBarriers = 8;
constexpr int kThrottles = 4;

std::string LSKey(int n) {
  return "LS" + std::to_string(n);
}

QFrame* MakePanel(QWidget* parent, const char* name, const QRect& geometry) {
  auto* panel = new QFrame(parent);
  panel->setObjectName(QString::fromLatin1(name));
  panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
  panel->setGeometry(geometry);
  return panel;
}

}  // namespace

TfrmHDX01::TfrmHDX01() {
  setObjectName(QStringLiteral("frmHDX01"));
  setWindowTitle(QStringLiteral("HDX01"));

  PageControl1 = CreatePages(TabSheet1, TabSheet2);

  SetupStatusBar(2);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(PageControl1, 1);
  layout->addWidget(StatusBar1);

  BuildActionPage();
  BuildSettingsPage();

  TimerOutput = new QTimer(this);
  TimerOutput->setObjectName(QStringLiteral("TimerOutput"));
  TimerOutput->setInterval(TimerOutputInterval);
  connect(TimerOutput, &QTimer::timeout, this, [this] { TimerOutputTimer(); });

  // Both pages share the wider of their contents.
  const int contentWidth = std::max(Panel1->width(), GroupBox1->width());
  for (QFrame* panel : {Panel1, pnlR1, Panel3, Panel4, Panel5})
    panel->resize(contentWidth, panel->height());
  SetOuterSize(std::max(287, contentWidth + 24), 435);
  SetModul(nullptr);
  PageControl1->setCurrentIndex(0);
}

TfrmHDX01::~TfrmHDX01() {
  UnhookEvents();
}

void TfrmHDX01::BuildActionPage() {
  Panel1 = MakePanel(TabSheet1, "Panel1", QRect(4, 4, 263, 125));
  Label1->setParent(Panel1);
  Label1->setGeometry(6, 7, 52, 17);
  edAdresse->setParent(Panel1);
  edAdresse->setGeometry(58, 5, 40, 21);
  chbAktiv->setParent(Panel1);
  chbAktiv->setGeometry(110, 6, 60, 19);
  chbPolling->setParent(Panel1);
  chbPolling->setGeometry(176, 6, 80, 19);

  chbGouped = new QCheckBox(tr("Gruppe"), Panel1);
  chbGouped->setObjectName(QStringLiteral("chbGouped"));
  chbGouped->setToolTip(tr("Alle Regler gemeinsam als Gruppe"));
  chbGouped->setGeometry(176, 28, 80, 19);

  auto* lblSensoren = new QLabel(tr("Sensoren (1..8): "), Panel1);
  lblSensoren->setObjectName(QStringLiteral("lblSensoren"));
  lblSensoren->setGeometry(8, 30, 120, 17);

  const QStringList stopEvents{QStringLiteral("AUS"), QStringLiteral("BSTOP"),
                               QStringLiteral("FSTOP")};
  for (int i = 0; i < kLightBarriers; ++i) {
    const int nr = i + 1;
    const int left = i < 4 ? 8 : 136;
    const int top = 50 + (i % 4) * 18;

    auto* number = new QLabel(QString::number(nr), Panel1);
    number->setObjectName(QStringLiteral("lblLS%1").arg(nr));
    number->setProperty("Tag", nr);
    number->setGeometry(left, top, 10, 17);

    auto* lamp = new TLumi(Panel1);
    lamp->setObjectName(QStringLiteral("LumiLS%1").arg(nr));
    lamp->setProperty("Tag", nr);
    lamp->SetLEDEin(true);
    lamp->SetLEDFarbeEin(clLime);
    lamp->SetLEDFarbeAus(clYellow);
    lamp->SetLEDStyle(TLumi::stRectangle);
    lamp->SetLEDDirection(TLumi::ledVertical);
    lamp->setGeometry(left + 14, top + 3, TLumi::LampWidth, TLumi::LampHeight);

    auto* combo = new QComboBox(Panel1);
    combo->setObjectName(QStringLiteral("cboLS%1").arg(nr));
    // The number before it alone would say little.
    combo->setAccessibleName(tr("Sensor %1").arg(nr));
    combo->setProperty("Tag", nr);
    combo->setEditable(true);
    // Typed text must never become a fourth entry: the card knows only these three.
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->addItems(stopEvents);
    combo->setCurrentIndex(0);
    combo->setGeometry(left + 28, top, 61, 18);
    connect(combo, &QComboBox::activated, this, [this, combo] { cboLSxChange(combo); });
    connect(combo->lineEdit(), &QLineEdit::editingFinished, this,
            [this, combo] { RestoreStopEventText(combo); });

    LumiLSList[static_cast<std::size_t>(i)] = lamp;
    cboLSList[static_cast<std::size_t>(i)] = combo;
  }

  pnlR1 = BuildThrottlePanel(1, "pnlR1", "lblR1", lblR1, ledGBM1, Speedi1);
  Panel3 = BuildThrottlePanel(2, "Panel3", "Label4", Label4, ledGBM2, Speedi2);
  Panel4 = BuildThrottlePanel(3, "Panel4", "Label5", Label5, ledGBM3, Speedi3);
  Panel5 = BuildThrottlePanel(4, "Panel5", "Label6", Label6, ledGBM4, Speedi4);
  FSpeedis = {Speedi1, Speedi2, Speedi3, Speedi4};
  FGBMLamps = {ledGBM1, ledGBM2, ledGBM3, ledGBM4};
  FFRLabels = {lblR1, Label4, Label5, Label6};
}

QFrame* TfrmHDX01::BuildThrottlePanel(int nr, const char* panelName, const char* labelName,
                                      QLabel*& label, TLumi*& lamp, TSpeedi*& speedi) {
  QFrame* panel = MakePanel(TabSheet1, panelName, QRect(4, 133 + (nr - 1) * 55, 263, 53));

  label = new QLabel(QStringLiteral("FR%1").arg(nr), panel);
  label->setObjectName(QString::fromLatin1(labelName));
  label->setProperty("Tag", nr);
  label->setGeometry(10, 18, 26, 17);
  label->installEventFilter(this);

  lamp = new TLumi(panel);
  lamp->setObjectName(QStringLiteral("ledGBM%1").arg(nr));
  lamp->setProperty("Tag", nr);
  lamp->setGeometry(38, 17, 12, 18);
  lamp->SetLEDEin(false);
  lamp->SetLEDFarbeEin(clRed);
  lamp->SetLEDFarbeAus(clLime);
  lamp->SetLEDStyle(TLumi::stRoundRect);
  lamp->SetLEDDirection(TLumi::ledVertical);
  lamp->setToolTip(tr("GBM (Gleis Besetzt Melder)"));

  speedi = new TSpeedi(panel);
  speedi->setObjectName(QStringLiteral("Speedi%1").arg(nr));
  speedi->setAccessibleName(speedi->accessibleName() + " " + label->text());
  speedi->setProperty("Tag", nr);
  speedi->SetButtonStatus(TSpeedi::BtnStop);
  speedi->SetSpeedMin(0);
  speedi->SetSpeedMax(31);
  speedi->SetSpeedSym(false);
  speedi->SetSpeed(0);
  speedi->move(64, 14);
  connect(speedi, &TSpeedi::OnBtnNrClick, this,
          [this](QObject* sender, int btnNr) { SpeediBtnNrClick(sender, btnNr); });
  connect(speedi, &TSpeedi::OnChange, this, [this](QObject* sender) { SpeediChange(sender); });
  return panel;
}

void TfrmHDX01::BuildSettingsPage() {
  GroupBox1 = new QGroupBox(tr(" Zuordnung LS-FR "), TabSheet2);
  GroupBox1->setObjectName(QStringLiteral("GroupBox1"));

  QFont bold = font();
  bold.setBold(true);
  const QStringList throttles{tr("1. Fahrregler"), tr("2. Fahrregler"), tr("3. Fahrregler"),
                              tr("4. Fahrregler")};
  for (int i = 0; i < kLightBarriers; ++i) {
    const int nr = i + 1;
    auto* label = new QLabel(QStringLiteral("LS%1 ").arg(nr), GroupBox1);
    label->setObjectName(QStringLiteral("lblZLS%1").arg(nr));
    label->setProperty("Tag", nr);
    label->setFont(bold);

    auto* combo = new QComboBox(GroupBox1);
    combo->setObjectName(QStringLiteral("cboZLS%1").arg(nr));
    label->setBuddy(combo);
    combo->setProperty("Tag", nr);
    combo->addItems(throttles);
    // Two light barriers per throttle until the card or a file says otherwise.
    combo->setCurrentIndex(i / 2);
    cboZLSList[static_cast<std::size_t>(i)] = combo;
  }

  // 89 pixels hold "4. Fahrregler" only in narrow fonts: the lists grow to show their entries
  // whole, and the columns with them.
  const int labelWidth = 30;
  const int comboWidth = std::max(89, cboZLSList[0]->sizeHint().width());
  const int columnWidth = labelWidth + comboWidth;
  for (int i = 0; i < kLightBarriers; ++i) {
    const int left = 6 + (i < 4 ? 0 : columnWidth + 8);
    const int top = 24 + (i % 4) * 26;
    QComboBox* combo = cboZLSList[static_cast<std::size_t>(i)];
    GroupBox1->findChild<QLabel*>(QStringLiteral("lblZLS%1").arg(i + 1))
        ->setGeometry(left, top + 2, labelWidth, 17);
    combo->setGeometry(left + labelWidth, top, comboWidth, 21);
  }
  GroupBox1->setGeometry(4, 4, std::max(263, 2 * columnWidth + 20), 136);

  auto addButton = [this](const char* name, const QString& caption, int column, int row) {
    auto* button = new QPushButton(caption, TabSheet2);
    button->setObjectName(QString::fromLatin1(name));
    const int width = 110;
    const int gap = 10;
    const int left = 4 + (GroupBox1->width() - 2 * width - gap) / 2 + column * (width + gap);
    button->setGeometry(left, 150 + row * 32, width, 25);
    return button;
  };
  btnLSZ_LoadFile = addButton("btnLSZ_LoadFile", tr("Load File"), 0, 0);
  btnLSZ_SaveFile = addButton("btnLSZ_SaveFile", tr("Save File"), 1, 0);
  btnLSZ_LoadEEPROM = addButton("btnLSZ_LoadEEPROM", tr("Load EEPROM"), 0, 1);
  btnLSZ_SaveEEPROM = addButton("btnLSZ_SaveEEPROM", tr("SaveEEPROM"), 1, 1);
  connect(btnLSZ_LoadFile, &QPushButton::clicked, this, [this] { btnLSZ_LoadFileClick(); });
  connect(btnLSZ_SaveFile, &QPushButton::clicked, this, [this] { btnLSZ_SaveFileClick(); });
  connect(btnLSZ_LoadEEPROM, &QPushButton::clicked, this, [this] { btnLSZ_LoadEEPROMClick(); });
  connect(btnLSZ_SaveEEPROM, &QPushButton::clicked, this, [this] { btnLSZ_SaveEEPROMClick(); });
}

void TfrmHDX01::SetModul(TBaseModul* modul) {
  if (FHDX && FHDX != modul) UnhookEvents();
  TfrmModulBase::SetModul(modul);
  FHDX = dynamic_cast<THDX01*>(modul);
  FollowAktiv();
  if (!FHDX) return;
  FHDX->OnSpeedChanged = [this](TBaseModul*) { QueueRefresh(rfSpeed); };
  FHDX->OnGBMChanged = [this](TBaseModul*) { QueueRefresh(rfGBM); };
  FHDX->OnLSChanged = [this](TBaseModul*) { QueueRefresh(rfLS); };
  FHDX->OnSettingsChanged = [this](TBaseModul*) { QueueRefresh(rfSettings); };
  // The card reports only changes: a module that is already live would otherwise leave the
  // window showing its creation values until something changes on the card.
  ModulSpeedChanged();
  ModulGBMChanged();
  ModulLSChaged();
  ModulSettingsChanged();
}

void TfrmHDX01::DetachModul() {
  UnhookEvents();
  FHDX = nullptr;
  FPendingParts = 0;
  TimerOutput->stop();
  TfrmModulBase::DetachModul();
}

void TfrmHDX01::UnhookEvents() {
  if (!FHDX) return;
  FHDX->OnSpeedChanged = nullptr;
  FHDX->OnGBMChanged = nullptr;
  FHDX->OnLSChanged = nullptr;
  FHDX->OnSettingsChanged = nullptr;
}

void TfrmHDX01::QueueRefresh(uint8_t parts) {
  FPendingParts |= parts;
  if (FRefreshQueued) return;
  FRefreshQueued = true;
  QMetaObject::invokeMethod(
      this, [this] { RunQueuedRefresh(); }, Qt::QueuedConnection);
}

void TfrmHDX01::RunQueuedRefresh() {
  FRefreshQueued = false;
  const uint8_t parts = FPendingParts;
  FPendingParts = 0;
  if (!FHDX) return;
  if (parts & rfSpeed) ModulSpeedChanged();
  if (parts & rfGBM) ModulGBMChanged();
  if (parts & rfLS) ModulLSChaged();
  if (parts & rfSettings) ModulSettingsChanged();
}

std::string TfrmHDX01::DefaultAssignmentDir() {
  const std::string program = ExcludeTrailingBackslash(ProgramDir());
  const QFileInfo programInfo(QString::fromStdString(program));
  if (programInfo.isDir() && programInfo.isWritable() && !IsInstalledProgramDir(program))
    return program;
  const std::string modelParent = ExtractFileDir(DefaultModellDir());
  if (!modelParent.empty() && modelParent != program) return modelParent;
  return ExcludeTrailingBackslash(
      QStandardPaths::writableLocation(QStandardPaths::AppDataLocation).toStdString());
}

std::string TfrmHDX01::AssignmentDir() const {
  return FAssignmentDir.empty() ? DefaultAssignmentDir() : FAssignmentDir;
}

std::string TfrmHDX01::AssignmentFileName() const {
  if (!Modul()) return std::string();
  return IncludeTrailingBackslash(AssignmentDir()) + "HDX01_" + IntToHexText(Modul()->Adresse, 2) +
         ".ini";
}

void TfrmHDX01::ModulSpeedChanged() {
  if (!FHDX) return;
  const QWidget* focus = QApplication::focusWidget();
  for (int j = 0; j < kThrottles; ++j) {
    TSpeedi* speedi = SpeediAt(j);
    // Never overwrite what the user is typing or dragging. The control itself holding the focus
    // (keys choose a direction there) is no such case.
    if (focus && focus != speedi && speedi->isAncestorOf(focus)) continue;
    const auto k = static_cast<std::size_t>(j);
    speedi->SetSpeed(FHDX->Fahrstufe[k]);
    const int richtung = FHDX->Richtung[k];
    speedi->SetButtonStatus(
        richtung == TSpeedi::BtnRueck || richtung == TSpeedi::BtnVor ? richtung : TSpeedi::BtnStop);
  }
}

void TfrmHDX01::ModulGBMChanged() {
  if (!FHDX) return;
  for (int j = 0; j < kThrottles; ++j)
    GBMLampAt(j)->SetLEDEin((FHDX->GBM >> j) & 1);
}

void TfrmHDX01::ModulLSChaged() {
  if (!FHDX) return;
  const QWidget* focus = QApplication::focusWidget();
  for (int i = 0; i < kLightBarriers; ++i) {
    const auto k = static_cast<std::size_t>(i);
    LumiLSList[k]->SetLEDEin((FHDX->Sensoren >> i) & 1);
    // The module asks the card for its stop events when it goes live; a list left at its first
    // entry would claim "AUS" for a light barrier that stops trains. A list the user is typing
    // in keeps its text.
    QComboBox* combo = cboLSList[k];
    const int index = FHDX->SensorStop[k];
    if (focus && (focus == combo || combo->isAncestorOf(focus))) continue;
    if (index >= 0 && index < combo->count() && index != combo->currentIndex())
      combo->setCurrentIndex(index);
  }
}

void TfrmHDX01::ModulSettingsChanged() {
  if (!FHDX) return;
  for (std::size_t i = 0; i < cboZLSList.size(); ++i) {
    const int zuord = FHDX->SenZuord[i];
    if (zuord >= 1 && zuord <= kThrottles) cboZLSList[i]->setCurrentIndex(zuord - 1);
  }
}

int TfrmHDX01::Tag(const QObject* control) {
  return control ? control->property("Tag").toInt() : 0;
}

bool TfrmHDX01::IsThrottleControl(const QObject* control) const {
  for (const TSpeedi* speedi : FSpeedis)
    if (speedi == control) return true;
  return false;
}

void TfrmHDX01::SpeediBtnNrClick(QObject* sender, int) {
  if (!FHDX || !IsThrottleControl(sender) || !chbGouped->isChecked()) return;
  const int status = static_cast<TSpeedi*>(sender)->ButtonStatus();
  for (TSpeedi* speedi : FSpeedis)
    if (Tag(speedi) != Tag(sender)) speedi->SetButtonStatus(status);
}

void TfrmHDX01::SpeediChange(QObject* sender) {
  if (!FHDX || !IsThrottleControl(sender) || !chbGouped->isChecked()) return;
  const int speed = static_cast<TSpeedi*>(sender)->Speed();
  for (TSpeedi* speedi : FSpeedis)
    if (Tag(speedi) != Tag(sender)) speedi->SetSpeed(speed);
}

void TfrmHDX01::TimerOutputTimer() {
  if (!FHDX) return;
  // A card report still waiting for its redraw must reach the display first, or the
  // comparison below would send the old display back over it.
  if (FPendingParts & rfSpeed) {
    FPendingParts &= static_cast<uint8_t>(~rfSpeed);
    ModulSpeedChanged();
  }
  std::array<int, kThrottles> status{};
  for (int j = 0; j < kThrottles; ++j)
    status[static_cast<std::size_t>(j)] = SpeediAt(j)->ButtonStatus();
  for (int j = 0; j < kThrottles; ++j) {
    const auto k = static_cast<std::size_t>(j);
    const int speed = SpeediAt(j)->Speed();
    if (FHDX->Fahrstufe[k] != speed || FHDX->Richtung[k] != status[k])
      FHDX->SetThrottle(j, speed, status[k]);
  }
}

void TfrmHDX01::lblFRxClick(QObject*) {
  if (FHDX) FHDX->RequestGBM();
}

void TfrmHDX01::cboLSxChange(QObject* sender) {
  auto* combo = qobject_cast<QComboBox*>(sender);
  const int n = Tag(sender);
  if (!FHDX || !combo || n < 1 || n > kLightBarriers || combo->currentIndex() < 0) return;
  const int index = THDX01::SensorStopIndex(combo->itemText(combo->currentIndex()).toStdString());
  FHDX->SetSensorStop(n - 1, index);
}

void TfrmHDX01::RestoreStopEventText(QComboBox* combo) {
  if (combo->findText(combo->currentText(), Qt::MatchFixedString) >= 0) return;
  if (combo->currentIndex() >= 0) combo->setEditText(combo->itemText(combo->currentIndex()));
}

void TfrmHDX01::btnLSZ_LoadEEPROMClick() {
  // A second click while the first still waits would only stack a second wait.
  if (!FHDX || FLoadingEEPROM) return;
  for (int i = 0; i < kLightBarriers; ++i)
    FHDX->RequestSenZuord(i);
  FLoadingEEPROM = true;
  const QPointer<TfrmHDX01> self(this);
  WaitWithMessages(LoadEEPROMWait);
  if (!self) return;
  FLoadingEEPROM = false;
  // The module may have gone from the model while the window waited.
  if (!FHDX) return;
  for (std::size_t i = 0; i < cboZLSList.size(); ++i) {
    const int zuord = FHDX->SenZuord[i];
    if (zuord >= 1 && zuord <= kThrottles) cboZLSList[i]->setCurrentIndex(zuord - 1);
  }
}

void TfrmHDX01::btnLSZ_SaveEEPROMClick() {
  if (!FHDX) return;
  for (int i = 0; i < kLightBarriers; ++i) {
    const int t = cboZLSList[static_cast<std::size_t>(i)]->currentIndex();
    if (t >= 0) FHDX->WriteSenZuord(i, t);
  }
}

void TfrmHDX01::btnLSZ_SaveFileClick() {
  if (!FHDX) return;
  const std::string fileName = AssignmentFileName();
  try {
    TIniFile ini;
    std::string error;
    // Other sections of the file survive the rewrite, so a file that cannot be read is not
    // overwritten.
    if (!ini.LoadFromFile(fileName, &error))
      throw std::runtime_error(
          tr("Datei %1 kann nicht gelesen werden: %2")
              .arg(QString::fromStdString(fileName), QString::fromStdString(error))
              .toStdString());
    for (int n = 1; n <= kLightBarriers; ++n)
      ini.WriteInteger(kZuordSection, LSKey(n),
                       cboZLSList[static_cast<std::size_t>(n - 1)]->currentIndex() + 1);
    const std::string dir = ExtractFileDir(fileName);
    if (!dir.empty() && !DirectoryExists(dir)) ForceDirectories(dir);
    ini.SaveToFile(fileName);
  } catch (const std::exception& e) {
    ReportMessage(std::string("TfrmHDX01.btnLSZ_SaveFileClick: ") + e.what());
  }
}

void TfrmHDX01::btnLSZ_LoadFileClick() {
  if (!FHDX) return;
  const std::string fileName = AssignmentFileName();
  if (!FileExists(fileName)) {
    ShowNotice(tr("Can not Open File: %1").arg(QString::fromStdString(fileName)).toStdString());
    return;
  }
  TIniFile ini;
  std::string error;
  if (!ini.LoadFromFile(fileName, &error)) {
    ShowNotice(tr("Can not Open File: %1: %2")
                   .arg(QString::fromStdString(fileName), QString::fromStdString(error))
                   .toStdString());
    return;
  }
  for (int n = 1; n <= kLightBarriers; ++n) {
    const int64_t value = ini.ReadInteger(kZuordSection, LSKey(n), -1);
    // There are four throttles: any other number is no assignment this window can show.
    if (value >= 1 && value <= kThrottles)
      cboZLSList[static_cast<std::size_t>(n - 1)]->setCurrentIndex(static_cast<int>(value - 1));
  }
}

void TfrmHDX01::AktivClickExtra() {
  FollowAktiv();
}

void TfrmHDX01::ModulDataChanged() {
  FollowAktiv();
}

void TfrmHDX01::FollowAktiv() {
  if (FHDX && FHDX->Aktiv) {
    if (!TimerOutput->isActive()) TimerOutput->start();
  } else {
    TimerOutput->stop();
  }
}

bool TfrmHDX01::eventFilter(QObject* watched, QEvent* e) {
  if (e->type() == QEvent::MouseButtonRelease) {
    for (QLabel* label : FFRLabels) {
      if (watched != label) continue;
      const auto* mouse = static_cast<QMouseEvent*>(e);
      if (mouse->button() == Qt::LeftButton && label->rect().contains(mouse->position().toPoint()))
        lblFRxClick(label);
      break;
    }
  }
  return TfrmModulBase::eventFilter(watched, e);
}
