#include "ui/preview_report_ui.h"

namespace lgoty::ui {

PreviewReportUserInterface::PreviewReportUserInterface(report::TfrxReport& report,
                                                       TfrxPreview& preview)
    : report_(report), preview_(preview), previous_(report.UserInterface()) {
  report_.SetUserInterface(this);
}

PreviewReportUserInterface::~PreviewReportUserInterface() {
  report_.SetUserInterface(previous_);
}

void PreviewReportUserInterface::ShowErrorMessage(const std::string& caption,
                                                  const std::string& text) {
  if (previous_) previous_->ShowErrorMessage(caption, text);
}

bool PreviewReportUserInterface::AskPassword(std::string& password) {
  return previous_ && previous_->AskPassword(password);
}

void PreviewReportUserInterface::ReportProgress(bool first_pass, int page_number) {
  preview_.PageAdded(page_number, first_pass);
}

bool PreviewReportUserInterface::ProgressCancelled() { return preview_.Terminated(); }

std::string JoinedErrors(report::TfrxReport& report) {
  std::string text;
  for (int i = 0; i < report.Errors().Count(); ++i) {
    if (i > 0) text += '\n';
    text += report.Errors()[i];
  }
  return text;
}

}  // namespace lgoty::ui
