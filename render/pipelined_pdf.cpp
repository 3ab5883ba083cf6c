#include "render/pipelined_pdf.h"

#include <exception>
#include <filesystem>
#include <system_error>
#include <utility>

#include <QString>

#include "render/pdf_canvas.h"
#include "render/text_measurer.h"
#include "report/prepared_pages.h"
#include "report/prepared_pages_feed.h"
#include "report/report.h"
#include "report/text_layout.h"

namespace lgoty::render {

PipelinedPdf::PipelinedPdf(report::TfrxReport& report, std::string path)
    : report_(report), path_(std::move(path)) {
  // Measured by an instance of the same measurer, the drawing thread's text comes out as
  // the report's layout would lay it out; the approximation has no state to share.
  own_measurer_ = dynamic_cast<QtTextMeasurer*>(&report::DefaultTextMeasurer()) != nullptr;
  feed_ = std::make_unique<report::TfrxPageFeed>(report_.PreviewPages());
  thread_ = std::thread([this] { Draw(); });
}

PipelinedPdf::~PipelinedPdf() {
  if (!finished_) {
    feed_->Close(false);
    thread_.join();
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
  }
}

void PipelinedPdf::Draw() {
  try {
    // Made, used and freed on this thread: its fonts and the canvas's are this thread's.
    std::unique_ptr<QtTextMeasurer> measurer;
    if (own_measurer_) measurer = std::make_unique<QtTextMeasurer>();
    report::TfrxDrawText layout(measurer.get());
    PdfCanvas canvas(QString::fromStdString(path_));
    drawing_ = report::DrawFedPages(*feed_, canvas, layout);
    closed_ = feed_->Closed();
    // An abandoned drawing leaves a file that is removed anyway: no need to finish it.
    if (closed_) written_ = canvas.Finish();
  } catch (const std::exception& e) {
    failure_ = e.what();
    feed_->Abandon();
  } catch (...) {
    failure_ = "unknown failure";
    feed_->Abandon();
  }
}

bool PipelinedPdf::Finish(bool prepared) {
  if (finished_) return reason_.empty();
  finished_ = true;
  const bool stopped = report_.Terminated();
  feed_->Close(prepared && !stopped);
  thread_.join();
  const int count = report_.PreviewPages().Count();
  if (!prepared) {
    reason_ = "the run failed";
  } else if (stopped) {
    reason_ = "the run was stopped";
  } else if (!failure_.empty()) {
    reason_ = "drawing failed: " + failure_;
  } else if (!feed_->Intact() || !closed_) {
    reason_ = "pages changed after they were drawn, or the run did not start on an empty store";
  } else if (drawing_.pages != count || !drawing_.in_order) {
    reason_ = "not every page was drawn in order";
  } else if (drawing_.count_used && drawing_.count != count) {
    reason_ = "the page count changed from " + std::to_string(drawing_.count) + " to " +
              std::to_string(count);
  } else if (!written_) {
    reason_ = "the file could not be written";
  }
  // The feed's trees go back to this (the engine's) thread before the report moves on.
  feed_.reset();
  if (!reason_.empty()) {
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
    return false;
  }
  return true;
}

}  // namespace lgoty::render
