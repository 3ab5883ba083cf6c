// PipelinedPdf: a report's PDF written while the final pass of its run builds the pages.
// One core runs the engine, the other draws every page into the PDF as soon as the page is
// complete, so that the file is nearly done when the pass ends.
//
// Made before TfrxReport::Prepare and finished after it. The pages come from a
// report::TfrxPageFeed (report/prepared_pages_feed.h): rebuilt from the store and drawn on
// a thread of this object's own (rebuilt on the engine's thread instead when the file
// cache may swap page items out), with a text layout and a measurer of that thread's own,
// onto a PdfCanvas made, used and freed on that thread. The engine's thread and the
// drawing thread share nothing else than the complete pages' items and what the store
// guards for their rebuilding.
//
// The early file is kept only when it is the file render::ExportPdf would write after the
// run: the run succeeded and was not stopped, the pass began on an empty store, no page
// changed after it was drawn, every page was drawn in order, the drawing and the file
// succeeded, and, when a memo held a [TotalPages#] marker, the page count it was drawn with
// (the first pass's) is the final count. Otherwise Finish removes the file and says why; the
// caller then exports after the run as before (or, when the run failed, writes nothing).
#pragma once

#include <memory>
#include <string>
#include <thread>

#include "report/prepared_page_drawing.h"

namespace lgoty::report {
class TfrxPageFeed;
class TfrxReport;
}  // namespace lgoty::report

namespace lgoty::render {

class PipelinedPdf {
 public:
  // Starts following the report's prepared pages and the drawing thread, which writes into
  // path. REQUIRES the report outlives this object, and nothing but its run (Prepare) uses
  // the report until Finish.
  PipelinedPdf(report::TfrxReport& report, std::string path);
  // Without Finish: the drawing is abandoned and the file removed.
  ~PipelinedPdf();
  PipelinedPdf(const PipelinedPdf&) = delete;
  PipelinedPdf& operator=(const PipelinedPdf&) = delete;

  // After the run, with Prepare's result. Hands out the last pages, waits for the drawing
  // thread and judges the file: true when path holds the PDF of the prepared pages; false
  // when nothing is left under path (see FallbackReason).
  bool Finish(bool prepared);
  // Why Finish did not keep the file; empty when it did (or before Finish).
  const std::string& FallbackReason() const { return reason_; }
  // What the drawing thread drew (valid after Finish).
  const report::FedDrawing& Drawing() const { return drawing_; }

 private:
  void Draw();

  report::TfrxReport& report_;
  std::string path_;
  std::unique_ptr<report::TfrxPageFeed> feed_;
  bool own_measurer_ = false;  // the default measurer is Qt's: the thread makes its own
  std::thread thread_;
  bool finished_ = false;
  std::string reason_;
  // Written by the drawing thread, read after it was joined.
  report::FedDrawing drawing_;
  bool closed_ = false;    // the feed ended normally
  bool written_ = false;   // the canvas finished the file
  std::string failure_;    // what the drawing threw
};

}  // namespace lgoty::render
