#pragma once
// TfrmHDX01: the property window of the throttle card. Page "Aktion" shows the light barriers
// and the occupancy detectors live, sets each light barrier's stop event and drives the four
// throttles, alone or as a group; a timer sends what the user changed. Page "Einstellung" reads
// and writes the light-barrier assignments from and to the card and a small file.

#include <array>
#include <cstdint>
#include <string>

#include "ui/modules/modul_form.h"

class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QPushButton;
class QTimer;
class QWidget;
class THDX01;
class TLumi;
class TSpeedi;

class TfrmHDX01 : public TfrmModulBase {
  Q_OBJECT

 public:
  static constexpr int TimerOutputInterval = 200;  // ms
  static constexpr int LoadEEPROMWait = 1000;      // ms for the card's eight answers

  TfrmHDX01();
  ~TfrmHDX01() override;

  // Also registers the four throttle-card events (any other module type gets the frame only)
  // and shows the module's image at once.
  void SetModul(TBaseModul* modul) override;
  void DetachModul() override;
  // The bound module as a throttle card, or none.
  THDX01* HDX() const { return FHDX; }
  // The card's live flag may have changed (the output timer follows it).
  void ModulDataChanged() override;

  // Folder of the assignment file. By default the program's folder where it can be written,
  // else the per-user folder that also holds the default model.
  std::string AssignmentDir() const;
  void SetAssignmentDir(const std::string& dir) { FAssignmentDir = dir; }
  static std::string DefaultAssignmentDir();
  // "HDX01_" + address as two hexadecimal digits + ".ini" in AssignmentDir; empty while unbound.
  std::string AssignmentFileName() const;

  // Refreshes from the module's image, each for its part of the window.
  void ModulSpeedChanged();
  void ModulGBMChanged();
  void ModulLSChaged();
  void ModulSettingsChanged();

  // Handlers, public so that tests can run them as the controls do.
  void SpeediBtnNrClick(QObject* sender, int btnNr);
  void SpeediChange(QObject* sender);
  void TimerOutputTimer();
  void lblFRxClick(QObject* sender);
  void cboLSxChange(QObject* sender);
  void btnLSZ_LoadEEPROMClick();
  void btnLSZ_SaveEEPROMClick();
  void btnLSZ_LoadFileClick();
  void btnLSZ_SaveFileClick();

  // Throttle control and occupancy lamp of throttle j = 0 … 3.
  TSpeedi* SpeediAt(int j) const { return FSpeedis[static_cast<std::size_t>(j)]; }
  TLumi* GBMLampAt(int j) const { return FGBMLamps[static_cast<std::size_t>(j)]; }

  QWidget* TabSheet1;
  QWidget* TabSheet2;
  QFrame* Panel1;
  QCheckBox* chbGouped;
  QFrame* pnlR1;
  QFrame* Panel3;
  QFrame* Panel4;
  QFrame* Panel5;
  QLabel* lblR1;
  QLabel* Label4;
  QLabel* Label5;
  QLabel* Label6;
  TLumi* ledGBM1;
  TLumi* ledGBM2;
  TLumi* ledGBM3;
  TLumi* ledGBM4;
  TSpeedi* Speedi1;
  TSpeedi* Speedi2;
  TSpeedi* Speedi3;
  TSpeedi* Speedi4;
  QGroupBox* GroupBox1;
  QPushButton* btnLSZ_LoadFile;
  QPushButton* btnLSZ_SaveFile;
  QPushButton* btnLSZ_LoadEEPROM;
  QPushButton* btnLSZ_SaveEEPROM;
  QTimer* TimerOutput;
  QTabWidget* PageControl1;

  // The three control lists; position i belongs to light barrier i + 1.
  std::array<TLumi*, 8> LumiLSList{};
  std::array<QComboBox*, 8> cboLSList{};
  std::array<QComboBox*, 8> cboZLSList{};

 protected:
  void AktivClickExtra() override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  // Parts of the window a queued refresh still has to bring up to date.
  enum : uint8_t { rfSpeed = 1, rfGBM = 2, rfLS = 4, rfSettings = 8 };

  void BuildActionPage();
  void BuildSettingsPage();
  QFrame* BuildThrottlePanel(int nr, const char* panelName, const char* labelName, QLabel*& label,
                             TLumi*& lamp, TSpeedi*& speedi);
  void UnhookEvents();
  // The output timer runs exactly while a throttle card is bound and live, however it became
  // live: a click on "Aktiv", a model load, a text command.
  void FollowAktiv();
  // However many answers the card sends in one pass, each part is redrawn once.
  void QueueRefresh(uint8_t parts);
  void RunQueuedRefresh();
  // The number a control carries as its tag; 0 when it carries none.
  static int Tag(const QObject* control);
  bool IsThrottleControl(const QObject* control) const;
  // Text typed into a stop-event list that names none of its entries is thrown away again, so
  // the list never shows a stop event that was not sent.
  void RestoreStopEventText(QComboBox* combo);

  THDX01* FHDX = nullptr;
  std::array<TSpeedi*, 4> FSpeedis{};
  std::array<TLumi*, 4> FGBMLamps{};
  std::array<QLabel*, 4> FFRLabels{};
  std::string FAssignmentDir;
  uint8_t FPendingParts = 0;
  bool FRefreshQueued = false;
  bool FLoadingEEPROM = false;
};
