// What the preview shows: a document of pages that it can measure, draw at any zoom, search
// and navigate by outline. The preview asks for page N at a size, never for the whole report
// at once; the prepared pages of a report are the usual document (prepared_pages_document.h).
#pragma once

#include <QPainter>
#include <QRectF>
#include <QSize>
#include <QString>
#include <string>
#include <vector>

#include "report/enums.h"

namespace lgoty::report {
class PrintPageSource;
}

namespace lgoty::ui {

// One text record of a drawn page, in page pixels at zoom 1 (96 per inch).
struct PreviewTextRun {
  QString text;
  QRectF rect;
};

struct PreviewOutlineNode {
  QString text;
  int page = 0;  // 0-based
  double top = 0;  // pixels at zoom 1
  std::vector<PreviewOutlineNode> children;
};

// The paper and margins of a page, in millimetres.
struct PageSetup {
  double width = 210, height = 297;  // millimetres, as the page lies
  int paper = 9;
  report::TPrinterOrientation orientation = report::TPrinterOrientation::poPortrait;
  double left = 10, top = 10, right = 10, bottom = 10;
  bool all_pages = false;
};

class PreviewDocument {
 public:
  virtual ~PreviewDocument() = default;
  virtual int PageCount() = 0;
  // Pixels at zoom 1; an empty size for an index out of range.
  virtual QSize PageSize(int index) = 0;
  // Draws page `index` with its top-left corner at `offset` (device pixels), page pixels
  // times `zoom`. The painter is clipped to the page by the caller.
  virtual void DrawPage(int index, QPainter& painter, double zoom, QPointF offset) = 0;
  // The text records of the page in drawing order.
  virtual std::vector<PreviewTextRun> PageTexts(int index) = 0;
  virtual std::vector<PreviewOutlineNode> Outline() = 0;
  // The page an anchor names (0-based); -1 when unknown.
  virtual int AnchorPage(const std::string& anchor) {
    (void)anchor;
    return -1;
  }
  // Prepared-report files (.fp3). Load returns false when the file does not exist; other
  // failures throw with their message.
  virtual void SaveToFile(const std::string& path) = 0;
  virtual bool LoadFromFile(const std::string& path) = 0;
  // The pages as the print loop sees them; nullptr when the document cannot print.
  virtual report::PrintPageSource* PrintSource() { return nullptr; }
  // Page settings of a page; false when the page has none to edit.
  virtual bool GetPageSetup(int index, PageSetup& setup) {
    (void)index;
    (void)setup;
    return false;
  }
  // Applies page settings to page `index`, or with setup.all_pages to every prepared page;
  // the pages keep their content (the report is not built again).
  virtual void SetPageSetup(int index, const PageSetup& setup) {
    (void)index;
    (void)setup;
  }
  // Page settings for all pages of a document built from a report template: gives them to
  // every report page of the template and returns true; the caller then builds the report
  // again. False, with nothing changed, when there is no template to build from (the pages
  // were loaded from a prepared-report file): SetPageSetup then changes the pages.
  virtual bool SetTemplatePageSetup(const PageSetup& setup) {
    (void)setup;
    return false;
  }
  // After a build that followed SetTemplatePageSetup failed or was cancelled: the template's
  // pages take back their former settings and the pages are as they were before the build.
  virtual void RestoreTemplatePageSetup() {}
};

}  // namespace lgoty::ui
