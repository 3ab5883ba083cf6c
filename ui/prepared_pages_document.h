// The prepared pages of a report as the preview's document. The pages are read from the
// report's store on every call, so pages added while the report is being built show up at
// once (the preview's working state), and a loaded .fp3 replaces them.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ui/preview_document.h"

namespace lgoty::report {
class TfrxReport;
}

namespace lgoty::ui {

class PreparedPagesDocument : public PreviewDocument {
 public:
  // The report must outlive the document.
  explicit PreparedPagesDocument(report::TfrxReport& report);
  ~PreparedPagesDocument() override;

  int PageCount() override;
  QSize PageSize(int index) override;
  void DrawPage(int index, QPainter& painter, double zoom, QPointF offset) override;
  std::vector<PreviewTextRun> PageTexts(int index) override;
  std::vector<PreviewOutlineNode> Outline() override;
  int AnchorPage(const std::string& anchor) override;
  void SaveToFile(const std::string& path) override;
  bool LoadFromFile(const std::string& path) override;
  report::PrintPageSource* PrintSource() override;
  // Paper and margins of a page; a change is stored in the page (every page with
  // all_pages), the objects keep their places.
  bool GetPageSetup(int index, PageSetup& setup) override;
  void SetPageSetup(int index, const PageSetup& setup) override;
  // The template's report pages take the settings; their former settings and the prepared
  // pages are kept until the next call for RestoreTemplatePageSetup.
  bool SetTemplatePageSetup(const PageSetup& setup) override;
  void RestoreTemplatePageSetup() override;

 private:
  class PrintSourceImpl;
  report::TfrxReport& report_;
  std::unique_ptr<PrintSourceImpl> print_source_;
  // The pages came from a prepared-report file, not from a run of the template.
  bool loaded_from_file_ = false;
  // What SetTemplatePageSetup replaced: the settings of the template's report pages in
  // their order (the pages themselves may be other objects after a run that reloads the
  // template) and the prepared pages as a stored prepared report.
  std::vector<PageSetup> template_backup_;
  std::string pages_backup_;
};

}  // namespace lgoty::ui
