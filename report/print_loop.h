// The print loop: maps the prepared pages, the page list, copies, order, the page filter
// and the print mode onto the pages of a printer document.
//
// Sheet arithmetic of the print modes other than the default one:
//   pmScale  every page on the chosen sheet, scaled by the smaller of sheet / page in width
//            and height.
//   pmSplit  a page larger than the sheet becomes a grid of tiles, one per sheet; tiles in a
//            direction = page / sheet rounded, or rounded down plus one when the rounded-down
//            tiles miss the page by 11 mm or more; the sheet orientation with fewer tiles wins.
//   pmJoin   pages share a sheet in a grid of cells filled row by row; cells in a direction =
//            how many whole pages fit (at least one); the sheet orientation with more cells wins,
//            so no cell hangs off the sheet. Copies fill neighbouring cells; the page filter and
//            the reverse order do not apply.
#pragma once

#include <string>
#include <vector>

#include "report/enums.h"
#include "report/printer.h"

namespace lgoty::report {

// What the loop needs to know of one prepared page.
struct PrintPageInfo {
  double width_mm = 210, height_mm = 297;  // as the page lies (landscape is wider)
  int paper = 9;
  TPrinterOrientation orientation = TPrinterOrientation::poPortrait;
  int bin = 7, bin_other_pages = 7;
  TfrxDuplexMode duplex = TfrxDuplexMode::dmNone;
  int source_page = -1;  // the template page it was made from; -1 for a page stored whole
};

// The prepared pages as the loop sees them.
class PrintPageSource {
 public:
  virtual ~PrintPageSource() = default;
  virtual int Count() = 0;
  virtual PrintPageInfo PageInfo(int index) = 0;
  // Draws page `index` onto the printer's current page: page pixels (96 per inch) times the
  // scale give device dots; the offsets are device dots. `copy` is the copy number (1-based).
  virtual void DrawPage(int index, TfrxCustomPrinter& printer, double scale_x, double scale_y,
                        double offset_x, double offset_y, int copy) = 0;
  // Lets go of rebuilt pages; called after every printed page.
  virtual void ClearCache() {}
};

// Progress, message processing and cancelling of a running loop.
class PrintProgress {
 public:
  virtual ~PrintProgress() = default;
  // `text` is "Печатается страница N" for the page just printed.
  virtual void Progress(const std::string& text, int page_number) = 0;
  virtual void ProcessMessages() {}
  virtual bool Terminated() = 0;
};

struct PrintLoopSettings {
  int copies = 1;  // below 1 counts as 1
  bool collate = true;
  std::vector<int> page_list;  // 1-based page numbers; empty = every page
  TfrxPrintMode mode = TfrxPrintMode::pmDefault;
  int sheet_paper = 9;  // paper number of the sheet (modes other than pmDefault)
  double sheet_width_mm = 210, sheet_height_mm = 297;  // portrait
  TfrxPrintPages print_pages = TfrxPrintPages::ppAll;
  bool reverse = false;
  TfrxDuplexMode duplex = TfrxDuplexMode::dmNone;  // a choice other than dmNone wins over the pages'
};

// The number of sheets (or cells) of size `part` along `whole` by the tile counting rule.
int TileCount(double whole_mm, double part_mm);
// How many cells of size `part` fit along `whole` (at least one).
int FitCount(double whole_mm, double part_mm);

enum class PrintLoopResult { kPrinted, kNothingPrinted, kCancelled };

// Runs the loop. The document begins at the first printed page and ends after the last; a
// cancel aborts it. Exceptions of the printer or the page source abort the document and
// pass to the caller.
PrintLoopResult RunPrintLoop(PrintPageSource& source, TfrxCustomPrinter& printer,
                             const PrintLoopSettings& settings, PrintProgress& progress);

}  // namespace lgoty::report
