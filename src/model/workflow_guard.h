#pragma once
// One workflow at a time per interface. The module search and the address change wait for
// answers while the window stays usable, so the user can ask for a second one meanwhile; two on
// the same bus would mix their answers. The guard also lets the window call running workflows
// off before it takes the model apart.

#include <memory>
#include <string>

#include "support/texts.h"

class TRS485IFC;

class TWorkflowGuard {
 public:
  // Marks the interface busy with the named workflow, unless another one holds it already.
  TWorkflowGuard(const TRS485IFC* ifc, TText name);
  // A name that reads the same in every language.
  TWorkflowGuard(const TRS485IFC* ifc, const std::string& name)
      : TWorkflowGuard(ifc, TText::Plain(name)) {}
  ~TWorkflowGuard();
  TWorkflowGuard(const TWorkflowGuard&) = delete;
  TWorkflowGuard& operator=(const TWorkflowGuard&) = delete;

  bool Acquired() const { return FState != nullptr; }
  // Set once the window asked every workflow to stop: the interface may be gone already.
  bool Cancelled() const;

  // The name of the workflow running on the interface (in the user's language), or empty.
  static std::string BusyWith(const TRS485IFC* ifc);
  static bool IsBusy(const TRS485IFC* ifc) { return !BusyWith(ifc).empty(); }
  static bool AnyBusy();
  // Asks every running workflow to stop at its next look; they then leave the interface alone.
  static void CancelAll();

  // "IFC(n) ist beschäftigt: <name> läuft noch. "
  static TText BusyMessage(const TRS485IFC* ifc);
  // The same in the user's language.
  static std::string BusyText(const TRS485IFC* ifc) { return BusyMessage(ifc).Shown(); }

  struct TState;

 private:
  const TRS485IFC* FIfc;
  std::shared_ptr<TState> FState;
};
