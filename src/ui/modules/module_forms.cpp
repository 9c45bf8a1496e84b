#include "ui/modules/module_forms.h"

#include "ui/modules/modul_form.h"

TfrmModulBase* CreateModulFormFor(TBaseModul*) {
  return nullptr;
}
