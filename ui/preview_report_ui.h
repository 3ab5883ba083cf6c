// Connects a running report to a preview in its working state: the engine's page notices
// reach TfrxPreview::PageAdded (which shows the pages and processes window messages), and
// the preview's cancel stops the run. Messages and passwords go to the interface the host
// had installed before, if any.
#pragma once

#include <string>

#include "report/report.h"
#include "ui/preview.h"

namespace lgoty::ui {

class PreviewReportUserInterface : public report::ReportUserInterface {
 public:
  // Installs itself on the report for its lifetime and puts the previous interface back
  // afterwards. The report and the preview must outlive it.
  PreviewReportUserInterface(report::TfrxReport& report, TfrxPreview& preview);
  ~PreviewReportUserInterface() override;
  PreviewReportUserInterface(const PreviewReportUserInterface&) = delete;
  PreviewReportUserInterface& operator=(const PreviewReportUserInterface&) = delete;

  void ShowErrorMessage(const std::string& caption, const std::string& text) override;
  bool AskPassword(std::string& password) override;
  void ReportProgress(bool first_pass, int page_number) override;
  bool ProgressCancelled() override;

 private:
  report::TfrxReport& report_;
  TfrxPreview& preview_;
  report::ReportUserInterface* previous_;
};

// The report's error list as one text, a line per error (no final line break).
std::string JoinedErrors(report::TfrxReport& report);

}  // namespace lgoty::ui
