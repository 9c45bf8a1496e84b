#include "model/workflow_guard.h"

#include <map>

#include "bus/bus_interface.h"

struct TWorkflowGuard::TState {
  TText Name;
  bool Cancelled = false;
};

namespace {

// Main thread only, as the workflows are.
std::map<const TRS485IFC*, std::shared_ptr<TWorkflowGuard::TState>>& Running() {
  static std::map<const TRS485IFC*, std::shared_ptr<TWorkflowGuard::TState>> running;
  return running;
}

}  // namespace

TWorkflowGuard::TWorkflowGuard(const TRS485IFC* ifc, TText name) : FIfc(ifc) {
  if (!ifc || Running().count(ifc) > 0) return;
  FState = std::make_shared<TState>();
  FState->Name = std::move(name);
  Running()[ifc] = FState;
}

TWorkflowGuard::~TWorkflowGuard() {
  if (!FState) return;
  auto it = Running().find(FIfc);
  if (it != Running().end() && it->second == FState) Running().erase(it);
}

bool TWorkflowGuard::Cancelled() const {
  return FState && FState->Cancelled;
}

std::string TWorkflowGuard::BusyWith(const TRS485IFC* ifc) {
  auto it = Running().find(ifc);
  return it == Running().end() ? std::string() : it->second->Name.Shown();
}

bool TWorkflowGuard::AnyBusy() {
  return !Running().empty();
}

void TWorkflowGuard::CancelAll() {
  for (auto& [ifc, state] : Running())
    state->Cancelled = true;
}

TText TWorkflowGuard::BusyMessage(const TRS485IFC* ifc) {
  const std::string number = ifc ? std::to_string(ifc->IfcNumber()) : std::string("?");
  TText text = TrText("TWorkflowGuard", "IFC(%1) ist beschäftigt: %2 läuft noch. ");
  text.Arg(number);
  auto it = Running().find(ifc);
  if (it != Running().end())
    text.Arg(it->second->Name);
  else
    text.Arg(std::string());
  return text;
}
