#include "report/dialog_host.h"

#include <vector>

#include "core/variant.h"
#include "report/dialog_controls.h"
#include "report/dialog_events.h"
#include "report/engine_links.h"
#include "report/pages.h"
#include "report/report.h"

namespace lgoty::report {

bool RunDialogs(TfrxReport& report) {
  std::vector<core::Variant> args{core::Variant(true)};
  if (report.CallScriptProcedure(report.on_run_dialogs, args)) {
    return !args.empty() && args[0].AsBoolean();
  }
  for (int i = 0; i < report.ObjectCount(); ++i) {
    auto* page = dynamic_cast<TfrxDialogPage*>(report.Object(i));
    if (!page || !page->Visible() || page->Controls().empty()) continue;
    if (page->ShowModal() == mrCancel) return false;
  }
  return true;
}

bool engine_links::ShowDialogs(TfrxReport& report) { return RunDialogs(report); }

int TfrxDialogPage::ShowModal() {
  TfrxReport* report = Report();
  DialogHost* host = report ? report->GetDialogHost() : nullptr;
  if (!host) throw EDialogError("No window to show the dialog " + Name() + " in");
  SetModalResult(host->ShowModal(*this));
  return ModalResult();
}

std::vector<TfrxDialogControl*> TfrxDialogPage::Controls() const {
  std::vector<TfrxDialogControl*> controls;
  for (int i = 0; i < ObjectCount(); ++i) {
    if (auto* control = dynamic_cast<TfrxDialogControl*>(Object(i))) controls.push_back(control);
  }
  return controls;
}

TfrxDialogControl* TfrxDialogPage::ActiveControl() const { return active_control_.Get(); }

void TfrxDialogPage::SetActiveControl(TfrxDialogControl* control) {
  active_control_.Set(control);
}

void TfrxDialogControl::SetFocus() {
  if (auto* page = dynamic_cast<TfrxDialogPage*>(Page())) page->SetActiveControl(this);
}

}  // namespace lgoty::report
