// What the band engine hands its work to: the prepared-pages store, seen through the few
// operations a run needs. PreviewPagesOutput (report/preview_pages_output.h) implements it
// over TfrxPreviewPages.
//
// Positions are report pixels from the top-left corner of the printable area. An "output
// position" is the count of objects on the current page; CutObjects(from) takes the
// objects from that count on into a holder and PasteObjects puts them back on the (new)
// current page with the first one's corner at (x, y) and the rest moved alike.
#pragma once

#include <string>

#include "report/prepared_outline.h"

namespace lgoty::report {

class TfrxComponent;
class TfrxReportPage;
class TfrxBand;

class EngineOutput {
 public:
  virtual ~EngineOutput() = default;

  // Before the first pass: copy every report page as a source page.
  virtual void AddSourcePage(TfrxReportPage& page) = 0;
  virtual void BeginPass() = 0;
  // Double pass: drop what the first pass produced; the second pass writes again.
  virtual void ClearFirstPassPages() = 0;
  virtual void Finish() = 0;

  // Starts a new output page (or moves onto an existing one in the second pass).
  virtual void AddPage(TfrxReportPage& page) = 0;
  virtual void AddObject(TfrxComponent& object) = 0;
  virtual int Count() const = 0;
  // The 0-based index of the current page.
  virtual int CurPage() const = 0;
  virtual int CurPosition() const = 0;
  virtual void CutObjects(int from) = 0;
  virtual void PasteObjects(double x, double y) = 0;
  // True when an object stored on the current page comes from that band.
  virtual bool BandExists(const TfrxBand& band) const = 0;
  // The largest bottom of the bands on the current page (footers and overlays aside).
  virtual double LastY() const = 0;

  // Logical page numbering (groups that restart page numbers).
  virtual void IncLogicalPageNumber() = 0;
  virtual void ResetLogicalPageNumber() = 0;
  virtual int LogicalPageNumber() const = 0;
  virtual int LogicalTotalPages() const = 0;

  virtual void AddAnchor(const std::string& text, double top) = 0;
  virtual int AnchorCount() const = 0;
  virtual int AnchorPage(const std::string& text) const = 0;
  // Moves the anchors after index `from` to the current page, shifting their tops by the
  // difference between new_top and the top of the first moved one.
  virtual void ShiftAnchors(int from, double new_top) = 0;

  // The outline (the report's table of contents): an entry under the cursor at `top` on
  // the current page, which becomes the cursor; the cursor back up one level.
  virtual void AddOutlineItem(const std::string& text, double top) = 0;
  virtual void OutlineLevelUp() = 0;
  // Kept output that moves to a new page takes the entries made since the mark along.
  virtual TfrxOutline::Mark OutlineMark() const = 0;
  virtual void MoveOutline(const TfrxOutline::Mark& mark, double new_top) = 0;
};

}  // namespace lgoty::report
