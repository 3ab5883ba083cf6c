// PreparedPagesListener: what a reader that follows a run as it goes (the PDF written while
// the final pass builds the pages, render/pipelined_pdf.h) is told by the prepared-pages
// store. Every call comes from the thread that fills the store (the engine's), inside the
// store's operation.
//
// On a pass that builds the final pages, pages are appended one after another: a page is
// complete once the next one was appended (the last one once the run has ended). Whatever
// may change a page that exists (placing or cutting objects, moving back onto a page,
// inserting, deleting or replacing pages, clearing or loading the store) is announced
// before it happens with the lowest page index it may touch, so that a reader can tell
// whether a page it took early is still the page the store holds.
#pragma once

namespace lgoty::report {

class PreparedPagesListener {
 public:
  virtual ~PreparedPagesListener() = default;
  // The pass that builds the final pages begins (after the first pass's pages were
  // cleared, or the only pass of a single-pass run). first_page: the page the pass starts
  // on (-1: the store is empty); total_pages: the page count the engine knows from the
  // first pass (0 on a single pass).
  virtual void FinalPassBegun(int first_page, int total_pages) = 0;
  // Page `index` was appended at the end of the store (pages before it are then complete
  // unless announced as changing later).
  virtual void PageAppended(int index) = 0;
  // Pages from `index` on may change (index 0 for the whole store).
  virtual void PagesChanging(int index) = 0;
  // Page items are about to be written to the temporary file and dropped from memory (the
  // file cache): their pages stay as they were, but an item held by another thread would
  // be emptied under it.
  virtual void PagesUnloading() {}
};

}  // namespace lgoty::report
