// Building the preview's report again from its template (page settings for all pages):
// the same run as when the report is first shown, inside the preview's working state.
#include <exception>
#include <string>

#include "report/dialog_host.h"
#include "report/prepared_pages.h"
#include "report/report.h"
#include "ui/preview.h"
#include "ui/preview_report_ui.h"
#include "ui/preview_workspace.h"
#include "ui/qt_dialog_host.h"

namespace lgoty::ui {

namespace {

// For the run: dialog pages over the preview when the host installed no dialog host, and
// the errors kept on the list (the preview shows them) rather than shown or thrown by the
// run itself. Both are put back however the run ends.
class RunSettings {
 public:
  RunSettings(report::TfrxReport& report, QWidget* dialog_parent)
      : report_(report),
        host_(dialog_parent),
        previous_host_(report.GetDialogHost()),
        silent_mode_(report.engine_options.new_silent_mode) {
    if (!previous_host_) report.SetDialogHost(&host_);
    report.engine_options.new_silent_mode = report::TfrxSilentMode::simSilent;
  }
  ~RunSettings() {
    if (!previous_host_) report_.SetDialogHost(nullptr);
    report_.engine_options.new_silent_mode = silent_mode_;
  }
  RunSettings(const RunSettings&) = delete;
  RunSettings& operator=(const RunSettings&) = delete;

 private:
  report::TfrxReport& report_;
  QtDialogHost host_;
  report::DialogHost* previous_host_;
  report::TfrxSilentMode silent_mode_;
};

}  // namespace

bool TfrxPreview::BuildAgain() {
  if (working_ || !report_ || !document_) return false;
  BeginWork();
  // The run starts from an empty store; the view must not keep the former pages' sizes
  // or images for the new pages of the same numbers.
  report_->PreviewPages().Clear();
  ForgetFoundText();
  workspace_->Reload();
  thumbnails_->Reload();
  // Nor the navigator and status bar the former count while the dialog pages are up.
  page_no_ = 1;
  EmitStatus();
  emit pageChanged(page_no_, PageCount());

  bool built = false;
  std::string failure;
  try {
    RunSettings settings(*report_, this);
    PreviewReportUserInterface user_interface(*report_, *this);
    built = report_->Prepare(true);
  } catch (const std::exception& error) {
    failure = error.what();
  } catch (...) {
    failure = "unknown error";
  }
  if (failure.empty()) failure = JoinedErrors(*report_);
  // The engine ends a run the operator cancelled as a finished one (the pages made so far
  // stand as the report): here they would be a part of the report in the new settings,
  // with unfinished totals, so a cancel undoes the change like a cancelled dialog page.
  const bool stands = built && failure.empty() && !terminated_;
  if (!stands) {
    // A failed or cancelled run leaves a part of the new pages at most: the former pages
    // and template settings come back so that what is shown is what the template built.
    try {
      document_->RestoreTemplatePageSetup();
    } catch (const std::exception& error) {
      if (failure.empty()) failure = error.what();
    }
  }
  EndWork();
  if (!failure.empty()) {
    // Shown here; the list must not report it again once the window has closed.
    report_->Errors().Clear();
    Message(QString::fromStdString(failure));
  }
  return stands;
}

}  // namespace lgoty::ui
