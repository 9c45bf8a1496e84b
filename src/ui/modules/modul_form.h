#pragma once
// The frame every module property window shares: the bound module, the update lock, the address
// line and the "Aktiv" and "Polling" boxes, activation refresh, and a refresh that runs once per
// event-loop pass however many changes the module reports.

#include <QWidget>
#include <cstdint>

#include "model/moduls_list.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QStatusBar;
class QTabWidget;
class TBaseModul;

class TBtnKette;
class TLumiKette;

// A row of `count` lamps, `width` wide, holding as many numbered buttons, button n under lamp n,
// at (8, top).
TLumiKette* MakeLampRow(QWidget* parent, const char* name, const QColor& on, int count, int top,
                        int width, TBtnKette*& buttons, const char* buttonsName);

class TfrmModulBase : public QWidget, public TModulForm {
  Q_OBJECT

 public:
  // A top-level window of its own (own task-bar entry; it may lie behind the main window). The
  // main window owns it and frees it; closing only hides it.
  TfrmModulBase();
  ~TfrmModulBase() override;

  // Binds the window to its module (none allowed) and registers the window as the module's
  // change handler.
  virtual void SetModul(TBaseModul* modul);
  TBaseModul* Modul() const { return FModul; }

  // TModulForm
  void CloseForm() override { hide(); }
  void DetachModul() override;

  void BeginUpdate() { ++FUpdateLock; }
  void EndUpdate() {
    if (FUpdateLock > 0) --FUpdateLock;
  }
  bool Updating() const { return FUpdateLock > 0; }

  // What happens when the window becomes the active window. Public so that tests can run it.
  virtual void FormActivate();
  // Refreshes the displays from the module now.
  virtual void ModulDataChanged() {}
  // Whether a refresh is waiting for the next event-loop pass.
  bool RefreshPending() const { return FRefreshPending; }

  // The common controls. Windows place them; the frame creates them.
  QLabel* Label1;
  QLineEdit* edAdresse;
  QCheckBox* chbAktiv;
  QCheckBox* chbPolling;
  QStatusBar* StatusBar1;

 protected:
  // Handlers of the two boxes; react only to the user, never while updating.
  virtual void chbAktivClick();
  virtual void chbPollingClick();
  // Window-specific additions of the activation refresh (inside the update lock) and of the
  // "Aktiv" click (after the box shows the module's flag).
  virtual void FormActivateExtra() {}
  virtual void AktivClickExtra() {}
  // Asks for one ModulDataChanged in the next event-loop pass.
  void ScheduleRefresh();
  // Writes the module's address into edAdresse.
  void ShowAddress();
  // A status bar with `panels` empty panels of 50 pixels.
  void SetupStatusBar(int panels);
  // Sizes the window so that, with a usual frame and title bar around it, it takes the outer
  // size its layout was drawn for.
  void SetOuterSize(int width, int height);
  // Queues the module's state request ("?" + address + "200000") with the module's answer
  // handler, whether the module is live or not; the bus master refuses it while disconnected.
  void RequestModulState();
  // The pages "Aktion" and "Einstellung" that every window but the type-1 card's has.
  QTabWidget* CreatePages(QWidget*& action, QWidget*& settings);
  // "Adresse: " with its box at the top left of `parent`, then "Aktiv" and "Polling " below.
  void PlaceAddressLine(QWidget* parent);

  bool event(QEvent* e) override;

 private:
  TBaseModul* FModul = nullptr;
  int FUpdateLock = 0;
  bool FRefreshPending = false;
};
