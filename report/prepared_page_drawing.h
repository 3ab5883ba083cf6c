// Drawing of prepared pages: every view of a page at its place inside the page margins,
// the memos' [TotalPages#] and [CopyName#] markers replaced with the report's page count
// and the copy's name. The preview, the printer, PDF and PNG all draw pages through here and
// differ only in the canvas.
#pragma once

#include <string>

#include "report/canvas.h"

namespace lgoty::report {

class TfrxDrawText;
class TfrxPageFeed;
class TfrxReport;

// The name a copy carries in [CopyName#]: empty for copy 0 (not printing copies), the copy
// number (1-based) otherwise.
std::string CopyName(int copy);

// Draws prepared page `index` onto the canvas page the caller has begun (the preview's and
// the printer's pages are begun by their owners). Page pixels times `scale` plus the offsets
// give canvas units. The page tree is left as it was found: marker texts are put back after
// drawing, so that a cached page draws again with other numbers or another copy name.
// Nothing is drawn for an index out of range.
void DrawPreparedPage(TfrxReport& report, int index, TfrxCanvas& canvas, double scale = 1,
                      double offset_x = 0, double offset_y = 0, int copy = 0);

// Draws every prepared page onto a canvas that owns its pages (PDF, images): each page is
// begun with its own size, drawn at scale 1 and ended. Returns the number of pages drawn.
int DrawPreparedPages(TfrxReport& report, TfrxCanvas& canvas);

// What DrawFedPages drew.
struct FedDrawing {
  int pages = 0;            // pages drawn
  int count = 0;            // the page count [TotalPages#] markers were given
  bool count_used = false;  // some memo held a [TotalPages#] marker
  bool in_order = true;     // page N came N-th, every one with the same count
};

// Draws the pages a feed hands out (report/prepared_pages_feed.h) as DrawPreparedPages
// draws each page, until the feed ends; on the feed's reading thread, with a layout of
// that thread's own (the report's layout stays the engine's). Throws what the canvas or
// the layout throw; the caller then abandons the feed.
FedDrawing DrawFedPages(TfrxPageFeed& feed, TfrxCanvas& canvas, TfrxDrawText& layout);

}  // namespace lgoty::report
