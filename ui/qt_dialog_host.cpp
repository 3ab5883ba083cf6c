#include "ui/qt_dialog_host.h"

#include "report/dialog_session.h"
#include "ui/dialog_form.h"

namespace lgoty::ui {

int QtDialogHost::ShowModal(report::TfrxDialogPage& page) {
  report::DialogSession session(page);
  DialogForm form(session, parent_.data());
  if (on_created_) on_created_(form);
  return form.Run();
}

}  // namespace lgoty::ui
