#include "ui/modules/module_forms.h"

#include <string>

#include "modules/base_modul.h"
#include "support/conversions.h"
#include "ui/modules/frm_dummy.h"
#include "ui/modules/frm_hdx01.h"
#include "ui/modules/frm_ifc485.h"
#include "ui/modules/frm_mxb01.h"
#include "ui/modules/frm_mxb02.h"
#include "ui/modules/modul_form.h"

namespace {

TfrmModulBase* CreateFormForClass(const std::string& className) {
  // >>> THDX01: the throttle window's line goes here, first in the table.
  if (className == "THDX01") return new TfrmHDX01;
  // <<< THDX01
  if (className == "TMXB01") return new TfrmMXB01;
  if (className == "TMXB02") return new TfrmMXB02;
  if (className == "TIFCPORTS") return new TfrmIFC485;
  if (className.size() >= 2 && className[0] == 'T') return new TfrmDummy;
  return nullptr;
}

}  // namespace

TfrmModulBase* CreateModulFormFor(TBaseModul* modul) {
  if (!modul) return nullptr;
  TfrmModulBase* form = CreateFormForClass(UpperCase(Trim(modul->ClassName())));
  if (form) form->SetModul(modul);
  return form;
}
