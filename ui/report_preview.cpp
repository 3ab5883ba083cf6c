#include "ui/report_preview.h"

#include <exception>
#include <string>

#include <QTimer>

#include "core/exception.h"
#include "report/dialog_host.h"
#include "report/prepared_pages.h"
#include "report/report.h"
#include "ui/prepared_pages_document.h"
#include "ui/preview.h"
#include "ui/preview_form.h"
#include "ui/preview_report_ui.h"
#include "ui/qt_dialog_host.h"

namespace lgoty::ui {

namespace {

// Puts the report's dialog host back however the run ends.
class DialogHostSwap {
 public:
  DialogHostSwap(report::TfrxReport& report, report::DialogHost* host)
      : report_(report), previous_(report.GetDialogHost()) {
    report.SetDialogHost(host);
  }
  ~DialogHostSwap() { report_.SetDialogHost(previous_); }
  DialogHostSwap(const DialogHostSwap&) = delete;
  DialogHostSwap& operator=(const DialogHostSwap&) = delete;

 private:
  report::TfrxReport& report_;
  report::DialogHost* previous_;
};

}  // namespace

void ShowReport(report::TfrxReport& report, QWidget* parent) {
  PreparedPagesDocument document(report);
  TfrxPreviewForm form(parent);
  form.Init(&report, &document);
  // The dialogs belong to the preview, which is already on screen while they are shown: with
  // the program's window as their owner, the window manager raised that window over the
  // preview along with them.
  QtDialogHost host(&form);
  DialogHostSwap swap(report, &host);

  std::exception_ptr failure;
  form.ShowModal([&](TfrxPreview& preview) {
    bool close_now = false;
    // The build runs inside the window's event loop: nothing may escape into it.
    try {
      PreviewReportUserInterface user_interface(report, preview);
      const bool prepared = report.Prepare(true);
      close_now = !prepared && report.PreviewPages().Count() == 0;
    } catch (...) {
      failure = std::current_exception();
      close_now = true;
    }
    // Closed once the preview has left its working state (after this callback returns).
    if (close_now) QTimer::singleShot(0, &form, [&form] { form.reject(); });
  });

  if (failure) std::rethrow_exception(failure);
  if (report.Errors().Count() > 0) throw core::Exception(JoinedErrors(report));
}

}  // namespace lgoty::ui
